# Device arrival and removal: WM_DEVICECHANGE sent to a real window, with the hidapi double.
calorix_test(calorix_device_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/device_arrival_test.cpp
  LIBS calorix_win calorix_core hidapi_double
  PROPERTIES RESOURCE_LOCK wine_shared_state)
