# Cross-building the Windows 64-bit (x86-64) DLLs and programs on Debian with
# MinGW-w64 (packages g++-mingw-w64-x86-64-posix, binutils-mingw-w64):
#   cmake -S . -B build-win64 --toolchain cmake/mingw-w64-x86_64.cmake
# The posix flavour of the compiler brings std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Headers and libraries come from the MinGW-w64 tree only: the build
# machine's /usr/include would clash with them.  Programs (Wine, objdump) are
# the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
