# Device arrival and removal: WM_DEVICECHANGE sent to a real window, with the hidapi double.
calorix_test(calorix_device_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/device_arrival_test.cpp
  LIBS win_test_support calorix_win calorix_core hidapi_double Zentu
  PROPERTIES RESOURCE_LOCK wine_shared_state)
