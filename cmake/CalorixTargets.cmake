# Shared compile settings and the helpers every module's CMakeLists uses.
include(GoogleTest)

add_library(calorix_options INTERFACE)
target_compile_options(calorix_options INTERFACE -Wall -Wextra)
target_include_directories(calorix_options INTERFACE ${CMAKE_SOURCE_DIR})
if(WIN32)
  target_compile_definitions(calorix_options INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
  # SSE2 arithmetic: x87 excess precision would make conversions such as -5 C to F
  # (22.999... in 80 bits) differ from plain double arithmetic.
  target_compile_options(calorix_options INTERFACE -msse2 -mfpmath=sse)
  # Only system DLLs may be imported: the runtime and winpthread are linked in.
  target_link_options(calorix_options INTERFACE -static -static-libgcc -static-libstdc++)
  # Sections aligned in the file as in memory: Wine maps such an image from its file, where
  # it otherwise copies every section into private memory.
  target_link_options(calorix_options INTERFACE -Wl,--file-alignment,0x1000)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
elseif(CALORIX_FUZZ)
  # Coverage for the fuzzers reaches into the libraries they call.
  target_compile_options(calorix_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(calorix_options INTERFACE -fsanitize=address,undefined)
elseif(CALORIX_SANITIZE)
  target_compile_options(calorix_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(calorix_options INTERFACE -fsanitize=address,undefined)
endif()

# calorix_test(<name> SOURCES ... LIBS ... [PROPERTIES ...]): a GoogleTest program whose
# cases ctest runs one by one (under Wine in the win32 build).
function(calorix_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE calorix_options GTest::gtest_main ${T_LIBS})
  if(WIN32)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120 ${T_PROPERTIES})
endfunction()
