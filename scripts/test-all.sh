#!/usr/bin/env bash
# Builds and runs every test of the project on a Debian 12 machine: the default
# build, the sanitizer build (ASan + UBSan), the fuzz smoke runs, the Debian
# package (built, installed, run and removed again) and, where the cross
# compiler and Wine are present, the Windows tests under Wine.
# Installs the packages it needs first (as root, or through sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh \
  cmake \
  ninja-build \
  g++ \
  clang \
  libclang-rt-14-dev \
  googletest \
  libgtest-dev \
  libbenchmark-dev \
  qt6-base-dev \
  fonts-liberation \
  xvfb \
  xauth \
  man-db \
  desktop-file-utils \
  g++-mingw-w64-x86-64 \
  wine64 \
  pkg-config \
  libusb-1.0-0-dev \
  umockdev \
  libumockdev-dev \
  x11-utils \
  xdotool \
  imagemagick \
  unzip \
  zstd \
  wixl \
  msitools \
  postgresql \
  unixodbc \
  unixodbc-dev \
  odbc-postgresql

jobs=$(nproc)
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"

# Qt for Windows, before the tests that use it: from its cache, a prebuilt
# archive, or (on a fresh machine without one) built from source, ~20-40 min.
echo "== Qt for Windows"
phase_start=$(date +%s)
scripts/qt-windows.sh >/dev/null
echo "   ($(($(date +%s) - phase_start)) s)"

for preset in default asan; do
  echo "== $preset build"
  phase_start=$(date +%s)
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "   ($(($(date +%s) - phase_start)) s)"
  echo "== $preset tests"
  phase_start=$(date +%s)
  ctest --preset "$preset" -j "$jobs"
  echo "   ($(($(date +%s) - phase_start)) s)"
done

if [ -x scripts/fuzz-smoke.sh ]; then
  echo "== fuzz smoke"
  scripts/fuzz-smoke.sh build/fuzz "${FUZZ_SECONDS:-15}"
fi

echo "== Debian package"
scripts/package-test.sh
