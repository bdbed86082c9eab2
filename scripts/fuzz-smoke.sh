#!/usr/bin/env bash
# Builds the libFuzzer targets with the fuzz preset and runs each one for a
# short while on its seed corpus.
#
#   scripts/fuzz-smoke.sh BUILD_DIR [SECONDS]     (SECONDS per target, default 20)
#
# New inputs the fuzzer finds go to BUILD_DIR/fuzz-corpus/<target>/ (kept between
# runs, so longer runs build on earlier ones); the seeds in fuzz/corpus/<target>/
# are only read. A crash leaves its input in BUILD_DIR/fuzz-artifacts/ and makes
# the script fail.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD_DIR [SECONDS]" >&2
  exit 2
fi
build_dir=$(realpath -m "$1")
seconds=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
targets=(fuzz_numeric fuzz_move_file fuzz_backup_file fuzz_provision_log)

cd "$root"
cmake --preset fuzz -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j2 --target "${targets[@]}"

mkdir -p "$build_dir/fuzz-artifacts"
for target in "${targets[@]}"; do
  corpus="$build_dir/fuzz-corpus/$target"
  mkdir -p "$corpus"
  options=(-max_len=4096 -max_total_time="$seconds" -print_final_stats=1
           -artifact_prefix="$build_dir/fuzz-artifacts/$target-")
  if [ -f "fuzz/$target.dict" ]; then
    options+=(-dict="fuzz/$target.dict")
  fi
  echo "== $target: ${seconds}s"
  log="$build_dir/fuzz-$target.log"
  if ! "$build_dir/fuzz/$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "$target FAILED (log: $log)" >&2
    exit 1
  fi
  grep -E "^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec)" "$log"
done
echo "fuzz-smoke: ${#targets[@]} targets ran clean"
