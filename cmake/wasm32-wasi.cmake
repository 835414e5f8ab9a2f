# Compiles the programs to WebAssembly modules for WASI with clang 19 and
# Debian's WASI sysroot (wasi-libc, libc++-19-dev-wasm32,
# libc++abi-19-dev-wasm32, libclang-rt-19-dev-wasm32, lld-19), and LLVM's
# archiver for link-time optimisation (llvm-19). The programs
# and the unit tests run here under Node's own WASI, through the project's
# runner.
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
# Platform/WASI.cmake, beside this file, tells CMake what the system is.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})

set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)

# WASI's C++ library is built without exceptions, so nothing may throw: the
# tests and GoogleTest are compiled that way too. Bulk memory makes each copy
# one instruction instead of a call into the C library's byte loop, SIMD lets
# loops over bytes take sixteen at once, and link-time optimisation inlines
# across the libraries: together a quarter off a conversion's time. Every
# browser of the last years runs these instructions. The modules keep no
# names or debug sections, a quarter of their size.
set(CMAKE_C_FLAGS_INIT "-mbulk-memory -msimd128 -flto")
set(CMAKE_CXX_FLAGS_INIT "-mbulk-memory -msimd128 -flto -fno-exceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-flto -Wl,--strip-all")
# Archives of link-time optimised objects hold LLVM bitcode, which only LLVM's
# own archiver indexes.
find_program(CMAKE_AR llvm-ar-19 REQUIRED)
find_program(CMAKE_RANLIB llvm-ranlib-19 REQUIRED)

find_program(TROVE_NODE node REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TROVE_NODE} --no-warnings
  ${CMAKE_CURRENT_LIST_DIR}/../tests/platforms/wasi_run.mjs)

set(CMAKE_FIND_ROOT_PATH /usr/lib/wasm32-wasi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
