# Builds the same sources for 64-bit Windows. Only the tests use it, on
# machines that cannot run 32-bit Linux programs and so cannot start 32-bit
# Wine; the programs themselves are always built for i686.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(TOOLCHAIN_THREADS posix)
set(SENTREL_WINE_BITS 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
