@echo off
rem Prints the port, such as COM3, of the one present serial device whose
rem friendly name begins with the given words, for example:
rem     find-port.bat USB Serial Device
rem Exit code: 0 found, 1 no such device, 2 more than one device matches.
setlocal
set "comlookup=comlookup.exe"
if exist "%~dp0comlookup.exe" set "comlookup=%~dp0comlookup.exe"

"%comlookup%" %*
rem Compare the number itself: "if errorlevel 1" would also be false for -1 and -2.
set "status=%ERRORLEVEL%"
if %status% GEQ 0 (
    echo COM%status%
    exit /b 0
)
rem The words go to the messages outside any ( ) block, where a ")" in them
rem cannot end the block early.
if %status% EQU -2 goto ambiguous
>&2 echo No serial device matches that name. To see why: comlookup-list %*
exit /b 1
:ambiguous
>&2 echo More than one serial device matches that name. To see which: comlookup-list %*
exit /b 2
