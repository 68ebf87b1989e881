# CalorixDiag: its commands against the hidapi double and the stand-in server, and the
# program's own exit status.
calorix_test(calorix_diag_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/diag_test.cpp ${CMAKE_CURRENT_LIST_DIR}/server_test_support.cpp
  LIBS win_test_support calorix_diag calorix_core hidapi_double
  PROPERTIES RESOURCE_LOCK wine_shared_state)
add_dependencies(calorix_diag_tests CalorixDiag monitor_standin Kalvaro sensor_publisher)
