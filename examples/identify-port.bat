@echo off
rem Says which COM port a device gets when you plug it in, and a command that
rem picks it out in a script afterwards, for example:
rem     identify-port.bat
rem     identify-port.bat 120
rem The argument is how many seconds to wait for the device (60): a driver
rem installed the first time Windows sees a device can take a while.
rem Exit code: 0 found, 1 nothing arrived in time, 2 more than one device
rem arrived at once, 3 comlookup-wait cannot be found or run, or failed.
setlocal EnableExtensions DisableDelayedExpansion
set "seconds=%~1"
if not defined seconds set "seconds=60"

set "wait=%~dp0comlookup-wait.exe"
if not exist "%wait%" set "wait="
if not defined wait for %%F in (comlookup-wait.exe) do set "wait=%%~$PATH:F"
if not defined wait goto missing
rem With no words comlookup-wait answers -1 at once (and says why on stderr).
"%wait%" 2>nul
if not "%ERRORLEVEL%"=="-1" goto not_started

echo If the device is plugged in, unplug it now and wait a moment.
echo Then press a key, and plug it in.
pause >nul
echo Waiting up to %seconds% s for a new port...
"%wait%" --new %seconds%
set "status=%ERRORLEVEL%"
if %status% LSS 0 goto failed
echo COM%status%

rem The command comlookup-list --watch shows for it, read from its JSON
rem Lines one line at a time: Windows PowerShell's ConvertFrom-Json would
rem take all of its input for one document if the first line did not parse.
set "list=%~dp0comlookup-list.exe"
if not exist "%list%" set "list=comlookup-list.exe"
set "command="
for /f "usebackq delims=" %%C in (`powershell -NoProfile -Command "& '%list%' --json --watch --for 0 | ForEach-Object { $_ | ConvertFrom-Json } | Where-Object { $_.device.port -eq 'COM%status%' } | ForEach-Object { $_.command }" 2^>nul`) do set "command=%%C"
if defined command (
    echo To pick it out in a script: %command%
) else (
    echo To see what picks it out: comlookup-list --watch
)
exit /b 0

:failed
if %status% EQU -1 (
    >&2 echo identify-port: no new device arrived within %seconds% s
    exit /b 1
)
if %status% EQU -2 (
    >&2 echo identify-port: more than one device arrived at once. To see them: comlookup-list --watch
    exit /b 2
)
>&2 echo identify-port: comlookup-wait failed with status %status%, so the port is unknown
exit /b 3
:not_started
>&2 echo identify-port: "%wait%" did not start as comlookup-wait
exit /b 3
:missing
>&2 echo identify-port: comlookup-wait.exe is neither beside this script nor on the PATH
exit /b 3
