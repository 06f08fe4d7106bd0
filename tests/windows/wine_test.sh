# Sourced by the Wine test scripts with their own arguments, SOURCE_DIR and
# BUILD_DIR (WINEPREFIX and WINEARCH set, wineserver running): the Wine
# environment, the skip where this Wine cannot run, and the test helper.
source_dir=$1
build_dir=$2
source "$source_dir/scripts/lib/wine.sh"
wine_environment
wine_skip_if_unusable
devdb() { wine_run "$build_dir/tests/windows/devdb.exe" "$@" | tr -d '\r'; }
