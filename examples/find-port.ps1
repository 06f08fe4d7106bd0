# Prints the port, such as COM3, of the one present serial device whose
# friendly name begins with the given words, for example:
#     .\find-port.ps1 USB Serial Device
# Exit code: 0 found, 1 no such device, 2 more than one device matches.
$comlookup = Join-Path $PSScriptRoot 'comlookup.exe'
if (-not (Test-Path -LiteralPath $comlookup)) { $comlookup = 'comlookup.exe' }

# The words are passed one by one; comlookup joins them with single blanks.
& $comlookup @args
$status = $LASTEXITCODE
switch ($status) {
    -1 { [Console]::Error.WriteLine("No serial device matches that name. To see why: comlookup-list $args"); exit 1 }
    -2 { [Console]::Error.WriteLine("More than one serial device matches that name. To see which: comlookup-list $args"); exit 2 }
    default { "COM$status"; exit 0 }
}
