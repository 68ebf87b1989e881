# MRender under Wine: drawing read back from DIB sections, image loaders, icons, bitmap files.
if(NOT CMAKE_RC_COMPILER_LOADED)
  enable_language(RC)
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(render_fixtures ${CMAKE_BINARY_DIR}/bin/render_fixtures)
set(render_fixture_script ${CMAKE_CURRENT_LIST_DIR}/../fixtures/render/make_render_fixtures.py)
add_custom_command(
  OUTPUT ${render_fixtures}/render_pixels.png ${render_fixtures}/render_icon.ico
  COMMAND Python3::Interpreter ${render_fixture_script} ${render_fixtures}
  DEPENDS ${render_fixture_script}
  COMMENT "Making the drawing tests' image fixtures")
add_custom_target(render_fixtures
  DEPENDS ${render_fixtures}/render_pixels.png ${render_fixtures}/render_icon.ico)

# The test program carries the PNG as its own resource 1 of type "PNG".
set(render_rc ${CMAKE_CURRENT_BINARY_DIR}/render_test.rc)
file(CONFIGURE OUTPUT ${render_rc} CONTENT "1 PNG \"@render_fixtures@/render_pixels.png\"\n" @ONLY)
set_source_files_properties(${render_rc} PROPERTIES
  OBJECT_DEPENDS ${render_fixtures}/render_pixels.png)

calorix_test(zentu_render_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/render_test.cpp ${CMAKE_CURRENT_LIST_DIR}/render_files_test.cpp
          ${render_rc}
  LIBS Zentu win_test_support gdiplus)
add_dependencies(zentu_render_tests render_fixtures)

# An independent reader (ImageMagick) checks a file that SaveBitmapToFile wrote.
add_test(NAME zentu_render_saved_bitmap_identify
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/render_identify.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
          $<TARGET_FILE:zentu_render_tests> ${CMAKE_CURRENT_BINARY_DIR}/render_identify.bmp)
set_tests_properties(zentu_render_saved_bitmap_identify PROPERTIES TIMEOUT 120)
