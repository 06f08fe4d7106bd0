#!/usr/bin/env bash
# Drives comlookup-list --watch (text and JSON Lines, read back with
# Python's json module) and comlookup-wait --new and --gone under Wine
# through one timetable of changes: an arrival after a second, two at once,
# a leave and return, a device that gets its friendly name later, devices
# Windows reports a problem with, and the deadline. Runs each command the
# watch printed and checks it picks out its device.
# Usage: watch_test.sh SOURCE_DIR BUILD_DIR   (WINEPREFIX and WINEARCH set, wineserver running)
set -euo pipefail
source "$(dirname "$0")/wine_test.sh" "$@"

timetable='1000 add COM5 ROOT\WATCH\0005 Arduino Leonardo bootloader (COM5)
2000 add COM6 USB\VID_10C4&PID_EA60\0001 problem=10 CP2102 USB to UART Bridge Controller (COM6)
2000 add COM7 USB\VID_10C4&PID_EA60\0002 CP2102 USB to UART Bridge Controller (COM7)
3000 remove ROOT\WATCH\0005
3600 add COM5 ROOT\WATCH\0005 Arduino Leonardo bootloader (COM5)
4200 add-unnamed COM8 USB\VID_1A86&PID_7523\5&2B1E4C8&0&2 USB-SERIAL CH340
5000 name USB\VID_1A86&PID_7523\5&2B1E4C8&0&2 USB-SERIAL CH340 (COM8)'

start_devices() {
    devdb clear
    devdb add COM3 "USB Serial Device (COM3)"
    devdb add-usb COM4 "USB Serial Device (COM4)" 'USB\VID_0403&PID_6001\A50285BI' problem=22
}

failed=0
check() {  # NAME EXPECTED ACTUAL
    if [[ "$2" == "$3" ]]; then
        echo "ok   $1"
    else
        echo "FAIL $1: expected [$2], got [$3]"
        failed=$((failed + 1))
    fi
}

start_devices
devdb timetable "$build_dir/comlookup-list.exe" --watch --for 7 USB <<<"$timetable" >"$build_dir/watch-test.txt"
cat "$build_dir/watch-test.txt"
# Time, mark, sign and port of each event row.
events=$(sed -nE 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} (.)(.) ([^ ]+) .*/\1\2\3/p' "$build_dir/watch-test.txt" | tr ' ' _ | tr '\n' ' ')
check "watch: the events in order" "*_COM3 *_COM4 _+COM5 _+COM6 _+COM7 _-COM5 _+COM5 _?- *+COM8 " "$events"
check "watch: ends at its deadline with 0" 0 "$(tail -n 1 "$build_dir/watch-test.txt")"
# Each problem line, wrapped or not, with the port of the event it is under.
check "watch: the problems Windows reports, under the present device and the arrival" \
    "COM4 22 it is disabled|COM6 10 it could not start|" \
    "$(tr '\n' ' ' <"$build_dir/watch-test.txt" | tr -s ' ' |
        grep -oE 'COM[0-9]+ "[^"]*"( [^ "]+)* Windows reports a problem with this device \(code [0-9]+: [a-z ]+\)' |
        sed -E 's/^(COM[0-9]+) .*\(code ([0-9]+): ([a-z ]+)\)$/\1 \2 \3/' | tr '\n' '|')"
check "watch: every line fits 79 columns" "" "$(awk 'length($0) > 79' "$build_dir/watch-test.txt")"
check "watch: each arrival's command" \
    "comlookup Arduino|comlookup-usb vid=10C4 pid=EA60 serial=0001|comlookup-usb vid=10C4 pid=EA60 serial=0002|comlookup Arduino|comlookup USB-SERIAL|" \
    "$(grep -A1 -h 'picked out by:' "$build_dir/watch-test.txt" | sed -nE 's/^ *(picked out by: )?(comlookup.*)/\2/p' | tr '\n' '|')"

