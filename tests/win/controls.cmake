# The control base (MControl, MControlFont, CArea): routing, repaint requests, drawing read
# back from DIB sections, shared images (Wine; the skin folder beside the test program).
calorix_test(zentu_controls_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_test.cpp
  LIBS paint_test_support)

