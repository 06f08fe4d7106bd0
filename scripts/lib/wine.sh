# Sourced by the scripts and the Wine tests: runs Windows programs under Wine
# in the prefix $WINEPREFIX, for the architecture $WINEARCH (win32 or win64).

# The loader is chosen here, never left to /usr/bin/wine: Debian's wrapper
# takes the 32-bit loader whenever wine32 is installed, even on a host that
# cannot run 32-bit programs, and the 64-bit one for win32 where wine32 is
# missing. WINE_LIB_DIR stands in for Debian's /usr/lib/wine in the tests.
wine_loader() {
    local dir=${WINE_LIB_DIR:-/usr/lib/wine}
    if [ "$WINEARCH" = win32 ]; then
        echo "$dir/wine"
    elif [ -x "$dir/wine64" ]; then
        echo "$dir/wine64"
    else
        command -v wine64 || echo "$dir/wine64"
    fi
}

# Prints why 32-bit Wine cannot run here and succeeds; fails where it can, and
# always for win64. COMLOOKUP_NO_32BIT=1 makes any host behave as one whose
# kernel has no IA-32 emulation, so that both paths can be tried anywhere.
wine_unusable() {
    [ "$WINEARCH" = win32 ] || return 1
    if [ "${COMLOOKUP_NO_32BIT:-0}" != 0 ]; then
        echo "COMLOOKUP_NO_32BIT=$COMLOOKUP_NO_32BIT is set"
        return 0
    fi
    local loader output status=0
    loader=$(wine_loader)
    if [ ! -x "$loader" ]; then
        echo "32-bit Wine is not installed: no $loader, which Debian's wine32:i386 brings"
        return 0
    fi
    output=$("$loader" --version 2>&1) || status=$?
    # 126: the kernel would not execute it ("Exec format error"). Any other
    # failure is a broken install, which the tests themselves should show.
    [ "$status" -eq 126 ] || return 1
    output=$(tail -n 1 <<<"$output")
    echo "this host cannot run 32-bit programs: ${output##*: } from $loader"
}

# Ends the calling test with 77, which ctest reports as skipped, where the
# Wine it needs cannot run here.
wine_skip_if_unusable() {
    local reason
    if reason=$(wine_unusable); then
        echo "skipped: $reason"
        exit 77
    fi
}

wine_environment() {
    : "${WINEPREFIX:?set WINEPREFIX to a throwaway directory}" "${WINEARCH:?set WINEARCH to win32 or win64}"
    # WINELOADER is also what Wine starts child processes with. The locale sets
    # the ANSI code page of the programs started: C gives 1252 whatever the
    # host's locale, hi_IN.UTF-8 gives UTF-8 (65001), ja_JP.UTF-8 gives 932.
    WINELOADER=$(wine_loader)
    export WINEPREFIX WINEARCH WINELOADER WINEDEBUG=-all LC_ALL=${COMLOOKUP_LOCALE:-C}
    # Wine 10's Wayland driver says on every start that XDG_RUNTIME_DIR is
    # not set where no desktop session set it; an empty one of our own keeps
    # it quiet.
    if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        export XDG_RUNTIME_DIR="${WINEPREFIX%/}.runtime"
        mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    fi
}

wine_run() {
    "$WINELOADER" "$@"
}

# Makes the prefix; where Wine cannot, says so with Wine's last lines and
# fails, rather than leave the caller to fail later with no word.
# The first program run in a new prefix makes Wine boot it and wait for that
# boot. An explicit "wineboot --init" would be a second boot on top of that
# one: it starts a second services.exe, and the two then start and kill each
# other's service processes every ten seconds for most of a minute, the time
# the tests run in. So the first program here does nothing but exit.
wine_boot() {
    local log="${WINEPREFIX%/}.wineboot.log" status=0
    wine_run cmd /c exit 0 </dev/null >"$log" 2>&1 || status=$?
    [ "$status" -ne 0 ] || return 0
    echo "Wine could not make the prefix $WINEPREFIX ($WINEARCH): booting it exited $status; its last lines:" >&2
    tail -n 5 "$log" | sed 's/^/    /' >&2
    return "$status"
}

# up: a fresh prefix with a persistent wineserver, so that wine calls made from
# a harness that captures output return as soon as they end.
# start: the same, but keeps a prefix that already exists.
# down: stops that wineserver and everything running in the prefix.
wine_prefix() {
    case "$1" in
    up | start)
        wineserver -k >/dev/null 2>&1 || true
        if [ "$1" = up ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
            rm -rf "$WINEPREFIX"
            mkdir -p "$WINEPREFIX"
            wineserver -p </dev/null >/dev/null 2>&1
            wine_boot
        else
            wineserver -p </dev/null >/dev/null 2>&1
        fi
        ;;
    down)
        wineserver -k >/dev/null 2>&1 || true
        ;;
    esac
}
