# map_test_writer: writes MAP recordings and defaults files for the tests, the
# fuzz seeds, the benchmark and the sample tool.  It links nothing of the
# reader, so recordings are made independently of the code that reads them.
# Several parts of the build need it; whichever comes first defines it.
if(NOT TARGET map_test_writer)
  add_library(map_test_writer STATIC ${CMAKE_CURRENT_LIST_DIR}/map_writer.cpp)
  target_include_directories(map_test_writer PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  # Temporary folders come from the platform layer.
  target_link_libraries(map_test_writer PUBLIC ns_platform)
  ns_set_warnings(map_test_writer)
endif()
