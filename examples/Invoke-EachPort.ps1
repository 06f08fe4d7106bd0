<#
.SYNOPSIS
Runs a program once for each port that comlookup-list --ports gives, all of
them at the same time, and reports each one's exit code.

.DESCRIPTION
-Select holds the words or TERMs as comlookup-list --ports takes them (none:
every port comlookup weighs). In -ArgumentList, {port} stands for the port,
such as COM3; without a {port}, the port is the last argument. Each run
writes to files of its own in -LogDirectory, COM3.log and COM3.err.log, so
that runs side by side do not mix their lines.

Writes one object for each port, in the order of their sockets: Port,
ExitCode and Log. Exit code: 0 the program succeeded on every port, 1 no
port matches, 2 it failed on one or more, 3 comlookup-list.exe cannot be
found or run, or could not list the ports (it says why on stderr).

Works in Windows PowerShell 5.1 and in PowerShell 7.

.EXAMPLE
.\Invoke-EachPort.ps1 -Select '--usb', 'vid=10C4', 'pid=EA60' -FilePath esptool.exe -ArgumentList '--port', '{port}', 'flash_id'
#>
[CmdletBinding()]
param(
    [string[]] $Select = @(),
    [Parameter(Mandatory = $true)] [string] $FilePath,
    [string[]] $ArgumentList = @(),
    [string] $LogDirectory = '.'
)

# Beside this script, else on the PATH.
$list = Join-Path $PSScriptRoot 'comlookup-list.exe'
if (-not (Test-Path -LiteralPath $list -PathType Leaf)) {
    $found = Get-Command -Name 'comlookup-list.exe' -CommandType Application -ErrorAction SilentlyContinue |
        Select-Object -First 1
    if (-not $found) {
        [Console]::Error.WriteLine('Invoke-EachPort: comlookup-list.exe is neither beside this script nor on the PATH')
        exit 3
    }
    $list = $found.Source
}

# The status is the count, -1 a failure; $null when the exe did not run at
# all: never a status left over from an earlier command.
$global:LASTEXITCODE = $null
try { $ports = @(& $list --ports @Select) } catch { $ports = @() }
$count = $LASTEXITCODE
if ($count -isnot [int] -or $count -lt 0 -or $count -ne $ports.Count) {
    [Console]::Error.WriteLine("Invoke-EachPort: comlookup-list could not list the ports (status $count), so nothing was run")
    exit 3
}
if ($count -eq 0) {
    [Console]::Error.WriteLine("Invoke-EachPort: no port matches. To see why: comlookup-list $Select")
    exit 1
}

# As the C runtime splits a command line: an argument with a blank or a
# quote goes in quotes, with each quote and the backslashes before it
# escaped. Windows PowerShell 5.1's Start-Process joins an array as it is.
function ConvertTo-Argument([string] $Text) {
    if ($Text -ne '' -and $Text -notmatch '[\s"]') { return $Text }
    return '"' + (($Text -replace '(\\*)"', '$1$1\"') -replace '(\\+)$', '$1$1') + '"'
}

$hasPlaceholder = @($ArgumentList | Where-Object { $_.Contains('{port}') }).Count -gt 0
$runs = @(foreach ($port in $ports) {
    $arguments = @($ArgumentList | ForEach-Object { $_.Replace('{port}', $port) })
    if (-not $hasPlaceholder) { $arguments += $port }
    $log = Join-Path $LogDirectory "$port.log"
    $process = Start-Process -FilePath $FilePath -NoNewWindow -PassThru `
        -ArgumentList ((@($arguments | ForEach-Object { ConvertTo-Argument $_ })) -join ' ') `
        -RedirectStandardOutput $log -RedirectStandardError (Join-Path $LogDirectory "$port.err.log")
    # Windows PowerShell 5.1 gives no ExitCode for a process whose handle
    # was never asked for.
    $null = $process.Handle
    [pscustomobject]@{ Port = $port; Process = $process; Log = $log }
})

$failed = @()
foreach ($run in $runs) {
    $run.Process.WaitForExit()
    $code = $run.Process.ExitCode
    if ($code -ne 0) { $failed += $run.Port }
    [pscustomobject]@{ Port = $run.Port; ExitCode = $code; Log = $run.Log }
}
if ($failed.Count -gt 0) {
    [Console]::Error.WriteLine("Invoke-EachPort: the program failed on $($failed.Count) of $count ports: $($failed -join ' ')")
    exit 2
}
exit 0
