# The tray program end to end under Wine and Xvfb: the real Calorix.exe, and a build of the
# same program with the hidapi double and a hook the tests script (program_hid_plug.cpp),
# driven by program_e2e.py through program_probe.exe, xdotool and screenshots.
add_executable(program_probe ${CMAKE_CURRENT_LIST_DIR}/program_probe.cpp)
target_link_libraries(program_probe PRIVATE calorix_options shell32)
target_link_options(program_probe PRIVATE -municode -mconsole)

add_executable(calorix_hid_double WIN32 ${CMAKE_CURRENT_LIST_DIR}/program_hid_plug.cpp)
target_link_libraries(calorix_hid_double PRIVATE calorix_entry calorix_program calorix_win calorix_core
                                                 hidapi_double)
target_link_options(calorix_hid_double PRIVATE -municode)

# One ctest entry per grouped run, each one pytest test (-s shows its figures; -B and no cache
# keep the source tree clean). They share the prefix copy, so one at a time.
foreach(run window tray shutdown extras update win10)
  add_test(NAME calorix_e2e_${run}
    COMMAND ${CALORIX_SKIN_PYTHON} -B -m pytest -q -s -p no:cacheprovider
            ${CMAKE_CURRENT_LIST_DIR}/program_e2e.py::test_${run})
  set_tests_properties(calorix_e2e_${run} PROPERTIES TIMEOUT 300 RESOURCE_LOCK calorix_e2e)
endforeach()
