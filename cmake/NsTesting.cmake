# GoogleTest through CTest.  The 32-bit and the Windows builds cannot use
# Debian's 64-bit Linux libgtest, so they build GoogleTest from the sources
# Debian ships, with their own compiler.
if(MAPSHARE_32BIT OR WIN32)
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(NS_GTEST_LIBS gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(NS_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()
include(GoogleTest)

# ns_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
function(ns_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${NS_GTEST_LIBS})
  target_compile_definitions(${name} PRIVATE ${ARG_DEFINES})
  ns_set_warnings(${name})
  if(CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR)
    # Cross-built programs cannot be asked for their cases at build time, and
    # every start under the emulator (Wine) costs time: one CTest test per
    # program, which runs all of its cases in one go.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endfunction()
