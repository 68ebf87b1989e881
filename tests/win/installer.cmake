# The installer round trip: scripts/package.sh packs this build's program files, and a copy
# of the Wine prefix installs and uninstalls them silently.
add_test(NAME calorix_installer_round_trip
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/installer_run.sh ${CMAKE_BINARY_DIR}
          ${CMAKE_BINARY_DIR}/installer-test)
set_tests_properties(calorix_installer_round_trip PROPERTIES TIMEOUT 600)
