# The Windows console programs for 32-bit x86. The compiler's default for
# this processor does floating point in the x87 unit, whose registers are
# wider than binary64: the programs must give the same results there.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TROVE_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
