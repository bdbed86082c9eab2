#!/usr/bin/env bash
# Cross-builds the Windows programs (the `mingw` preset) and runs the Windows
# tests under Wine, headless, in a fresh Wine prefix that is removed afterwards:
# the Win32 back ends on the real calls, the engraver end to end against a
# named-pipe board (korimo-cli.exe included), korimo-cli's own tests, and the
# timing figures of the real calls; before that, the icon and version resources
# of korimo-cli.exe. With --all, every other test program of the
# project runs under Wine as well.
#
# Usage: scripts/wine-tests.sh [--all] [BUILD_DIR]      (default: build/mingw)
# Needs g++-mingw-w64-x86-64 and wine64.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
all=false
if [ "${1:-}" = "--all" ]; then
  all=true
  shift
fi
build_dir=${1:-$source_dir/build/mingw}
jobs=${JOBS:-$(nproc)}

echo "== mingw cross build in $build_dir"
(cd "$source_dir" && cmake --preset mingw -B "$build_dir" >/dev/null)
if $all; then
  cmake --build "$build_dir" -j "$jobs"
else
  cmake --build "$build_dir" -j "$jobs" --target korimo-cli win32_backend_tests \
    win32_engraver_tests cli_tests win32_timing
fi

# The icon and version resources of the programs.
version=$(sed -n 's/.*kVersion\[\] = "\(.*\)";/\1/p' "$build_dir/generated/korimo/version.h")
"$source_dir/scripts/check-windows-resources.sh" "$version" "$build_dir/bin/korimo-cli.exe"

export WINEDEBUG=-all
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/korimo-wine.XXXXXX")
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

echo "== fresh Wine prefix"
start=$(date +%s)
wineboot -i >/dev/null 2>&1
wineserver -w
# One server for all the runs below, instead of a start and stop for each.
wineserver -p
echo "   ready in $(($(date +%s) - start)) s"

status=0
run() {
  echo "== ${1#"$build_dir"/}"
  # A hung pipe or process ends its run, not the whole test.
  timeout 300 wine "$@" 2> >(grep -v -e 'wine32 is missing' -e 'dpkg --add-architecture' \
                                    -e 'apt-get install wine32' -e 'multiarch needs' >&2) ||
    status=1
}
run "$build_dir/bin/win32_backend_tests.exe" --gtest_brief=1
run "$build_dir/bin/win32_engraver_tests.exe" --gtest_brief=1
for program in "$build_dir"/tests/*/*_tests.exe; do
  if $all || [ "$(basename "$program")" = cli_tests.exe ]; then
    run "$program" --gtest_brief=1
  fi
done
run "$build_dir/bin/win32_timing.exe"
exit $status
