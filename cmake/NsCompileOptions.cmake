# Warnings, sanitizers and the 32-bit switch, applied to every target of ours.

function(ns_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align)
  if(NS_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(NS_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# ThreadSanitizer: the libraries and the host-level tests that call them
# from many threads.  Only one sanitizer runtime fits in a process.
if(NS_TSAN)
  if(NS_SANITIZE)
    message(FATAL_ERROR "NS_TSAN and NS_SANITIZE cannot be combined")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Fuzz builds instrument all of our code for coverage; the fuzz targets link
# the libFuzzer driver themselves.
if(NS_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MAPSHARE_32BIT)
  add_compile_options(-m32)
  add_link_options(-m32)
  include(${CMAKE_CURRENT_LIST_DIR}/Ns32BitRunner.cmake)
endif()

# Large-file offsets everywhere: recordings exceed 2 GiB.
add_compile_definitions(_FILE_OFFSET_BITS=64)

# Shared libraries are linked with --no-undefined so a missing symbol shows at
# build time, not when a host loads the library.  Clang's sanitizer runtimes
# are linked into executables only, so instrumented clang builds leave their
# runtime symbols to the loading program and cannot use the check.
set(NS_NO_UNDEFINED -Wl,--no-undefined)
if(NS_BUILD_FUZZ OR ((NS_SANITIZE OR NS_TSAN) AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
  set(NS_NO_UNDEFINED "")
endif()
