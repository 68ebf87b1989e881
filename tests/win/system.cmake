# Registry, log file, handles, the shared temperature block and real hidapi under Wine.
calorix_test(calorix_system_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/system_test.cpp ${CMAKE_CURRENT_LIST_DIR}/handles_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/temperature_test.cpp
  LIBS win_test_support calorix_win calorix_core hidapi_double kalvaro_sources
  PROPERTIES RESOURCE_LOCK wine_shared_state)
add_dependencies(calorix_system_tests monitor_standin)

calorix_test(calorix_real_hid_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/real_hid_test.cpp
  LIBS calorix_win calorix_core hidapi_real)
