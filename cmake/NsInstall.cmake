# What `cmake --install` puts where, in three components so that a package
# can take what it needs:
#   Runtime      the shared libraries (lib<name>.so.<version> and the SONAME
#                link lib<name>.so.1; on Windows the DLLs in bin/)
#   Development  the headers, the lib<name>.so links, nsapi.pc and the CMake
#                package configuration (find_package(nsapi CONFIG))
#   Tools        nsdump and qrdmerge
# The libraries and tools add themselves to the components in their own
# CMakeLists.txt; this file installs the headers and, on Linux, the metadata
# that lets a consumer's build find them.  Included once, after all targets.

install(FILES include/nsapi/nsapi.h include/nsapi/nsapi_loader.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/nsapi COMPONENT Development)

# Windows users take the DLLs and headers (see the Windows zip); build
# metadata is for Linux hosts.
if(WIN32)
  return()
endif()

include(CMakePackageConfigHelpers)
set(NS_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/nsapi)

# The header-only loader is nsapi::loader; each reader library that this
# build has is nsapi::<name>.
set_target_properties(nsapi PROPERTIES EXPORT_NAME loader)
install(TARGETS nsapi EXPORT nsapiTargets)
install(EXPORT nsapiTargets NAMESPACE nsapi:: DESTINATION ${NS_CMAKE_PACKAGE_DIR} COMPONENT Development)

set(NS_PACKAGE_LIBRARIES "")
foreach(library qrdshare mapshare)
  if(TARGET ${library})
    list(APPEND NS_PACKAGE_LIBRARIES ${library})
  endif()
endforeach()
configure_package_config_file(cmake/nsapiConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/nsapiConfig.cmake
  INSTALL_DESTINATION ${NS_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/nsapiConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/nsapiConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/nsapiConfigVersion.cmake
        DESTINATION ${NS_CMAKE_PACKAGE_DIR} COMPONENT Development)

# nsapi.pc finds its prefix from its own place (${pcfiledir}), so the
# installed tree can move (a package unpacked into another root, a copied
# prefix).  Variables name each library's runtime file for hosts that load
# it with dlopen: pkg-config --variable=qrdshare_library nsapi.
file(RELATIVE_PATH NS_PC_PREFIX_FROM_PCFILEDIR
     ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" NS_PC_PREFIX_FROM_PCFILEDIR "${NS_PC_PREFIX_FROM_PCFILEDIR}")
set(NS_PC_LIBRARY_VARIABLES "")
foreach(library ${NS_PACKAGE_LIBRARIES})
  string(APPEND NS_PC_LIBRARY_VARIABLES
    "${library}_library=\${libdir}/lib${library}.so.${PROJECT_VERSION_MAJOR}\n")
endforeach()
configure_file(cmake/nsapi.pc.in ${CMAKE_CURRENT_BINARY_DIR}/nsapi.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/nsapi.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
