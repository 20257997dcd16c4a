# The Debian package of the readers, built with CPack by scripts/package.sh
# from a build configured with CMAKE_INSTALL_PREFIX=/usr (so the libraries go
# into the multiarch folder, /usr/lib/x86_64-linux-gnu).  One binary package,
# neuroshare-readers: both libraries, nsdump, qrdmerge, the headers,
# nsapi.pc and the CMake package configuration, and the documents Debian
# asks for (copyright, changelogs).

set(NS_DEBIAN_PACKAGE_NAME neuroshare-readers)
set(NS_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${NS_DEBIAN_PACKAGE_NAME})
set(NS_DEBIAN_MAINTAINER "Neuroshare readers developers <neuroshare-readers@lists.example.org>")
set(NS_DEBIAN_REVISION 1)

# Documents and the manual pages of the tools, compressed reproducibly
# (gzip -n: no name or time stamp) at configure time.  The Debian changelog
# carries the package version; its date is SOURCE_DATE_EPOCH where that is
# set, else the time of configuring.
find_program(NS_GZIP gzip REQUIRED)
string(TIMESTAMP NS_DEBIAN_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(NS_DEBIAN_VERSION ${PROJECT_VERSION}-${NS_DEBIAN_REVISION})
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.Debian.in
               ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog COPYONLY)
foreach(page nsdump qrdmerge)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}.1.in ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.1 @ONLY)
endforeach()
foreach(document changelog.Debian changelog nsdump.1 qrdmerge.1)
  execute_process(COMMAND ${NS_GZIP} -9nf ${document}
                  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging RESULT_VARIABLE gzip_result)
  if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip ${document} failed: ${gzip_result}")
  endif()
endforeach()
if(TARGET nsdump AND TARGET qrdmerge)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/nsdump.1.gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/qrdmerge.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tools)
endif()
# The files Debian asks of a package go into the component Debian, which
# only the package installs (a plain cmake --install leaves it out): what
# lintian reports for this package and is so on purpose, with the reasons,
# the copyright file and the changelogs.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${NS_DEBIAN_PACKAGE_NAME}
        COMPONENT Debian EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${NS_DOC_DIR} COMPONENT Debian EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME ${NS_DEBIAN_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Neuroshare readers developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Neuroshare reader libraries for QRD and MAP recordings")
set(CPACK_PACKAGE_DESCRIPTION
"Two reader libraries implementing the Neuroshare reader API 1.3:
libqrdshare reads QRD recordings (event streams, analog channels, spike
cut-outs and sweeps) and libmapshare reads MAP recordings (continuous
channels, spike channels, events and sorted units).
.
The package also holds nsdump, which shows or exports as CSV what a
Neuroshare library reads from a recording, qrdmerge, which joins QRD
recordings of one set-up, the nsapi headers, a pkg-config file and a CMake
package configuration for hosts that build against the libraries.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
# One package made of these components (Debian among them, which a plain
# cmake --install leaves out).
set(CPACK_COMPONENTS_ALL Runtime Development Tools Debian)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${NS_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NS_DEBIAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends computed from the binaries (dpkg-shlibdeps); a shlibs file for the
# two libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The ldconfig trigger next to the ldconfig calls CPack writes into postinst
# and postrm.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)

include(CPack)
