# Prints the port, such as COM3, of the one present serial device whose
# friendly name begins with the given words, for example:
#     .\find-port.ps1 USB Serial Device
# Exit code: 0 found, 1 no such device, 2 more than one device matches,
# 3 comlookup.exe cannot be found or run, or failed.
. (Join-Path $PSScriptRoot 'Get-ComPort.ps1')
try {
    "COM$(Get-ComPort @args)"
    exit 0
} catch {
    [Console]::Error.WriteLine($_.Exception.Message)
    switch -Wildcard ($_.FullyQualifiedErrorId) {
        'NoSuchDevice*' { exit 1 }
        'MoreThanOneDevice*' { exit 2 }
        default { exit 3 }
    }
}
