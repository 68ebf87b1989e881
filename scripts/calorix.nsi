; The Calorix installer. scripts/package.sh defines VERSION, VERSION4 (four numbers), STAGE
; (the staged program folder), FILES (its install and uninstall lists) and OUTFILE.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
!include "MUI2.nsh"

!define PRODUCT "Calorix"
!define PUBLISHER "KEM"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Calorix"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; A 32-bit program: on 64-bit Windows this is "Program Files (x86)" and the registry's
; 32-bit view, where the program's own lookups go too.
InstallDir "$PROGRAMFILES\${PRODUCT}"
; An update installs over the folder of the copy it replaces.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION4}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${STAGE}/skins/theme1/Calorix.ico"
!define MUI_UNICON "${STAGE}/skins/theme1/Calorix.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Calorix.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Calorix"
  SetShellVarContext all
  ; A running copy holds its files: end it first, with the tool from this installer (the
  ; installed one may be older or missing).
  InitPluginsDir
  File "/oname=$PLUGINSDIR\CalorixDiag.exe" "${STAGE}/CalorixDiag.exe"
  nsExec::Exec '"$PLUGINSDIR\CalorixDiag.exe" --end-program'
  Pop $0
  !include "${FILES}/install.nsh"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Calorix.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Calorix.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

; Removes what the installer put in place and nothing else: the user's settings
; (HKCU\SOFTWARE\KEM) and log (LocalAppData\KEM Files\) stay, and a folder that holds
; anything else is left with it.
Section "Uninstall"
  SetShellVarContext all
  nsExec::Exec '"$INSTDIR\CalorixDiag.exe" --end-program'
  Pop $0
  nsExec::Exec '"$INSTDIR\CalorixDiag.exe" --remove-task'
  Pop $0
  !include "${FILES}/uninstall.nsh"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
