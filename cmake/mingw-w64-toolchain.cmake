# What both MinGW-w64 toolchain files share; each sets NS_MINGW_PROCESSOR
# (x86_64 or i686) and includes this file.  The posix flavour of the
# compiler brings std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${NS_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${NS_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${NS_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${NS_MINGW_PROCESSOR}-w64-mingw32-windres)

# Headers and libraries come from the MinGW-w64 tree only: the build
# machine's /usr/include would clash with them.  Programs (Wine, objdump) are
# the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${NS_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
