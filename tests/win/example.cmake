# The library as others use it: installed, then an example program built against the
# installed tree by its own CMake project, run under Wine and clicked through the X server.
add_test(NAME zentu_installed_example
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/example_run.sh ${CMAKE_BINARY_DIR}
          ${CMAKE_BINARY_DIR}/example-test)
set_tests_properties(zentu_installed_example PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_input)
