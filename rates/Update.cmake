# The update cycle: download, decode and merge, joining the rate core to the
# HTTP client. Included from rates/CMakeLists.txt.
add_library(qb_update STATIC
  ${CMAKE_CURRENT_LIST_DIR}/UpdateRates.cpp
)
target_include_directories(qb_update PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(qb_update PUBLIC qb_rates qb_http)
