# Paint manager under Wine and Xvfb: the paint pass read back from its surface, input through
# real window messages, the factory, images, fonts and the library's embedded resources.
add_library(paint_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/paint_test_support.cpp)
target_link_libraries(paint_test_support PUBLIC calorix_options Zentu gdiplus psapi GTest::gtest)

# The render tests run in a copy of the Wine prefix without the host's fonts, so a font
# that shows up there must have come from the library itself. They move the cursor, so
# they hold the shared input lock.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/no_host_fonts.conf
  "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig></fontconfig>\n")
set(paint_saved_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/paint_fontless_run.sh
  ${CMAKE_BINARY_DIR}/wine-nohostfonts ${CMAKE_CURRENT_BINARY_DIR}/no_host_fonts.conf)
calorix_test(zentu_paint_render_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/paint_render_test.cpp ${CMAKE_CURRENT_LIST_DIR}/paint_cache_test.cpp
  LIBS paint_test_support
  PROPERTIES RESOURCE_LOCK wine_input)
# The cache tests draw the main window's skin.
add_dependencies(zentu_paint_render_tests calorix_skin)
set(CMAKE_CROSSCOMPILING_EMULATOR "${paint_saved_emulator}")

calorix_test(zentu_paint_input_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/paint_input_test.cpp
  LIBS paint_test_support
  PROPERTIES RESOURCE_LOCK wine_input)

# The program's own PNG 101 is the library's 12 x 72 picture, so the application's and the
# library's resource 101 differ.
set(paint_app_png ${CMAKE_BINARY_DIR}/ui/resources/scroll_v.png)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/paint_resource_test.rc "101 PNG \"${paint_app_png}\"\n")
calorix_test(zentu_paint_resource_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/paint_resource_test.cpp
          ${CMAKE_CURRENT_BINARY_DIR}/paint_resource_test.rc
  LIBS paint_test_support
  PROPERTIES RESOURCE_LOCK wine_input)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/paint_resource_test.rc PROPERTIES
  OBJECT_DEPENDS ${paint_app_png})
add_dependencies(zentu_paint_resource_tests zentu_scroll_images)

