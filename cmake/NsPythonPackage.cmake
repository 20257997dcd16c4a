# The nsread wheel (pip install . through scikit-build-core).
#
# The wheel carries the two reader libraries in nsread/lib and the tools in
# nsread/bin; the nsdump and qrdmerge commands run the tools from there, so
# nsdump finds the libraries in ../lib beside itself.  Everything is installed
# in the component "nsread", the only one pyproject.toml lets into the wheel,
# so the install rules of a normal build (lib/, bin/, include/) stay out of it.
if(NOT SKBUILD)
  return()
endif()
if(NS_BUILD_TESTS OR NS_BUILD_BENCH OR NS_BUILD_FUZZ)
  message(FATAL_ERROR "the nsread wheel is built with NS_BUILD_TESTS, NS_BUILD_BENCH and NS_BUILD_FUZZ off")
endif()

set(_nsread_dir ${SKBUILD_PLATLIB_DIR}/nsread)
install(TARGETS qrdshare mapshare
  LIBRARY DESTINATION ${_nsread_dir}/lib COMPONENT nsread
  RUNTIME DESTINATION ${_nsread_dir}/lib COMPONENT nsread)
install(TARGETS nsdump qrdmerge RUNTIME DESTINATION ${_nsread_dir}/bin COMPONENT nsread)
