# Cross-building the Windows 32-bit (i686) DLLs and programs on Debian with
# MinGW-w64 (packages g++-mingw-w64-i686-posix, binutils-mingw-w64):
#   cmake -S . -B build-win32 --toolchain cmake/mingw-w64-i686.cmake
set(NS_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
