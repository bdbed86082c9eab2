#!/usr/bin/env bash
# Builds korimo-demo (the tool's windows on a simulated engraver) and starts it.
#
# With a display ($DISPLAY or $WAYLAND_DISPLAY set) the demo opens for you to
# use; arguments are passed on to it. Without one it runs a short scripted
# session under Xvfb (engraver plugged in, Read, model "Korimo KX3", Set, then
# unplugged and plugged in again), prints the paths of the PNG screenshots it
# took, and copies the working-state one to docs/main-window.png.
#
# Installs the packages it needs first (as root, or through sudo).
# BUILD_DIR overrides the build directory (default: build/default).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/ensure-packages.sh \
  cmake \
  ninja-build \
  g++ \
  qt6-base-dev \
  fonts-liberation \
  xvfb \
  xauth \
  googletest \
  libgtest-dev \
  libbenchmark-dev \
  pkg-config \
  libusb-1.0-0-dev

build="${BUILD_DIR:-$root/build/default}"
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target korimo-demo
demo="$build/demo/korimo-demo"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$demo" "$@"
fi

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
shots="${SHOTS_DIR:-$build/demo-screenshots}"
rm -rf "$shots"
echo "No display: running a scripted session under Xvfb. Screenshots:"
xvfb-run -a -s "-screen 0 1280x1024x24" "$demo" --script "$shots" 2> >(grep -v -e '^QStandardPaths' >&2)
mkdir -p docs
cp "$shots/04-after-set.png" docs/main-window.png
echo "Main window in its working state: $root/docs/main-window.png"
