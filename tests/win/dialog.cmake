# MDialog and the basic controls under Wine and Xvfb: real windows, real messages, pixels
# read back from the paint pass. They move the pointer, so they hold the shared input lock.
calorix_test(zentu_dialog_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialog_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/basic_controls_test.cpp
  LIBS paint_test_support
  PROPERTIES RESOURCE_LOCK wine_input)
