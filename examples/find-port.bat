@echo off
rem Prints the port, such as COM3, of the one present serial device whose
rem friendly name begins with the given words, for example:
rem     find-port.bat USB Serial Device
rem Exit code: 0 found, 1 no such device, 2 more than one device matches,
rem 3 comlookup.exe cannot be found or run, or failed.
setlocal EnableExtensions DisableDelayedExpansion

set "comlookup=%~dp0comlookup.exe"
if not exist "%comlookup%" set "comlookup="
if not defined comlookup for %%F in (comlookup.exe) do set "comlookup=%%~$PATH:F"
if not defined comlookup goto missing

rem The words one at a time, as word1, word2, ...: "%~1" inside quotes keeps
rem a & | < > or ^ in them from running as a command, as %* would.
set "count=0"
:collect
set "word=%~1"
if defined word goto keep
rem %~1 is empty: %1 is "" (an empty word) or nothing (no more words).
set "raw=%1"
if not defined raw goto collected
:keep
set /a count+=1
set "word%count%=%~1"
shift
goto collect
:collected

rem From here on the words are only ever expanded late, as !word1!, which cmd
rem never reads as commands.
setlocal EnableDelayedExpansion
set "arguments="
set "words="
set "blank="
set "i=0"
:join
if !i! EQU %count% goto joined
set /a i+=1
set arguments=!arguments! "!word%i%!"
set words=!words!!blank!!word%i%!
set "blank= "
goto join
:joined

rem With no words comlookup answers -1 at once. Anything else means the exe
rem did not start (cmd's own 9009, say), and must not be read as a port.
"!comlookup!"
if not "!ERRORLEVEL!"=="-1" goto not_started

"!comlookup!" !arguments!
rem Compare the number itself: "if errorlevel 1" would also be false for -1 and -2.
set "status=!ERRORLEVEL!"
if !status! GEQ 0 (
    echo COM!status!
    exit /b 0
)
if !status! EQU -1 goto none
if !status! EQU -2 goto ambiguous
>&2 echo find-port: comlookup failed with status !status!, so the port is unknown
exit /b 3
:none
>&2 echo No serial device matches that name. To see why: comlookup-list !words!
exit /b 1
:ambiguous
>&2 echo More than one serial device matches that name. To see which: comlookup-list !words!
exit /b 2
:not_started
>&2 echo find-port: "!comlookup!" did not start as comlookup (status !ERRORLEVEL!)
exit /b 3
:missing
>&2 echo find-port: comlookup.exe is neither beside this script nor on the PATH
exit /b 3
