; The NSIS installer the peer benchmark measures ours against (makensis from Debian's nsis).
;   makensis -DSOURCE=DIR -DOUTFILE=EXE [-DPRODUCT] [-DWIDE] peer.nsi
; PRODUCT: the product tree into "C:\Program Files\ZAV 1.00 beta 8" with the same seven
; shortcuts and four registry values as our setup, then Zav.exe started, as ours does by
; default. Without it: the tree alone into the folder given with /D=.
; WIDE: for the amd64-unicode target (makensis "-XTarget amd64-unicode" -DWIDE), which has no
; ANSI variant. Always silent, zlib, for the current user only.
!ifndef WIDE
Unicode false
!endif
SetCompressor zlib
SilentInstall silent
RequestExecutionLevel user
ShowInstDetails nevershow
XPStyle off
Name "ZAV 1.00 beta 8"
OutFile "${OUTFILE}"
!define PRODUCT_NAME "ZAV 1.00 beta 8"
InstallDir "$PROGRAMFILES\${PRODUCT_NAME}"

Section
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}/*"
!ifdef PRODUCT
  CreateShortcut "$DESKTOP\${PRODUCT_NAME}.lnk" "$INSTDIR\Zav.exe" "" "" 0 SW_SHOWNORMAL "" "$INSTDIR"
  CreateShortcut "$STARTMENU\${PRODUCT_NAME}.lnk" "$INSTDIR\Zav.exe" "" "" 0 SW_SHOWNORMAL "" "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\${PRODUCT_NAME}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}\${PRODUCT_NAME}.lnk" "$INSTDIR\Zav.exe" "" "" 0 SW_SHOWNORMAL "" "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}\Visit ZAV Web site.lnk" "$INSTDIR\web.url" "" "" 0 SW_SHOWNORMAL "" "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}\Vhat's new.lnk" "$INSTDIR\whatsnew.txt" "" "" 0 SW_SHOWNORMAL "" "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}\History.lnk" "$INSTDIR\history.txt" "" "" 0 SW_SHOWNORMAL "" "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}\Manual.lnk" "$INSTDIR\manual.txt" "" "" 0 SW_SHOWNORMAL "" "$INSTDIR"
  WriteRegStr HKCU "Software\ZAV\${PRODUCT_NAME}\Directories" "Program Path" "$INSTDIR"
  WriteRegStr HKCU "Software\ZAV\${PRODUCT_NAME}\Directories" "Prev Cfg" "no"
  WriteRegDWORD HKCU "Software\ZAV\${PRODUCT_NAME}\Directories" "Version" 1014
  WriteRegDWORD HKCU "Software\ZAV\${PRODUCT_NAME}\Directories" "ShowReadme" 1
  Exec '"$INSTDIR\Zav.exe"'
!endif
SectionEnd
