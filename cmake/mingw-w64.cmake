# Cross-compiles the Windows console programs with the mingw-w64 compilers
# (the POSIX thread model variant). Included by the toolchain file of each
# processor, which first sets CMAKE_SYSTEM_PROCESSOR and TROVE_MINGW_PREFIX,
# the compilers' target triplet.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TROVE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TROVE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TROVE_MINGW_PREFIX}-windres)

# Look for libraries and headers in the target's tree only, programs on the
# build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TROVE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link everything in statically, so the .exe files run on a bare Windows
# without the compiler's runtime DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
