# The update service under Wine, against the test server of tests/fixtures/update: each test
# program runs through update_site.py, which starts the servers and writes the archives.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(update_site ${CMAKE_CURRENT_LIST_DIR}/../fixtures/update/update_site.py)

# The program inside the test update archives: it leaves a marker file beside itself.
add_executable(update_marker WIN32 ${CMAKE_CURRENT_LIST_DIR}/update_marker.cpp)
target_link_libraries(update_marker PRIVATE calorix_options)
target_link_options(update_marker PRIVATE -municode)

# The whole update flow without the tray program (see the file's head); no display is
# attached, so the hidapi double (which has none) stands in for hidapi.
add_executable(update_flow_harness ${CMAKE_CURRENT_LIST_DIR}/update_flow_harness.cpp)
target_link_libraries(update_flow_harness PRIVATE calorix_win calorix_core hidapi_double)
target_link_options(update_flow_harness PRIVATE -municode -mconsole)

set(wine_emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${Python3_EXECUTABLE} ${update_site} --bin ${CMAKE_BINARY_DIR}/bin -- ${wine_emulator})
calorix_test(calorix_update_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_check_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/update_unzip_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/update_flow_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/update_test_support.cpp
  LIBS win_test_support calorix_win calorix_core hidapi_double
  PROPERTIES RESOURCE_LOCK wine_shared_state)
set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_emulator})
add_dependencies(calorix_update_tests update_marker update_flow_harness)
