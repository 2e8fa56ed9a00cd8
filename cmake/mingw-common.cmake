# Shared by the toolchain files: the mingw-w64 compilers for TOOLCHAIN_PREFIX
# in the thread model TOOLCHAIN_THREADS, and Wine as the emulator that runs
# the test programs.
#
# The shipped programs use the win32 model: the POSIX model's static runtime
# (winpthreads) imports functions that Windows 2000, NT 4 and 98 lack, and
# Windows refuses to load a program with a missing import. GoogleTest needs
# std::mutex, which only the POSIX model has, so the tests use that one.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-${TOOLCHAIN_THREADS})
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-${TOOLCHAIN_THREADS})
set(CMAKE_AR ${TOOLCHAIN_PREFIX}-gcc-ar-${TOOLCHAIN_THREADS} CACHE FILEPATH "")
set(CMAKE_RANLIB ${TOOLCHAIN_PREFIX}-gcc-ranlib-${TOOLCHAIN_THREADS} CACHE FILEPATH "")
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run through Wine; the wrapper sets the test environment.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run ${SENTREL_WINE_BITS})
