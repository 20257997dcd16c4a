# ns_tool_support: what every tool shares, the release version (--version)
# and the command-line conventions of tools/common.  Included by
# tools/CMakeLists.txt and by a tool's own CMakeLists.txt, since some builds
# (the mapshare-only build's host tests) take a tool without the others.
if(TARGET ns_tool_support)
  return()
endif()
add_library(ns_tool_support INTERFACE)
target_include_directories(ns_tool_support INTERFACE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(ns_tool_support INTERFACE ns_release_version)
