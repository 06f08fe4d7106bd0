@echo off
rem Resets a board with native USB into its bootloader, the way the Arduino
rem tools do, and prints the port the bootloader comes back on, for example:
rem     flash-after-reset.bat "Arduino Leonardo ("
rem     flash-after-reset.bat "Arduino Leonardo (" "Arduino Leonardo bootloader" 10
rem The first words name the board as its sketch runs. The bootloader is the
rem first device that arrives after the reset; the second words, when given
rem and not "", must begin its name. An optional third argument is how many
rem seconds to wait for it (10). Pass the port on to the flashing tool, e.g.
rem avrdude -P COMn.
rem Exit code: 0 found, 1 no such board or no bootloader in time, 2 more than
rem one device matches or arrives, 3 comlookup cannot be found or run, or
rem failed.
setlocal EnableExtensions DisableDelayedExpansion
set "seconds=%~3"
if not defined seconds set "seconds=10"

rem The board's port into a variable of this script's own: find-port.bat
rem prints COMn when it found it and nothing otherwise (its messages go to
rem stderr), so an undefined variable is every failure.
set "sketch="
for /f "delims=" %%P in ('call "%~dp0find-port.bat" "%~1"') do set "sketch=%%P"
if not defined sketch exit /b 1

set "wait=%~dp0comlookup-wait.exe"
if not exist "%wait%" set "wait="
if not defined wait for %%F in (comlookup-wait.exe) do set "wait=%%~$PATH:F"
if not defined wait goto missing
rem With no words comlookup-wait answers -1 at once (and says why on stderr).
"%wait%" 2>nul
if not "%ERRORLEVEL%"=="-1" goto not_started

rem Opening the port at 1200 baud asks the board to reset into its
rem bootloader. A second from now, in the background, so that comlookup-wait
rem has seen the devices present before the bootloader comes.
start "" /b cmd /d /c "ping -n 2 127.0.0.1 >nul 2>&1 & mode %sketch%: BAUD=1200 >nul 2>&1"

rem The bootloader comes back on another port, under another name: the first
rem device that arrives, not the board going away.
if "%~2"=="" (
    "%wait%" --new %seconds%
) else (
    "%wait%" --new %seconds% "%~2"
)
set "status=%ERRORLEVEL%"
if %status% GEQ 0 (
    echo COM%status%
    exit /b 0
)
if %status% EQU -1 goto none
if %status% EQU -2 goto ambiguous
>&2 echo flash-after-reset: comlookup-wait failed with status %status%, so the port is unknown
exit /b 3
:none
if "%~2"=="" (
    >&2 echo flash-after-reset: no new device appeared within %seconds% s after resetting %sketch%
) else (
    >&2 echo flash-after-reset: no bootloader named %2 appeared within %seconds% s after resetting %sketch%
)
exit /b 1
:ambiguous
>&2 echo flash-after-reset: more than one new device arrived at once. To see which: comlookup-list --watch
exit /b 2
:not_started
>&2 echo flash-after-reset: "%wait%" did not start as comlookup-wait
exit /b 3
:missing
>&2 echo flash-after-reset: comlookup-wait.exe is neither beside this script nor on the PATH
exit /b 3
