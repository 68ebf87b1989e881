# What the installer ships, as the install component "program": the tray program, the
# library, the diagnostics tool, the skin and the hardware-monitor server in both folders the
# tray program starts it from, laid out as they run. Outside the default install (the
# library's own install tree stays the library alone):
#   cmake --install <build> --component program --prefix <stage>
install(TARGETS Calorix CalorixDiag Zentu RUNTIME DESTINATION . COMPONENT program EXCLUDE_FROM_ALL)
foreach(folder HardwareMonitor HardwareMonitorWin7)
  install(TARGETS Kalvaro RUNTIME DESTINATION ${folder} COMPONENT program EXCLUDE_FROM_ALL)
endforeach()
install(FILES ${CALORIX_SKIN_FILES} DESTINATION skins/theme1 COMPONENT program EXCLUDE_FROM_ALL)