start_devices
devdb timetable "$build_dir/comlookup-list.exe" --json --watch --for 7 USB <<<"$timetable" >"$build_dir/watch-test.jsonl"
python3 - "$build_dir/watch-test.jsonl" >"$build_dir/watch-test-commands.txt" <<'PYTHON' || failed=$((failed + 1))
import json, re, sys
raw = open(sys.argv[1], "rb").read()
lines = raw.decode("ascii").replace("\r\n", "\n").rstrip("\n").split("\n")
status = lines.pop()
records = [json.loads(line) for line in lines]
seen = [(r["event"], r["device"]["port"]) for r in records]
checks = [
    ("json: every byte is printable ASCII", all(b in b"\r\n" or 0x20 <= b < 0x7F for b in raw)),
    ("json: ends with 0", status == "0"),
    ("json: the events in order", seen == [("present", "COM3"), ("present", "COM4"), ("arrive", "COM5"),
        ("arrive", "COM6"), ("arrive", "COM7"), ("leave", "COM5"), ("arrive", "COM5"), ("installing", None),
        ("arrive", "COM8")]),
    ("json: times are ISO 8601 with ms and offset", all(re.fullmatch(
        r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d", r["time"]) for r in records)),
    ("json: two at once share a time", records[3]["time"] == records[4]["time"]),
    ("json: the device as comlookup-list --json writes it", records[3]["device"]["vid"] == "10C4"
        and records[3]["device"]["serial"] == "0001" and records[3]["device"]["status"] == 6),
    ("json: a departure keeps its identity", records[5]["device"]["instance_id"] == "ROOT\\WATCH\\0005"
        and records[5]["command"] is None),
    ("json: being installed says why", records[7]["device"]["left_out"] == "no friendly name"
        and records[7]["device"]["description"] == "USB-SERIAL CH340"),
    ("json: the problem Windows reports", [r["device"]["problem"] for r in records]
        == [None, 22, None, 10, None, None, None, None, None]),
    ("json: marks what the words name", [r["device"]["matches"] for r in records]
        == [True, True, False, False, False, False, False, False, True]),
]
failed = 0
for name, ok in checks:
    print(("ok   " if ok else "FAIL ") + name, file=sys.stderr)
    failed += 0 if ok else 1
# Each command, and the port it must give now that all are present.
for r in records:
    if r["command"] is not None:
        print(f'{r["device"]["status"]} {r["command"]}')
sys.exit(1 if failed else 0)
PYTHON
while read -r port program words; do
    # The commands hold no quotes: each word is one argument.
    # shellcheck disable=SC2086
    check "command picks out COM$port: $program $words" "$port" \
        "$(devdb run "$build_dir/$program.exe" $words | tail -n 1)"
done <"$build_dir/watch-test-commands.txt"

# comlookup-wait --new and --gone over the same timetable: the status, and
# how long it took.
wait_run() {  # EXPECTED AT-LEAST-MS UNDER-MS ARGUMENTS...
    local expected=$1 at_least=$2 under=$3
    shift 3
    start_devices
    local start end status
    start=$(date +%s%3N)
    status=$(devdb timetable "$build_dir/comlookup-wait.exe" "$@" <<<"$timetable")
    end=$(date +%s%3N)
    check "comlookup-wait $*" "$expected" "$status"
    if ((end - start < at_least || end - start >= under)); then
        echo "FAIL comlookup-wait $*: took $((end - start)) ms, not from $at_least to $under"
        failed=$((failed + 1))
    fi
}
wait_run 5 1000 30000 --new 20
wait_run -2 2000 30000 --new 20 CP2102
wait_run 8 5000 30000 --new 20 USB-SERIAL
wait_run -1 2000 30000 --new 2 USB-SERIAL
wait_run 5 3000 30000 --gone 20 Arduino
wait_run -1 0 30000 --gone 1
# Present at the start, so only its return is an arrival.
devdb clear
devdb add COM5 "Arduino Leonardo bootloader (COM5)"
check "comlookup-wait --new 20 Arduino: leaves and returns" 5 \
    "$(devdb timetable "$build_dir/comlookup-wait.exe" --new 20 Arduino <<<'1000 remove ROOT\PORTS\0000
1600 add COM5 ROOT\PORTS\0000 Arduino Leonardo bootloader (COM5)')"
check "comlookup-wait --new: a bad command line" "comlookup-wait: no SECONDS given. Usage: comlookup-wait --new|--gone SECONDS [WORD...]; --help for more|-1" \
    "$(devdb run "$build_dir/comlookup-wait.exe" --new | tr '\n' '|' | sed 's/|$//')"
check "comlookup-list --watch --for: a bad command line" \
    "comlookup-list: SECONDS must be a whole number from 0 to 86400. Usage: comlookup-list [--json] --watch [--for SECONDS] [WORD...]; --help for more|1" \
    "$(devdb run "$build_dir/comlookup-list.exe" --watch --for x | tr '\n' '|' | sed 's/|$//')"

echo "$failed failed"
exit $((failed > 0))
