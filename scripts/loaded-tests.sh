#!/usr/bin/env bash
# Runs the window tests on a fully loaded machine: four CPU-bound processes
# beside them, then each window test program of the default and the asan build
# RUNS times in a row (default 20), then the whole default suite once, still
# under load. The busy processes are ended when the script ends.
#
#   scripts/loaded-tests.sh [--presets "default asan"] [--runs N] [--no-suite]
#
# Prints one line per program with its failed runs and exits non-zero when any
# run failed. Expects the builds to exist (cmake --preset P; the window test
# targets are built here if they are missing or stale).
set -euo pipefail
cd "$(dirname "$0")/.."

presets="default asan"
runs=20
suite=1
while [ $# -gt 0 ]; do
  case "$1" in
    --presets) presets="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --no-suite) suite=0; shift ;;
    *) echo "usage: $0 [--presets \"default asan\"] [--runs N] [--no-suite]" >&2; exit 1 ;;
  esac
done

programs="tests/ui/korimo_ui_tests tests/jog/korimo_jog_tests tests/iocheck/korimo_iocheck_tests
tests/memedit/korimo_memedit_tests"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"

for preset in $presets; do
  [ -d "build/$preset" ] || cmake --preset "$preset" >/dev/null
  targets=""
  for program in $programs; do targets="$targets $(basename "$program")"; done
  # shellcheck disable=SC2086
  cmake --build "build/$preset" -j "$(nproc)" --target $targets >/dev/null
done

busy=()
stop_load() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_load EXIT
for _ in 1 2 3 4; do
  (while :; do :; done) &
  busy+=("$!")
done
echo "== load: four busy loops (pids ${busy[*]}) on $(nproc) cores"

log=$(mktemp -d)
failed_total=0
for preset in $presets; do
  for program in $programs; do
    failed=0
    start=$SECONDS
    for run in $(seq 1 "$runs"); do
      if ! "build/$preset/$program" >"$log/run.txt" 2>&1; then
        failed=$((failed + 1))
        cp "$log/run.txt" "$log/$preset-$(basename "$program")-$run.txt"
        grep -E '^\[  FAILED  \]' "$log/run.txt" | sort -u | sed 's/^/    /' || true
      fi
    done
    echo "$preset $(basename "$program"): $failed of $runs runs failed ($((SECONDS - start)) s)"
    failed_total=$((failed_total + failed))
  done
done

if [ "$suite" = 1 ]; then
  echo "== the whole default suite once, under the same load"
  cmake --build build/default -j "$(nproc)" >/dev/null
  start=$SECONDS
  if ctest --preset default -j "$(nproc)" >"$log/suite.txt" 2>&1; then
    echo "default suite: $(grep -E 'tests passed' "$log/suite.txt") ($((SECONDS - start)) s)"
  else
    failed_total=$((failed_total + 1))
    grep -E 'tests passed|Failed|\*\*\*' "$log/suite.txt" || true
    echo "default suite: failed, log in $log/suite.txt"
  fi
fi

if [ "$failed_total" -ne 0 ]; then
  echo "failed runs kept in $log"
  exit 1
fi
rm -rf "$log"
