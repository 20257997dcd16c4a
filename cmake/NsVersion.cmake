# The release version of the project lives in one place: the VERSION of the
# top-level project() call.  This file hands it on:
#   - a generated header, ns_release_version.h, for the tools (--version);
#   - ns_set_library_version(<target>): the SONAME and file version of a
#     shared library on Linux (libqrdshare.so.1 -> libqrdshare.so.1.1.0), and
#     on Windows a version resource, which Explorer's file properties and
#     installers read;
#   - ns_add_version_resource(<target> <description>) for Windows programs.
# The Neuroshare library information records keep their own, fixed values
# (hosts and stored scripts compare them); the release version is not written
# into them.

set(NS_RELEASE_VERSION ${PROJECT_VERSION})
set(NS_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ns_release_version.h.in ${NS_GENERATED_DIR}/ns_release_version.h @ONLY)

add_library(ns_release_version INTERFACE)
target_include_directories(ns_release_version INTERFACE $<BUILD_INTERFACE:${NS_GENERATED_DIR}>)

if(WIN32)
  enable_language(RC)
endif()

# Windows: a VERSIONINFO resource naming the release in <target>'s file.
function(ns_add_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(NS_RC_FILE_TYPE "VFT_DLL")
    set(NS_RC_FILE_NAME "${target}.dll")
  else()
    set(NS_RC_FILE_TYPE "VFT_APP")
    set(NS_RC_FILE_NAME "${target}.exe")
  endif()
  set(NS_RC_DESCRIPTION "${description}")
  set(rc ${NS_GENERATED_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/ns_version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# A shared library of ours: SONAME lib<name>.so.<major> and the usual links
# on Linux, the version resource on Windows.  The Python wheel (SKBUILD)
# carries private copies that its package loads by path; wheels store links
# as copies, so there each library stays one file, lib<name>.so.
function(ns_set_library_version target description)
  if(WIN32)
    ns_add_version_resource(${target} "${description}")
  elseif(NOT SKBUILD)
    set_target_properties(${target} PROPERTIES
      VERSION ${PROJECT_VERSION}
      SOVERSION ${PROJECT_VERSION_MAJOR})
  endif()
endfunction()
