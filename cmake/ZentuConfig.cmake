# Zentu, installed: find_package(Zentu CONFIG) gives the imported target Zentu::Zentu
# (bin/Zentu.dll, lib/libZentu.dll.a, include/). Programs include "ui/core/mdialog.h" etc.
get_filename_component(_zentu_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET Zentu::Zentu)
  add_library(Zentu::Zentu SHARED IMPORTED)
  set_target_properties(Zentu::Zentu PROPERTIES
    IMPORTED_LOCATION "${_zentu_prefix}/bin/Zentu.dll"
    IMPORTED_IMPLIB "${_zentu_prefix}/lib/libZentu.dll.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_zentu_prefix}/include"
    # The headers use GDI+ types; the library's windows need these at link time too.
    INTERFACE_LINK_LIBRARIES "gdiplus;ole32")
endif()
unset(_zentu_prefix)
