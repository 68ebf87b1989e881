# Kalvaro, the hardware-monitor server: its readers against the monitors' test publisher and
# a double of WMI, and the server program.
calorix_test(kalvaro_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/kalvaro_test.cpp ${CMAKE_CURRENT_LIST_DIR}/server_test_support.cpp
  LIBS win_test_support kalvaro_sources calorix_win calorix_core wmi_double
  PROPERTIES RESOURCE_LOCK wine_shared_state)
add_dependencies(kalvaro_tests Kalvaro sensor_publisher monitor_standin)
