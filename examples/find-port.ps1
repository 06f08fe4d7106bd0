# Prints the port, such as COM3, of the one present serial device whose
# friendly name begins with the given words, for example:
#     .\find-port.ps1 USB Serial Device
# Exit code: 0 found, 1 no such device, 2 more than one device matches,
# 3 comlookup.exe cannot be found or run, or failed.
$comlookup = Join-Path $PSScriptRoot 'comlookup.exe'
if (-not (Test-Path -LiteralPath $comlookup -PathType Leaf)) {
    $found = Get-Command -Name 'comlookup.exe' -CommandType Application -ErrorAction SilentlyContinue |
        Select-Object -First 1
    if (-not $found) {
        [Console]::Error.WriteLine('find-port: comlookup.exe is neither beside this script nor on the PATH')
        exit 3
    }
    $comlookup = $found.Source
}

# The status, or $null when the exe could not be started at all. The words
# are passed one by one; comlookup joins them with single blanks.
function Invoke-Comlookup([string[]] $Words) {
    $global:LASTEXITCODE = $null
    try { & $comlookup @Words } catch { return $null }
    return $LASTEXITCODE
}

# With no words comlookup answers -1 at once: anything else means it did not
# start as comlookup, and must not be read as a port.
$probe = Invoke-Comlookup @()
if ($probe -ne -1) {
    [Console]::Error.WriteLine("find-port: '$comlookup' did not start as comlookup (status $probe)")
    exit 3
}

$status = Invoke-Comlookup $args
if ($status -is [int] -and $status -ge 0) { "COM$status"; exit 0 }
if ($status -eq -1) {
    [Console]::Error.WriteLine("No serial device matches that name. To see why: comlookup-list $args")
    exit 1
}
if ($status -eq -2) {
    [Console]::Error.WriteLine("More than one serial device matches that name. To see which: comlookup-list $args")
    exit 2
}
[Console]::Error.WriteLine("find-port: comlookup failed with status $status, so the port is unknown")
exit 3
