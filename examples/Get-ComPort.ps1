# Defines Get-ComPort, which returns the port number ([int], 3 for COM3) of
# the one present serial device whose friendly name begins with the given
# words, and throws when none does, more than one does, or comlookup.exe
# cannot answer. Dot-source it in a script of your own:
#     . (Join-Path $PSScriptRoot 'Get-ComPort.ps1')
#     $port = Get-ComPort USB Serial Device
#     $serial = [System.IO.Ports.SerialPort]::new("COM$port", 115200)
# The error's FullyQualifiedErrorId tells the cases apart: NoSuchDevice,
# MoreThanOneDevice or ComlookupFailed.
# Windows PowerShell 5.1 drops empty words and mangles words that hold a
# double quote on their way to an exe; PowerShell 7.3 and later pass them on.

function Get-ComPort {
    # The words come as $args, not as declared parameters, so that a word
    # such as -h is a word and not a parameter name.
    $words = [string[]] $args
    $fail = {
        param([string] $Id, [string] $Message)
        throw [System.Management.Automation.ErrorRecord]::new(
            [System.Exception]::new($Message), $Id, [System.Management.Automation.ErrorCategory]::ObjectNotFound, $words)
    }

    # Beside this file, else on the PATH.
    $exe = Join-Path (Split-Path -Parent $MyInvocation.MyCommand.ScriptBlock.File) 'comlookup.exe'
    if (-not (Test-Path -LiteralPath $exe -PathType Leaf)) {
        $found = Get-Command -Name 'comlookup.exe' -CommandType Application -ErrorAction SilentlyContinue |
            Select-Object -First 1
        if (-not $found) { & $fail 'ComlookupFailed' 'comlookup.exe is neither beside Get-ComPort.ps1 nor on the PATH' }
        $exe = $found.Source
    }

    # The status, or $null when the exe could not be started at all: never a
    # status left over from an earlier command.
    $run = {
        param([string[]] $Arguments)
        $global:LASTEXITCODE = $null
        try { & $exe @Arguments } catch { return $null }
        return $LASTEXITCODE
    }

    # With no words comlookup answers -1 at once: anything else means it did
    # not start as comlookup, and must not be read as a port.
    $probe = & $run @()
    if ($probe -ne -1) { & $fail 'ComlookupFailed' "'$exe' did not start as comlookup (status $probe)" }

    $status = & $run $words
    if ($status -is [int] -and $status -ge 0) { return $status }
    if ($status -eq -1) {
        & $fail 'NoSuchDevice' "No serial device matches that name. To see why: comlookup-list $words"
    }
    if ($status -eq -2) {
        & $fail 'MoreThanOneDevice' "More than one serial device matches that name. To see which: comlookup-list $words"
    }
    & $fail 'ComlookupFailed' "comlookup failed with status $status, so the port is unknown"
}
