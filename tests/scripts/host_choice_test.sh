#!/usr/bin/env bash
# How the scripts choose the Wine build and treat apt, over stand-ins for
# Wine's loaders and for apt: nothing is installed or removed.
set -uo pipefail
# The choices under test, not the ones of the run that started this.
unset COMLOOKUP_WANTED_TRIED COMLOOKUP_NO_32BIT WINE_LIB_DIR
repo_root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # NAME EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        echo "ok   $1"
    else
        echo "FAIL $1: expected [$2], got [$3]"
        failures=$((failures + 1))
    fi
}

# Loader directories: a loader that runs, none, and one the kernel will not
# execute (an ELF header with nothing behind it: "Exec format error").
mkdir -p "$work/runs" "$work/absent" "$work/refused"
printf '#!/bin/sh\necho wine-8.0\n' >"$work/runs/wine"
printf '\177ELF\001\001\001\000' >"$work/refused/wine"
cp "$work/runs/wine" "$work/runs/wine64"
cp "$work/runs/wine" "$work/absent/wine64"
cp "$work/runs/wine" "$work/refused/wine64"
chmod +x "$work"/*/wine*

choose() { # LOADER-DIR NO_32BIT: the preset, then the line the scripts print
    (WINE_LIB_DIR=$work/$1 COMLOOKUP_NO_32BIT=$2 bash -c \
        'source "$0/scripts/lib/common.sh"; choose_windows_build; echo "$WINDOWS_PRESET $WINEARCH"' \
        "$repo_root" | tac | tr '\n' '|')
}
while IFS='|' read -r name dir no32 expected; do
    check "$name" "$expected" "$(choose "$dir" "$no32")"
done <<EOF2
wine32 runs|runs|0|windows-x86 win32|Running the 32-bit build (build/windows-x86), the one that ships, under 32-bit Wine.|
wine32 absent|absent|0|windows-x64 win64|Running the x86-64 build (build/windows-x64) under 64-bit Wine: 32-bit Wine is not installed: no $work/absent/wine, which Debian's wine32:i386 brings.|
kernel refuses it|refused|0|windows-x64 win64|Running the x86-64 build (build/windows-x64) under 64-bit Wine: this host cannot run 32-bit programs: Exec format error from $work/refused/wine.|
COMLOOKUP_NO_32BIT=1|runs|1|windows-x64 win64|Running the x86-64 build (build/windows-x64) under 64-bit Wine: COMLOOKUP_NO_32BIT=1 is set.|
EOF2

# The Wine tests skip with the same reason, and never for win64.
skip() { (WINE_LIB_DIR=$work/$1 WINEARCH=$2 bash -c 'source "$0/scripts/lib/wine.sh"; wine_skip_if_unusable; echo runs' \
    "$repo_root"; echo "exit $?") | tr '\n' '|'; }
check "win32 test, wine32 absent" "skipped: 32-bit Wine is not installed: no $work/absent/wine, which Debian's wine32:i386 brings|exit 77|" "$(skip absent win32)"
check "win64 test, wine32 absent" "runs|exit 0|" "$(skip absent win64)"

# apt as on a day when the i386 index cannot be read: update fails, and so
# does wine32:i386, whose dependencies only that index lists.
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'EOF2'
#!/bin/sh
echo "apt-get $*" >>"$APT_LOG"
case "$*" in
*update*) echo "E: Some index files failed to download." >&2; exit 100 ;;
*wine32:i386* | *"$APT_BROKEN"*) echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
esac
EOF2
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"
printf '#!/bin/sh\necho i386\n' >"$work/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin"/*
ensure() { # BROKEN-PACKAGE PACKAGE...: the exit status, then the lines on stderr
    (PATH=$work/bin:$PATH APT_LOG=$work/apt.log APT_BROKEN=$1 bash -c \
        'set -e; source "$0/scripts/lib/common.sh"; shift; ensure_packages "$@"; ensure_packages "$@"' \
        "$repo_root" "$@" 2>&1 >/dev/null; echo "exit $?") | tr '\n' '|'
}
check "wanted package missing" "installing: wine64 wine32:i386|E: Some index files failed to download.|Some package lists could not be read (apt-get update exited 100); going on with the lists apt has.|wine32:i386 could not be installed (apt-get exited 100: Unable to correct problems, you have held broken packages.); going on without it.|installing: wine64|E: Some index files failed to download.|Some package lists could not be read (apt-get update exited 100); going on with the lists apt has.|exit 0|" \
    "$(ensure none wine64 'wine32:i386?')"
check "required package missing" "installing: zip|E: Some index files failed to download.|Some package lists could not be read (apt-get update exited 100); going on with the lists apt has.|E: Unable to correct problems, you have held broken packages.|could not install the packages these scripts need: zip (apt-get exited 100)|exit 100|" \
    "$(ensure zip zip)"

echo "$((9 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
