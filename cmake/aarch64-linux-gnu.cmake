# Cross-compiles for 64-bit ARM Linux with Debian's compilers
# (g++-aarch64-linux-gnu). The programs and the tests run here under
# qemu-user, given the target's libraries (libc6-arm64-cross).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(TROVE_TARGET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${TROVE_TARGET}-gcc)
set(CMAKE_CXX_COMPILER ${TROVE_TARGET}-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${TROVE_TARGET})

set(CMAKE_FIND_ROOT_PATH /usr/${TROVE_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
