# Windows builds: the DLLs qrdshare.dll and mapshare.dll, nsdump.exe and the
# host-level tests, built with MinGW-w64 (see cmake/mingw-w64-*.cmake for
# cross-building on Debian).  Included by the top-level CMakeLists.txt when
# the target system is Windows.

# Hosts look for qrdshare.dll and mapshare.dll, not libqrdshare.dll.
set(CMAKE_SHARED_LIBRARY_PREFIX "")

# C99 formatting in printf and friends (the same digits as glibc) instead of
# the system runtime's own.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

# Every DLL and program carries its own copy of libgcc, the C++ runtime and
# winpthread, so a user copies one file and needs nothing else; only system
# DLLs (KERNEL32, msvcrt) are imported.
add_link_options(-static)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The .def files list the plain names; in 32-bit code the __stdcall
  # functions are named ns_OpenFile@8 and so on, and the linker matches them.
  add_link_options(-Wl,--enable-stdcall-fixup)
  # Hosts built with other compilers keep the stack only 4-byte aligned when
  # they call in; code that needs more realigns it on entry.
  add_compile_options(-mincoming-stack-boundary=2)
endif()

# SimpleIni is a single header, taken from Debian's libsimpleini-dev.  Only
# that header is made visible to the cross compiler (through a folder in the
# build tree): the rest of /usr/include is glibc's and clashes with MinGW's
# headers (ssize_t, time_t, div_t).
find_file(NS_SIMPLEINI_HEADER SimpleIni.h PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT NS_SIMPLEINI_HEADER)
  message(FATAL_ERROR "SimpleIni.h not found in /usr/include (Debian package libsimpleini-dev)")
endif()
configure_file(${NS_SIMPLEINI_HEADER} ${CMAKE_BINARY_DIR}/simpleini/SimpleIni.h COPYONLY)
set(SIMPLEINI_INCLUDE_DIR ${CMAKE_BINARY_DIR}/simpleini CACHE PATH "Folder that holds SimpleIni.h" FORCE)
# A third-party header, like those in /usr/include: its own warnings are not ours.
include_directories(SYSTEM ${SIMPLEINI_INCLUDE_DIR})

# Cross-built test programs run under Wine, in a Wine prefix of this build
# folder (so parallel builds never share one) and without Wine's debug
# chatter.  NS_WINE names the Wine loader: Debian's wine64 package puts the
# 64-bit one in /usr/lib/wine, wine32 the 32-bit one.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    find_program(NS_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  else()
    find_program(NS_WINE NAMES wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  endif()
  if(NS_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${CMAKE_COMMAND} -E env WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix ${NS_WINE})
  endif()
endif()
