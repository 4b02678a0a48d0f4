# Adds every subfolder of the current list's folder that has a CMakeLists.txt
# (except `support`, which its owner adds first), so new test, benchmark,
# fuzz and tool folders need no registration.
function(qb_add_subfolders)
  file(GLOB subdirs LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir ${subdirs})
    if(NOT dir STREQUAL "support" AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
