# The worker wired to a real window, Zentu's Manager and the named temperature block.
calorix_test(calorix_worker_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/worker_win_test.cpp
  LIBS win_test_support calorix_win calorix_core hidapi_double Zentu
  PROPERTIES RESOURCE_LOCK wine_shared_state)
add_dependencies(calorix_worker_tests monitor_standin)
