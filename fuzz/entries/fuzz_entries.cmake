# The fuzz targets' entry functions, built once for the fuzz targets and once for the
# regression suite.
if(NOT TARGET vellumark_fuzz_entries)
  file(GLOB fuzz_entry_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
  add_library(vellumark_fuzz_entries STATIC ${fuzz_entry_sources})
  target_include_directories(vellumark_fuzz_entries PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(vellumark_fuzz_entries PUBLIC vellumark_core vellumark_search vellumark_search_index vellumark_config
                        vellumark_library vellumark_scan vellumark_services vellumark_options)
endif()
