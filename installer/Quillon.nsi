; The installer of the dial client, for one processor type:
;
;   makensis -INPUTCHARSET UTF8 -DARCH=x86_64|i686 -DVERSION=1.1 -DSTAGE=<files> -DSOURCE=<repository>
;            -DOUTFILE=<setup.exe> Quillon.nsi
;
; STAGE holds the files of the program folder: Quillon.exe, Linkwell.dll, Renewer.exe, help.chm,
; DefaultAD.html and UpdateConfig.ini. The installer puts them into the program folder with an
; uninstaller, creates the Start-menu and desktop shortcuts and the entry of "Add or Remove
; Programs". The uninstaller removes all of that and the autostart value "Tarnex"; the subscriber's
; own files (config.xml, the records in data\record, Settings.ini, MessageInfo.xml) stay unless the
; uninstaller's "用户数据" component is chosen, or /REMOVEDATA is given to a silent uninstall.
;
; The x86_64 installer is a 64-bit program: it runs where the 64-bit client runs, and its registry
; and folders are the 64-bit ones the client uses.

Unicode true
!if "${ARCH}" == "x86_64"
  Target amd64-unicode
!else if "${ARCH}" == "i686"
  Target x86-unicode
!else
  !error "ARCH must be x86_64 or i686"
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "远岸宽带拨号客户端"
!define PUBLISHER "远岸宽带"
!define MAIN_WINDOW_CLASS "#32770"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define AUTOSTART_VALUE "Tarnex"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon"
!define SETTINGS_KEY "Software\Quillon"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT}" "${PRODUCT} ${VERSION}"
Caption "${PRODUCT} ${VERSION} 安装"
UninstallCaption "${PRODUCT} ${VERSION} 卸载"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!if "${ARCH}" == "x86_64"
  InstallDir "$PROGRAMFILES64\Quillon"
!else
  InstallDir "$PROGRAMFILES\Quillon"
!endif
InstallDirRegKey HKLM "${SETTINGS_KEY}" "InstallDir"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIFileVersion "${VERSION}.0.0"

!define MUI_ICON "${SOURCE}/client/resources/Quillon.ico"
!define MUI_UNICON "${SOURCE}/client/resources/Quillon.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${SOURCE}/installer/Wizard.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${SOURCE}/installer/Wizard.bmp"
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "这个向导将在您的电脑上安装“${PRODUCT}”${VERSION}。$\r$\n$\r$\n\
它用您的宽带账号拨号上网，记录每一次上网的时间和流量，并在连不上网时帮您检查网卡、网线和局端设备。$\r$\n$\r$\n\
如果客户端正在运行，请先在它的菜单中选择“退出”。$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Quillon.exe"
!define MUI_FINISHPAGE_RUN_TEXT "运行${PRODUCT}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\help.chm"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "查看帮助"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "选择要删除的内容。程序文件总是删除；您的账号、密码、上网记录和快捷栏默认保留，重新安装后可以继续使用。"
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} ${VERSION} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "${PUBLISHER}"

; A running client holds its files: the subscriber ends it first. A silent run cannot ask, so it
; ends with exit code 2 and changes nothing.
!macro WAIT_FOR_CLIENT_EXIT un
  Function ${un}WaitForClientExit
    retry:
      FindWindow $0 "${MAIN_WINDOW_CLASS}" "${PRODUCT}"
      ${If} $0 <> 0
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
          "${PRODUCT}正在运行。$\r$\n$\r$\n请在它的“网 络”菜单或通知区域图标的菜单中选择“退出”，然后按“重试”。" \
          /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
      ${EndIf}
  FunctionEnd
!macroend
!insertmacro WAIT_FOR_CLIENT_EXIT ""
!insertmacro WAIT_FOR_CLIENT_EXIT "un."

Function .onInit
  SetShellVarContext all
  Call WaitForClientExit
FunctionEnd

Section "-Program"
  SetShellVarContext all
  Call WaitForClientExit
  SetOutPath "$INSTDIR"
  File "${STAGE}/Quillon.exe"
  File "${STAGE}/Linkwell.dll"
  File "${STAGE}/Renewer.exe"
  File "${STAGE}/help.chm"
  File "${STAGE}/DefaultAD.html"
  File "${STAGE}/UpdateConfig.ini"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The client keeps its settings and records beside itself and the updater replaces its files
  ; there: every user of the computer may change the program folder. (Windows before Vista has no
  ; icacls and needs nothing: its users may write there already.)
  nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /grant *S-1-5-32-545:(OI)(CI)M /T /C /Q'
  Pop $0

  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\Quillon.exe" "" "$INSTDIR\Quillon.exe" 0
  CreateShortcut "${MENU_FOLDER}\${PRODUCT}帮助.lnk" "$INSTDIR\help.chm"
  CreateShortcut "${MENU_FOLDER}\卸载${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\Quillon.exe" "" "$INSTDIR\Quillon.exe" 0

  WriteRegStr HKLM "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillon.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "un.程序文件和快捷方式" SectionProgram
  SectionIn RO
  SetShellVarContext all
  Call un.WaitForClientExit
  Delete "$INSTDIR\Quillon.exe"
  Delete "$INSTDIR\Linkwell.dll"
  Delete "$INSTDIR\Renewer.exe"
  Delete "$INSTDIR\help.chm"
  Delete "$INSTDIR\DefaultAD.html"
  Delete "$INSTDIR\UpdateConfig.ini"
  ; Files an update downloaded and did not install.
  Delete "$INSTDIR\*.upf"

  Delete "${MENU_FOLDER}\${PRODUCT}.lnk"
  Delete "${MENU_FOLDER}\${PRODUCT}帮助.lnk"
  Delete "${MENU_FOLDER}\卸载${PRODUCT}.lnk"
  RMDir "${MENU_FOLDER}"
  Delete "$DESKTOP\${PRODUCT}.lnk"

  ; The client's own autostart value ("开机启动" of its settings).
  DeleteRegValue HKLM "${RUN_KEY}" "${AUTOSTART_VALUE}"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
SectionEnd

; Only what the client writes, by name: the folder may hold files of the subscriber's own.
Section /o "un.用户数据" SectionData
  Delete "$INSTDIR\config.xml"
  Delete "$INSTDIR\config.xml.*"
  Delete "$INSTDIR\MessageInfo.xml"
  Delete "$INSTDIR\MessageInfo.xml.*"
  Delete "$INSTDIR\Settings.ini"
  Delete "$INSTDIR\data\record\*.xml*"
  RMDir "$INSTDIR\data\record"
  RMDir "$INSTDIR\data"
SectionEnd

; Last: the entry of "Add or Remove Programs" goes when everything else is done.
Section "-un.Finish"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; After the sections, whose numbers it uses.
Function un.onInit
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    SectionGetFlags ${SectionData} $1
    IntOp $1 $1 | ${SF_SELECTED}
    SectionSetFlags ${SectionData} $1
  ${EndIf}
  Call un.WaitForClientExit
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} "客户端、拨号组件、升级程序、帮助，开始菜单和桌面上的快捷方式，以及开机启动项。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionData} "config.xml（设置、账号和记住的密码）、data\record（上网记录）、Settings.ini（快捷栏）和 MessageInfo.xml（运营商的消息）。不选则保留。"
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
