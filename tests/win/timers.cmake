# Paint manager timers, tips, caret, bubble and drop shadow under Wine and Xvfb.
calorix_test(zentu_timers_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/timers_test.cpp
  LIBS paint_test_support winmm
  PROPERTIES RESOURCE_LOCK wine_input)

# The program's own PNG 101 (12 x 72) is the shadow image of the image-mode tests.
set(popups_png ${CMAKE_BINARY_DIR}/ui/resources/scroll_v.png)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/popups_test.rc "101 PNG \"${popups_png}\"\n")
calorix_test(zentu_popups_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/popups_test.cpp ${CMAKE_CURRENT_BINARY_DIR}/popups_test.rc
  LIBS paint_test_support comctl32
  PROPERTIES RESOURCE_LOCK wine_input)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/popups_test.rc PROPERTIES
  OBJECT_DEPENDS ${popups_png})
add_dependencies(zentu_popups_tests zentu_scroll_images)
