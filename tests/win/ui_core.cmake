# The library's process-wide state, its window objects and their message loops (Wine + Xvfb).
add_executable(zentu_skin_probe ${CMAKE_CURRENT_LIST_DIR}/zentu_skin_probe.cpp)
target_compile_options(zentu_skin_probe PRIVATE -municode)
target_link_libraries(zentu_skin_probe PRIVATE calorix_options Zentu)
target_link_options(zentu_skin_probe PRIVATE -mconsole -municode)

calorix_test(zentu_core_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/zentu_manager_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/zentu_window_test.cpp
  LIBS win_test_support Zentu gdiplus)
add_dependencies(zentu_core_tests zentu_skin_probe)

# Injected keys reach whatever window of the shared desktop has the focus, and Wine resyncs
# the key state when one of the test's own windows has it: nothing else may run meanwhile.
calorix_test(zentu_input_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/zentu_message_loop_test.cpp
  LIBS Zentu
  PROPERTIES RUN_SERIAL TRUE)
