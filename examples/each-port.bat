@echo off
rem Runs a command once for each port that comlookup-list --ports gives, one
rem after another, in the order of the devices' sockets, for example:
rem     each-port.bat --usb "vid=10C4" "pid=EA60" -- esptool --port {port} flash_id
rem     each-port.bat Silicon Labs CP210x -- test-station.bat {port}
rem Before --: the words or TERMs, as comlookup-list --ports takes them (none:
rem every port). After it: the command, with {port} where the port (COM3)
rem goes, or the port as its last argument when it has no {port}. cmd splits
rem a batch file's arguments at = , and ; too: quote each TERM, and any
rem argument of the command that holds one of them.
rem Exit code: 0 the command succeeded on every port, 1 no port matches,
rem 2 it failed on one or more (named on stderr), 3 comlookup-list.exe cannot
rem be found or run, or could not list the ports.
setlocal EnableExtensions DisableDelayedExpansion

set "list=%~dp0comlookup-list.exe"
if not exist "%list%" set "list="
if not defined list for %%F in (comlookup-list.exe) do set "list=%%~$PATH:F"
if not defined list goto missing

rem The arguments one at a time, as in find-port.bat: "%~1" inside quotes
rem keeps a & | < > or ^ in them from running as a command.
set "count=0"
:collect
set "argument=%~1"
if defined argument goto keep
set "raw=%1"
if not defined raw goto collected
:keep
set /a count+=1
set "argument%count%=%~1"
shift
goto collect
:collected

setlocal EnableDelayedExpansion
set "terms="
set "command="
set "side=terms"
set "i=0"
:join
if !i! EQU %count% goto joined
set /a i+=1
if "!side!"=="terms" if "!argument%i%!"=="--" (
    set "side=command"
    goto join
)
if "!side!"=="terms" (set terms=!terms! "!argument%i%!") else (set command=!command! "!argument%i%!")
goto join
:joined
if not defined command goto usage

rem A bad command line gives -1 at once: anything else means the exe did not
rem start as comlookup-list, and its status must not be read as a count.
"!list!" --ports --usb 2>nul
if not "!ERRORLEVEL!"=="-1" goto not_started

rem Listed once into a file, so that the loop runs over the very list the
rem status counts; a for /f over the command itself would lose its status.
set "ports=%TEMP%\each-port-%RANDOM%-%RANDOM%.txt"
"!list!" --ports !terms! >"!ports!"
set "found=!ERRORLEVEL!"
if !found! LSS 0 goto list_failed
if !found! EQU 0 goto none

rem The port goes in through call, as %%command:{port}=COM3%%: not every cmd
rem replaces text in a !variable!. call :succeed sets the status to 0, so that
rem a batch file that sets none does not leave the last port's.
set "failed="
set "failures=0"
for /f "usebackq delims=" %%P in ("%ports%") do (
    call set "line=%%command:{port}=%%P%%"
    if "!line!"=="!command!" set line=!command! "%%P"
    >&2 echo each-port: %%P
    call :succeed
    call !line!
    if !ERRORLEVEL! NEQ 0 call :failed %%P
)
del "!ports!" 2>nul
if !failures! GTR 0 (
    >&2 echo each-port: the command failed on !failures! of !found! ports:!failed!
    exit /b 2
)
>&2 echo each-port: the command succeeded on all !found! ports
exit /b 0

:succeed
exit /b 0
:failed
set "failed=!failed! %~1"
set /a failures+=1
exit /b 0

:none
del "!ports!" 2>nul
rem !terms! begins with a blank.
>&2 echo each-port: no port matches. To see why: comlookup-list!terms!
exit /b 1
:list_failed
del "!ports!" 2>nul
rem comlookup-list has said why on stderr.
>&2 echo each-port: comlookup-list could not list the ports, so nothing was run
exit /b 3
:usage
>&2 echo Usage: each-port.bat [WORD... ^| --usb TERM... ^| --bt TERM...] -- COMMAND [ARGUMENT...]
exit /b 3
:not_started
>&2 echo each-port: "!list!" did not start as comlookup-list (status !ERRORLEVEL!)
exit /b 3
:missing
>&2 echo each-port: comlookup-list.exe is neither beside this script nor on the PATH
exit /b 3
