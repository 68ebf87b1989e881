# The tray program's layers (docs/ARCHITECTURE.md): each app/<layer>/ builds calorix_<layer>
# from its Windows-free sources and, in the Windows build, calorix_<layer>_win from the rest;
# each links only the layers below it.
#
# calorix_layer(<layer> [BELOW <layer>...] [ZENTU] [MAY_INCLUDE <header>...])
#   BELOW: the layers it may include and links; ZENTU: the library's installed headers as
#   well; MAY_INCLUDE: single headers besides. The build of either target fails when a file of the folder includes a header of
#   this project that is neither its own, nor of a layer named, nor (with ZENTU) installed
#   with the library. Sources are added with calorix_layer_sources.
function(calorix_layer layer)
  cmake_parse_arguments(L "ZENTU" "" "BELOW;MAY_INCLUDE" ${ARGN})
  set(core calorix_${layer})
  add_library(${core} STATIC)
  target_link_libraries(${core} PUBLIC calorix_options)
  set(allowed app/${layer}/ ${L_MAY_INCLUDE})
  foreach(below ${L_BELOW})
    target_link_libraries(${core} PUBLIC calorix_${below})
    list(APPEND allowed app/${below}/)
  endforeach()
  set(targets ${core})
  if(WIN32)
    add_library(${core}_win STATIC)
    target_link_libraries(${core}_win PUBLIC ${core})
    foreach(below ${L_BELOW})
      target_link_libraries(${core}_win PUBLIC calorix_${below}_win)
    endforeach()
    if(L_ZENTU)
      target_link_libraries(${core}_win PUBLIC Zentu)
      foreach(header ${ZENTU_PUBLIC_HEADERS})
        list(APPEND allowed ui/${header})
      endforeach()
    endif()
    list(APPEND targets ${core}_win)
  elseif(L_ZENTU)
    # No library is installed here: any of its headers. The Windows build holds the line.
    list(APPEND allowed ui/)
  endif()
  calorix_include_check(${layer} ${CMAKE_SOURCE_DIR}/app/${layer} "${allowed}" ${targets})
endfunction()

# calorix_layer_sources(<layer> [CORE <file>...] [WIN <file>...]): the Windows-free sources
# (built by every preset) and the Windows ones.
function(calorix_layer_sources layer)
  cmake_parse_arguments(S "" "" "CORE;WIN" ${ARGN})
  target_sources(calorix_${layer} PRIVATE ${S_CORE})
  if(WIN32)
    target_sources(calorix_${layer}_win PRIVATE ${S_WIN})
  endif()
endfunction()

# calorix_include_check(<name> <folder> <allowed> <target>...): the targets are built only
# after every quoted include of a project header in <folder> is found in <allowed> (folders
# ending in "/" and single headers).
function(calorix_include_check name folder allowed)
  file(GLOB files CONFIGURE_DEPENDS ${folder}/*.h ${folder}/*.cpp)
  string(REPLACE ";" "|" joined_files "${files}")
  string(REPLACE ";" "|" joined_allowed "${allowed}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}_includes.stamp)
  set(script ${CMAKE_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DFILES=${joined_files} -DALLOWED=${joined_allowed}
            -DSTAMP=${stamp} -P ${script}
    DEPENDS ${files} ${script}
    COMMENT "Checking the includes of ${name} against the layer order" VERBATIM)
  add_custom_target(${name}_includes DEPENDS ${stamp})
  foreach(target ${ARGN})
    add_dependencies(${target} ${name}_includes)
  endforeach()
endfunction()
