#!/usr/bin/env bash
# Figures of korimo-demo under Xvfb: time from start to the window shown, wall
# time of a Read and of a Set at the simulator's default timings, idle CPU with
# the windows open (over IDLE_SECONDS, default 30) and the peak resident memory.
# It also checks the idle figure from outside, through /proc/<pid>/stat.
# Needs a built korimo-demo: BUILD_DIR (default build/default).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build/default}"
demo="$build/demo/korimo-demo"
seconds="${IDLE_SECONDS:-30}"
[ -x "$demo" ] || { echo "no $demo: run scripts/run-demo.sh or build korimo-demo first" >&2; exit 1; }

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"

echo "== measured inside korimo-demo --measure $seconds"
xvfb-run -a -s "-screen 0 1280x1024x24" "$demo" --measure "$seconds" 2>/dev/null

echo "== idle, measured from outside over $seconds s"
ticks=$(getconf CLK_TCK)
xvfb-run -a -s "-screen 0 1280x1024x24" "$demo" 2>/dev/null &
runner=$!
pid=""
for _ in $(seq 50); do
  pid=$(pgrep -n -f -x "$demo" || true)
  [ -n "$pid" ] && break
  sleep 0.1
done
[ -n "$pid" ] || { echo "korimo-demo did not start" >&2; exit 1; }
sleep 3
cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
before=$(cpu "$pid")
sleep "$seconds"
after=$(cpu "$pid")
hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")
kill "$pid"
wait "$runner" 2>/dev/null || true
awk -v a="$after" -v b="$before" -v t="$ticks" -v s="$seconds" -v h="$hwm" 'BEGIN {
  printf "idle: %.2f s CPU in %d s = %.2f %% of one core; peak RSS %.1f MiB\n",
         (a - b) / t, s, 100 * (a - b) / t / s, h / 1024 }'
