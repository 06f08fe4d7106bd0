#!/usr/bin/env bash
# Reads comlookup-list --json under Wine with Python's json module, for
# devices whose names hold controls, quotes, backslashes and a letter beyond
# ASCII, and one device of each section; checks the document against what
# the devices are and against comlookup's own status.
# Usage: json_test.sh SOURCE_DIR BUILD_DIR   (WINEPREFIX and WINEARCH set, wineserver running)
set -euo pipefail
source "$(dirname "$0")/wine_test.sh" "$@"

hostile_a=$(printf 'Hostile \x1b[31mA\t"Q" \\ Ger\xc3\xa4t (COM5)')
hostile_b=$(printf 'Hostile \x07B\r\n(COM6)')
devdb clear
# C.UTF-8 reads this script's UTF-8 into the names; the ANSI code page stays
# 1252, where the letter is one byte.
LC_ALL=C.UTF-8 devdb add COM5 "$hostile_a" COM6 "$hostile_b" COM7 "Plain Port (COM7)"
devdb add-unnamed COM8 "Unnamed Port"
devdb add-modem COM9 "Hostile Modem (COM9)"

status=$(devdb run "$build_dir/comlookup.exe" Hostile | tail -n 1)
devdb run "$build_dir/comlookup-list.exe" --json Hostile >"$build_dir/json-test.out"
python3 - "$build_dir/json-test.out" "$status" "$hostile_a" "$hostile_b" <<'PYTHON'
import json, sys
path, status, hostile_a, hostile_b = sys.argv[1:]
raw = open(path, "rb").read()
text = raw.decode("ascii").replace("\r\n", "\n")
body, _, listing_status = text.rstrip("\n").rpartition("\n")
doc = json.loads(body)
byname = {d["port"] or d["description"]: d for d in doc["devices"]}
checks = [
    ("every byte is printable ASCII", all(b in b"\r\n" or 0x20 <= b < 0x7F for b in raw)),
    ("the listing exits with 0", listing_status == "0"),
    ("version", doc["version"].count(".") == 2),
    ("query", doc["query"] == "Hostile"),
    ("status is comlookup's", doc["status"] == int(status) == -2),
    ("complete", doc["complete"] is True),
    ("hostile name A read back", byname["COM5"]["friendly_name"] == hostile_a),
    ("hostile name B read back", byname["COM6"]["friendly_name"] == hostile_b),
    ("matches", [byname[p]["matches"] for p in ("COM5", "COM6", "COM7")] == [True, True, False]),
    ("status of a device", byname["COM7"]["status"] == 7),
    ("left out", byname["Unnamed Port"]["left_out"] == "no friendly name"
        and byname["Unnamed Port"]["status"] is None and byname["Unnamed Port"]["friendly_name"] is None),
    ("no USB or Bluetooth identity is null", all(byname["COM7"][k] is None for k in
        ("vid", "pid", "serial", "interface", "bluetooth_address", "bluetooth_name", "incoming"))),
    ("other class", [(d["class"], d["port"], d["matches"]) for d in doc["other_classes"]] == [("Modem", "COM9", True)]),
    ("not present", doc["not_present"] == []),
    ("suggestions", [s["port"] for s in doc["suggestions"]] == ["COM5", "COM6"]
        and all(s["command"] is None or s["command"].startswith("comlookup") for s in doc["suggestions"])),
]
failed = 0
for name, ok in checks:
    print(("ok   " if ok else "FAIL ") + name)
    failed += 0 if ok else 1
if failed:
    print(text)
print(f"{len(checks) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
PYTHON
