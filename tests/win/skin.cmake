# The tray program's skin: the drawn files checked as files (Python and ImageMagick), and
# under Wine as the library and the program load them.
add_test(NAME calorix_skin_files
  COMMAND ${CALORIX_SKIN_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/skin_check.py ${CALORIX_SKIN_DIR})

calorix_test(calorix_skin_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/skin_test.cpp
  LIBS paint_test_support win_test_support
  PROPERTIES RESOURCE_LOCK wine_input)
add_dependencies(calorix_skin_tests calorix_skin Calorix)
