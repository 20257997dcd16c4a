# Cross-building the Windows 32-bit (i686) DLLs and programs on Debian with
# MinGW-w64 (packages g++-mingw-w64-i686-posix, binutils-mingw-w64):
#   cmake -S . -B build-win32 --toolchain cmake/mingw-w64-i686.cmake
# The posix flavour of the compiler brings std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

# Headers and libraries come from the MinGW-w64 tree only: the build
# machine's /usr/include would clash with them.  Programs (Wine, objdump) are
# the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
