# Sourced by the scripts in scripts/: shared set-up for a fresh Debian machine.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Installs the given Debian packages that are not installed yet.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "installing: ${missing[*]}" >&2
    if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What the Windows build and its Wine runs need.
WINDOWS_PACKAGES=(cmake make g++-mingw-w64-i686 wine wine32:i386)

# Configures and builds the windows-x86 preset; prints nothing but errors.
build_windows_exe() {
    (cd "$repo_root" && cmake --preset windows-x86 >/dev/null && cmake --build --preset windows-x86 -j "$(nproc)" >/dev/null)
}

# Runs the rest of the calling script in the Wine prefix $1, made anew with
# $2 = up or kept with $2 = start, and stops its wineserver on exit.
enter_wine_prefix() {
    export WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=-all LC_ALL=C
    "$repo_root/scripts/wine-prefix" "$2"
    trap '"$repo_root/scripts/wine-prefix" down' EXIT
}

# The test helper that sets up devices and runs programs in the prefix.
devdb() {
    wine "$repo_root/build/windows-x86/tests/windows/devdb.exe" "$@" | tr -d '\r'
}
