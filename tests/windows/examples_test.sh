#!/usr/bin/env bash
# Runs examples/find-port.bat under Wine's cmd.exe, beside a copy of
# comlookup.exe, against a test device database.
# Usage: examples_test.sh SOURCE_DIR BUILD_DIR   (WINEPREFIX and WINEARCH set, wineserver running)
set -euo pipefail
source_dir=$1
build_dir=$2
source "$source_dir/scripts/lib/wine.sh"
wine_environment
wine_skip_if_unusable
work=$build_dir/examples-test
rm -rf "$work"
mkdir -p "$work"
cp "$source_dir/examples/find-port.bat" "$build_dir/comlookup.exe" "$work/"
cd "$work"

devdb() { wine_run "$build_dir/tests/windows/devdb.exe" "$@"; }
devdb clear
devdb add COM3 "USB Serial Device (COM3)" COM4 "Twin Adapter" COM5 "Twin Adapter" COM256 "High Port (COM256)"

passed=0
failed=0
# check EXPECTED-STDOUT EXPECTED-STDERR EXPECTED-EXIT-CODE ARG...
check() {
    expected_output=$1
    expected_error=$2
    expected_code=$3
    shift 3
    code=0
    wine_run cmd /c find-port.bat "$@" >stdout.txt 2>stderr.txt || code=$?
    output=$(tr -d '\r' <stdout.txt)
    error=$(tr -d '\r' <stderr.txt)
    if [ "$output" = "$expected_output" ] && [ "$error" = "$expected_error" ] && [ "$code" = "$expected_code" ]; then
        passed=$((passed + 1))
        result=ok
    else
        failed=$((failed + 1))
        result="FAIL (expected '$expected_output', exit $expected_code, stderr '$expected_error'; stderr was '$error')"
    fi
    printf '%-44s -> %-8s exit %s  %s\n' "find-port.bat $*" "'$output'" "$code" "$result"
}

none="No serial device matches that name. To see why: comlookup-list"
several="More than one serial device matches that name. To see which: comlookup-list"
check COM3 "" 0 USB Serial Device
check COM3 "" 0 "USB Serial Device"
check COM256 "" 0 High Port
check "" "$several Twin" 2 Twin
check "" "$none Printer" 1 Printer
check "" "$none Printer (x)" 1 Printer "(x)"
check "" "$none " 1

devdb clear
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
