# Cross-compiles the tests for 32-bit Windows (GoogleTest needs the POSIX
# thread model); the programs they start are the shipped ones.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(TOOLCHAIN_THREADS posix)
set(SENTREL_WINE_BITS 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
