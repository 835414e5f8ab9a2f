# What CMake knows of the WASI system, which it does not know itself: a
# program is a WebAssembly module, named NAME.wasm, and WASI is set for the
# project's own tests of it.
set(WASI 1)
set(CMAKE_EXECUTABLE_SUFFIX .wasm)
set(UNIX 1)
