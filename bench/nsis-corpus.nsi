; The benchmark corpus packed by a peer installer system from Debian (nsis),
; for bench/install-bench.sh: zlib, as the closest peer of Setvik's own
; compression, installed silently (/S) into the folder that /D= names.
;   makensis -DCORPUS=/path/to/corpus -DOUT=/path/to/setup.exe bench/nsis-corpus.nsi
!ifndef CORPUS | OUT
  !error "give -DCORPUS=folder and -DOUT=setup.exe"
!endif
Unicode true
SetCompressor zlib
OutFile "${OUT}"
InstallDir "C:\bench\nsis"
RequestExecutionLevel user
SilentInstall silent

Section
  SetOutPath "$INSTDIR\corpus"
  File /r "${CORPUS}/*"
SectionEnd
