# Cross-building the Windows 64-bit (x86-64) DLLs and programs on Debian with
# MinGW-w64 (packages g++-mingw-w64-x86-64-posix, binutils-mingw-w64):
#   cmake -S . -B build-win64 --toolchain cmake/mingw-w64-x86_64.cmake
set(NS_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
