# What the installer carries, checked: the release build (scripts/package.sh's default),
# brought up to date first, so that these tests look at the shipped binaries, not this build's.
set(release_dir ${CMAKE_SOURCE_DIR}/build/release)
add_test(NAME calorix_release_build
  COMMAND sh -c "test -f build/release/CMakeCache.txt || cmake --preset release; cmake --build --preset release"
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(calorix_release_build PROPERTIES FIXTURES_SETUP calorix_release TIMEOUT 1200)

# Every DLL a shipped binary imports is part of Windows or ships beside it.
add_test(NAME calorix_shipped_imports
  COMMAND ${CALORIX_SKIN_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/shipped_imports.py ${CMAKE_OBJDUMP}
          ${release_dir} ${CMAKE_BINARY_DIR}/shipped-imports)

# The installer round trip: scripts/package.sh packs the release build, and a copy of the
# 64-bit Wine prefix installs and uninstalls it silently.
add_test(NAME calorix_installer_round_trip
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/installer_run.sh ${release_dir}
          ${CMAKE_BINARY_DIR}/installer-test ${CMAKE_BINARY_DIR}/bin/monitor_standin.exe)
set_tests_properties(calorix_shipped_imports calorix_installer_round_trip
  PROPERTIES FIXTURES_REQUIRED calorix_release TIMEOUT 600)
