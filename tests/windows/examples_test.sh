#!/usr/bin/env bash
# Runs the cmd.exe examples under Wine's cmd.exe, beside copies of the exes,
# against a test device database; and find-port.bat beside stand-ins for
# comlookup.exe that is missing, is not comlookup, or fails.
# Usage: examples_test.sh SOURCE_DIR BUILD_DIR   (WINEPREFIX and WINEARCH set, wineserver running)
set -euo pipefail
source "$(dirname "$0")/wine_test.sh" "$@"
work=$build_dir/examples-test
rm -rf "$work"
# Beside: comlookup.exe; alone: nothing; wrong: a program that answers 0 to
# everything; failing: one that ends with the status it is given.
mkdir -p "$work"/{beside,alone,wrong,failing}
for dir in beside alone wrong failing; do
    cp "$source_dir/examples/find-port.bat" "$work/$dir/"
done
cp "$build_dir/comlookup.exe" "$build_dir/comlookup-wait.exe" "$source_dir/examples/flash-after-reset.bat" "$work/beside/"
cp "$build_dir/tests/windows/empty.exe" "$work/wrong/comlookup.exe"
cp "$build_dir/tests/windows/exit_with.exe" "$work/failing/comlookup.exe"

devdb() { wine_run "$build_dir/tests/windows/devdb.exe" "$@"; }
devdb clear
devdb add COM3 "USB Serial Device (COM3)" COM4 "Twin Adapter" COM5 "Twin Adapter" COM256 "High Port (COM256)" \
    COM6 "A&B Port (COM6)" COM9 "Caret^Pipe| Port (COM9)" COM11 "Arduino Leonardo (COM11)"

passed=0
failed=0
# Waits until no program a case may start runs in this prefix any more.
settle() {
    local pid busy deadline=$((SECONDS + 20))
    while :; do
        busy=
        for pid in $(pgrep -if '(cmd|ping|comlookup[a-z-]*|devdb)\.exe|mode\.com' || true); do
            if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
                busy=$pid
            fi
        done
        [ -n "$busy" ] || return 0
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "a program of the case before still runs after 20 s: $(tr '\0' ' ' <"/proc/$busy/cmdline")" >&2
            return 1
        fi
        sleep 0.1
    done
}

# check DIR EXPECTED-STDOUT EXPECTED-STDERR EXPECTED-EXIT-CODE LINE [DEVICE...]
# LINE is a line of a calling batch file, exactly as a script would hold it.
# DEVICEs (PORTNAME FRIENDLY-NAME pairs) are added a second and a half into
# its run (DELAY seconds, when set), and removed after it.
# Each case has files of its own, and starts only once the processes of the
# one before have ended: flash-after-reset.bat's background reset outlives
# its case, holding that case's output files open.
cases=0
check() {
    local dir=$1 expected_output=$2 expected_error=$3 expected_code=$4 line=$5 runner
    shift 5
    settle
    cases=$((cases + 1))
    local caller=caller-$cases.bat out=stdout-$cases.txt err=stderr-$cases.txt
    printf '@%s\r\n@exit /b %%ERRORLEVEL%%\r\n' "$line" >"$work/$dir/$caller"
    code=0
    (cd "$work/$dir" && wine_run cmd /c "$caller" >"$out" 2>"$err") &
    runner=$!
    if [ $# -gt 0 ]; then
        sleep "${DELAY:-1.5}"
        devdb add "$@"
    fi
    wait "$runner" || code=$?
    [ $# -eq 0 ] || devdb remove "$2"
    output=$(tr -d '\r' <"$work/$dir/$out")
    error=$(tr -d '\r' <"$work/$dir/$err")
    if [ "$output" = "$expected_output" ] && [ "$error" = "$expected_error" ] && [ "$code" = "$expected_code" ]; then
        passed=$((passed + 1))
        result=ok
    else
        failed=$((failed + 1))
        result="FAIL (expected '$expected_output', exit $expected_code, stderr '$expected_error'; stderr was '$error')"
    fi
    printf '%-8s %-44s -> %-8s exit %s  %s\n' "$dir" "$line" "'$output'" "$code" "$result"
}

none="No serial device matches that name. To see why: comlookup-list"
several="More than one serial device matches that name. To see which: comlookup-list"
check beside COM3 "" 0 'find-port.bat USB Serial Device'
check beside COM3 "" 0 'find-port.bat "USB Serial Device"'
check beside COM256 "" 0 'find-port.bat High Port'
check beside "" "$several Twin" 2 'find-port.bat Twin'
check beside "" "$none Printer" 1 'find-port.bat Printer'
check beside "" "$none Printer (x)" 1 'find-port.bat Printer "(x)"'
check beside "" "$none " 1 'find-port.bat'
# Words that cmd would otherwise run as commands or redirections.
check beside COM6 "" 0 'find-port.bat "A&B" Port'
check beside COM6 "" 0 'call find-port.bat A^&B Port'
check beside COM9 "" 0 'find-port.bat "Caret^Pipe|" Port'
check beside "" "$none A&B Port > x" 1 'find-port.bat "A&B" Port "> x"'
# Never a port when comlookup cannot answer.
check alone "" "find-port: comlookup.exe is neither beside this script nor on the PATH" 3 'find-port.bat USB'
check wrong "" "find-port: \"$(wine_run winepath -w "$work/wrong" | tr -d '\r')\\comlookup.exe\" did not start as comlookup (status 0)" 3 'find-port.bat USB'
check failing COM7 "" 0 'find-port.bat 7'
check failing "" "find-port: comlookup failed with status -1073741819, so the port is unknown" 3 'find-port.bat -1073741819'
check failing "" "$several -2" 2 'find-port.bat -2'
# The bootloader appears while flash-after-reset.bat waits for it.
board='"Arduino Leonardo (" "Arduino Leonardo bootloader"'
# It resets the board a second after comlookup-wait starts, past the
# sketch's lookup: the bootloader comes after that.
DELAY=5 check beside COM12 "" 0 "flash-after-reset.bat $board" COM12 "Arduino Leonardo bootloader (COM12)"
# No bootloader name: the first device that arrives.
DELAY=5 check beside COM13 "" 0 'flash-after-reset.bat "Arduino Leonardo ("' COM13 "Some Bootloader (COM13)"
check beside "" "flash-after-reset: no new device appeared within 1 s after resetting COM11" 1 'flash-after-reset.bat "Arduino Leonardo (" "" 1'
check beside "" "flash-after-reset: no bootloader named \"Arduino Leonardo bootloader\" appeared within 1 s after resetting COM11" 1 "flash-after-reset.bat $board 1"
check beside "" "$none Arduino Uno" 1 'flash-after-reset.bat "Arduino Uno" "Arduino Uno bootloader"'

# each-port.bat over the twins, in order, through a station that fails on COM5.
cp "$build_dir/comlookup-list.exe" "$source_dir/examples/each-port.bat" "$work/beside/"
printf '@echo station %%~1\r\n@if "%%~1"=="COM5" exit /b 1\r\n' >"$work/beside/station.bat"
check beside $'station COM4\nstation COM5' $'each-port: COM4\neach-port: COM5\neach-port: the command failed on 1 of 2 ports: COM5' \
    2 'each-port.bat Twin -- station.bat {port}'
check beside "" 'each-port: no port matches. To see why: comlookup-list "Printer"' 1 'each-port.bat Printer -- station.bat'

devdb clear
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
