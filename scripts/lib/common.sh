# Sourced by the scripts in scripts/: shared set-up for a fresh Debian machine.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$repo_root/scripts/lib/wine.sh"

# A script that stops on a failed command says which, even where the command
# itself printed nothing.
set -E
trap 'echo "${0##*/}: stopped: \"$BASH_COMMAND\" failed (exit $?) at line $LINENO of ${BASH_SOURCE[0]#"$repo_root"/}" >&2' ERR

# Installs the given Debian packages that are not installed yet. A name ending
# in ? is wanted, not required: where apt cannot install it, one line says so
# and the caller goes on without it (once per run of scripts, not again in
# the scripts it starts). A package list that cannot be read is not fatal
# either: apt goes on with the lists it has, and a required package that it
# then cannot install fails with apt's own message.
ensure_packages() {
    local required=() wanted=() package
    for package in "$@"; do
        if [ "${package%\?}" != "$package" ]; then
            [ -n "${COMLOOKUP_WANTED_TRIED:-}" ] || installed "${package%\?}" || wanted+=("${package%\?}")
        else
            installed "$package" || required+=("$package")
        fi
    done
    [ ${#required[@]} -eq 0 ] && [ ${#wanted[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    local missing=("${required[@]}" "${wanted[@]}")
    echo "installing: ${missing[*]}" >&2
    if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
        ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    local status=0
    "${sudo[@]}" apt-get update -qq || status=$?
    [ "$status" -eq 0 ] ||
        echo "Some package lists could not be read (apt-get update exited $status); going on with the lists apt has." >&2
    if [ ${#required[@]} -gt 0 ]; then
        apt_install "${required[@]}" >/dev/null || {
            status=$?
            echo "could not install the packages these scripts need: ${required[*]} (apt-get exited $status)" >&2
            exit "$status"
        }
    fi
    export COMLOOKUP_WANTED_TRIED=1
    for package in "${wanted[@]}"; do
        local output
        status=0
        output=$(apt_install "$package" 2>&1) || status=$?
        [ "$status" -eq 0 ] ||
            echo "$package could not be installed (apt-get exited $status: $(grep '^E: ' <<<"$output" | tail -n 1 | cut -c 4- || true)); going on without it." >&2
    done
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'
}

apt_install() {
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$@"
}

# What both Windows builds and their Wine runs need. wine32 installs even on
# a host that cannot run it; where it cannot be installed, only the 32-bit
# exes' Wine runs are left out.
WINDOWS_PACKAGES=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine 'wine32:i386?' wine64)

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
