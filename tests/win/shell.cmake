# The tray icon, its menu and the entry's process set-up under Wine.
calorix_test(calorix_shell_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_test.cpp
  LIBS win_test_support calorix_win calorix_core hidapi_double Zentu imm32
  PROPERTIES RESOURCE_LOCK wine_shared_state)
add_dependencies(calorix_shell_tests render_fixtures)
# The program's message box, clicked inside its modal loop.
calorix_test(calorix_message_box_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/message_box_test.cpp
  LIBS calorix_program
  PROPERTIES RESOURCE_LOCK wine_input)
add_dependencies(calorix_message_box_tests calorix_skin)
