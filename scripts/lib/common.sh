# Sourced by the scripts in scripts/: shared set-up for a fresh Debian machine.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$repo_root/scripts/lib/wine.sh"

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

# What both Windows builds and their Wine runs need. wine32 installs even on
# a host that cannot run it.
WINDOWS_PACKAGES=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64)

# Sets WINDOWS_PRESET and WINEARCH to the 32-bit build, the one that ships,
# where this host can run it, and to the x86-64 build of the same sources where
# it cannot; says which on stdout.
choose_windows_build() {
    local reason
    export WINEARCH=win32
    if reason=$(wine_unusable); then
        WINDOWS_PRESET=windows-x64
        WINEARCH=win64
        echo "Running the x86-64 build (build/$WINDOWS_PRESET) under 64-bit Wine: $reason."
    else
        WINDOWS_PRESET=windows-x86
        echo "Running the 32-bit build (build/$WINDOWS_PRESET), the one that ships, under 32-bit Wine."
    fi
}

# Configures and builds the chosen Windows preset; prints nothing but errors.
build_windows_exe() {
    (cd "$repo_root" && cmake --preset "$WINDOWS_PRESET" >/dev/null &&
        cmake --build --preset "$WINDOWS_PRESET" -j "$(nproc)" >/dev/null)
}

# Runs the rest of the calling script in a Wine prefix under $1 for the chosen
# build, made anew with $2 = up or kept with $2 = start, and stops its
# wineserver on exit.
enter_wine_prefix() {
    WINEPREFIX="$1/wineprefix-$WINEARCH"
    wine_environment
    wine_prefix "$2"
    trap 'wine_prefix down' EXIT
}

# The test helper that sets up devices and runs programs in the prefix.
devdb() {
    wine_run "$repo_root/build/$WINDOWS_PRESET/tests/windows/devdb.exe" "$@" | tr -d '\r'
}
