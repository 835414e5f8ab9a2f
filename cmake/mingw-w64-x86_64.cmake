# The Windows console programs for 64-bit x86.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TROVE_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
