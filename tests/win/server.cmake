# Hardware-monitor server control and the logon task under Wine.
# Helper programs the tests copy into prepared folders: they must not need Zentu.dll.
add_executable(server_start_recorder ${CMAKE_CURRENT_LIST_DIR}/server_start_recorder.cpp)
target_link_libraries(server_start_recorder PRIVATE calorix_options)
target_link_options(server_start_recorder PRIVATE -mconsole)

add_executable(server_probe ${CMAKE_CURRENT_LIST_DIR}/server_probe.cpp)
target_link_libraries(server_probe PRIVATE calorix_temperature_win calorix_system_win)
target_link_options(server_probe PRIVATE -mconsole)

# The tests start and end processes, map the shared block and use the prefix's scheduler.
calorix_test(calorix_server_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/server_process_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/server_test_support.cpp
          ${CMAKE_CURRENT_LIST_DIR}/startup_task_test.cpp
  LIBS win_test_support calorix_win calorix_core task_scheduler_double
  PROPERTIES RESOURCE_LOCK wine_shared_state)
add_dependencies(calorix_server_tests server_start_recorder server_probe monitor_standin)
