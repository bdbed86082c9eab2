#!/usr/bin/env bash
# Provides Qt 6 for Windows (x86_64-w64-mingw32, static) to the `mingw` build.
#
# Qt comes from Debian's own source package qt6-base, the same version as the
# host Qt (qt6-base-dev), cross-built with the posix-thread mingw-w64 compilers
# and the host's moc/rcc/uic, with only what the tool needs: Core, Gui, Widgets,
# Test, the windows and offscreen platforms, the windowsvista style. It lands in
# a cache folder outside the source tree, keyed by the Qt version and a hash of
# the build options, and is reused when it is there:
#
#   ${KORIMO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/korimo}/qt6-mingw-VERSION-HASH
#
# A prebuilt archive of that build (top folder qt6-mingw/, with a .sha256 file
# beside it) saves the build time: it is taken from --archive FILE,
# $KORIMO_QT_WINDOWS_ARCHIVE, or ../shared/toolchains/ beside the clone (or
# beside the main clone of a git worktree), and unpacked after its checksum is
# checked. Without one, Qt is built from source
# (about 1000 build steps; 20 minutes on two quiet cores), progress shown.
#
# Usage: scripts/qt-windows.sh [--archive FILE] [--from-source] [--cache-dir DIR]
#                              [--keep-build] [--print-dir]
#   --print-dir    print the folder Qt is (or would be) installed in and exit
#   --from-source  ignore any archive and build
# The last line of the output is the Qt folder. Installs the apt packages it
# needs (as root, or through sudo).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)

archive=${KORIMO_QT_WINDOWS_ARCHIVE:-}
from_source=false
keep_build=false
print_dir=false
cache_root=${KORIMO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/korimo}
while (($#)); do
  case $1 in
    --archive) archive=$2; shift 2 ;;
    --from-source) from_source=true; shift ;;
    --cache-dir) cache_root=$2; shift 2 ;;
    --keep-build) keep_build=true; shift ;;
    --print-dir) print_dir=true; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "qt-windows.sh: unknown argument $1 (see --help)" >&2; exit 1 ;;
  esac
done
say() { echo "qt-windows: $*" >&2; }

# The version of the host Qt: the Windows Qt must match it, since the host's
# moc, rcc and uic generate code for it.
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
if [ -z "$qt_version" ]; then
  if $print_dir; then
    say "the host Qt (qt6-base-dev) is not installed"
    exit 1
  fi
  "$source_dir/scripts/ensure-packages.sh" qt6-base-dev >&2
  qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
fi
upstream_version=${qt_version%%+*}

# The build options. Their text (with the source fix below) makes the cache key.
qt_options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  # What the tool uses; FreeType also serves the offscreen platform's text.
  -DFEATURE_testlib=ON -DFEATURE_freetype=ON
  # What it does not. WinTab headers (tabletevent) and Direct2D are not in the
  # +dfsg source nor in mingw-w64; Debian's cross patch turns androiddeployqt on.
  -DFEATURE_pkg_config=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
  -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_direct2d=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF
  -DFEATURE_androiddeployqt=OFF
  # Qt's bundled copies, linked into the static libraries.
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF
)
# With direct2d off and directwrite3 on, the windows platform plugin refers to
# a DirectWrite font database that is not built: the plugin then fails to link
# into an application. Both uses are guarded by direct2d as well.
source_fix_file=src/plugins/platforms/windows/qwindowsintegration.cpp
source_fix_from='#if QT_CONFIG(directwrite3)'
source_fix_to='#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)'
compilers=(x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres)

key_text=$(printf '%s\n' "$qt_version" "${qt_options[@]}" "$source_fix_file" "$source_fix_to" \
                         "${compilers[@]}")
options_hash=$(printf '%s' "$key_text" | sha256sum | cut -c1-12)
qt_dir=$cache_root/qt6-mingw-$upstream_version-$options_hash
stamp=$qt_dir/korimo-qt-windows.stamp

if $print_dir; then
  echo "$qt_dir"
  exit 0
fi
if [ -f "$stamp" ]; then
  say "Qt $qt_version for Windows is cached ($(sed -n 's/^origin: //p' "$stamp"))"
  echo "$qt_dir"
  exit 0
fi
mkdir -p "$cache_root"

# One run at a time per cache folder: a second waits for the first.
exec 9>"$qt_dir.lock"
if ! flock -n 9; then
  say "another run is providing $qt_dir; waiting for it"
  flock 9
  if [ -f "$stamp" ]; then
    echo "$qt_dir"
    exit 0
  fi
fi

# The staging folder becomes the Qt folder only once complete.
staging=$qt_dir.partial
rm -rf "$staging"

write_stamp() {
  {
    echo "version: $qt_version"
    echo "options-hash: $options_hash"
    echo "origin: $1"
    echo "date: $(date -u +%Y-%m-%dT%H:%M:%SZ)"
    printf '%s\n' "$key_text" | sed 's/^/key: /'
  } >"$staging/korimo-qt-windows.stamp"
  rm -rf "$qt_dir"
  mv "$staging" "$qt_dir"
}

archive_name=qt-$qt_version-mingw64-posix-static.tar.zst
if ! $from_source && [ -z "$archive" ]; then
  # ../shared beside the clone; for a git worktree, beside its main clone too.
  places=("$source_dir/../shared/toolchains")
  common=$(git -C "$source_dir" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
  [ -n "$common" ] && places+=("$(dirname "$common")/../shared/toolchains")
  for place in "${places[@]}"; do
    if [ -f "$place/$archive_name" ]; then
      archive=$place/$archive_name
      break
    fi
  done
  [ -n "$archive" ] || say "no $archive_name in ${places[*]}"
fi

if ! $from_source && [ -n "$archive" ]; then
  [ -f "$archive" ] || { say "no archive at $archive"; exit 1; }
  "$source_dir/scripts/ensure-packages.sh" zstd >&2
  say "checking $archive"
  if [ ! -f "$archive.sha256" ]; then
    say "no checksum file $archive.sha256 beside the archive; refusing to use it"
    exit 1
  fi
  expected=$(awk '{print $1; exit}' "$archive.sha256")
  actual=$(sha256sum "$archive" | awk '{print $1}')
  if [ "$expected" != "$actual" ]; then
    say "checksum mismatch for $archive: expected $expected, got $actual"
    exit 1
  fi
  mkdir -p "$staging"
  tar --zstd -xf "$archive" -C "$staging" --strip-components=1 qt6-mingw/
  [ -f "$staging/lib/cmake/Qt6/Qt6Config.cmake" ] || {
    say "$archive holds no qt6-mingw/lib/cmake/Qt6/Qt6Config.cmake"
    exit 1
  }
  write_stamp "archive $(basename "$archive") sha256 $actual"
  say "unpacked into $qt_dir"
  echo "$qt_dir"
  exit 0
fi

# --- From Debian's source package -------------------------------------------
say "building Qt $qt_version for Windows from Debian's source package qt6-base"
"$source_dir/scripts/ensure-packages.sh" cmake ninja-build dpkg-dev patch \
  g++-mingw-w64-x86-64 qt6-base-dev qt6-base-dev-tools >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

work=$cache_root/qt6-mingw-$upstream_version-$options_hash.build
mkdir -p "$work"
src=$work/qt6-base-$upstream_version
if [ ! -f "$src/.korimo-patched" ]; then
  rm -rf "$src"
  (
    cd "$work"
    if ! ls qt6-base_"$qt_version".dsc >/dev/null 2>&1; then
      if ! apt-get source --download-only --print-uris "qt6-base=$qt_version" >/dev/null 2>&1; then
        # apt-get source reads deb-src entries: one beside each Debian deb entry.
        say "adding deb-src entries for the Debian archive"
        list=/etc/apt/sources.list.d/korimo-deb-src.sources
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
          sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            $sudo tee "$list" >/dev/null
        else
          grep -h '^deb ' /etc/apt/sources.list | grep -i debian | sed 's/^deb /deb-src /' |
            $sudo tee /etc/apt/sources.list.d/korimo-deb-src.list >/dev/null
        fi
        $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
      fi
      say "downloading the source package qt6-base $qt_version"
      apt-get source --download-only "qt6-base=$qt_version" 2>&1 | grep -v unsandboxed >&2 || true
    fi
    ls qt6-base_"$qt_version".dsc >/dev/null
    say "unpacking (patches applied below, one by one)"
    dpkg-source --skip-patches -x "qt6-base_$qt_version.dsc" "qt6-base-$upstream_version" >&2
  )
  # Debian's patches, in the order of their series file (security fixes among them).
  count=0
  while read -r patch_name _; do
    case $patch_name in ''|'#'*) continue ;; esac
    count=$((count + 1))
    say "patch $count: $patch_name"
    patch -d "$src" -p1 --forward --batch --quiet <"$src/debian/patches/$patch_name"
  done <"$src/debian/patches/series"
  fixed=$(grep -c "^$source_fix_from\$" "$src/$source_fix_file" || true)
  sed -i "s/^$source_fix_from\$/$source_fix_to/" "$src/$source_fix_file"
  if [ "$fixed" -ne 2 ] || [ "$(grep -c 'QT_CONFIG(direct2d)$' "$src/$source_fix_file")" -lt 2 ]; then
    say "the DirectWrite guard in $source_fix_file was not where it was expected ($fixed uses)"
    exit 1
  fi
  say "$count Debian patches and the DirectWrite guard applied"
  touch "$src/.korimo-patched"
fi

toolchain=$work/mingw-posix.cmake
cat >"$toolchain" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER ${compilers[0]})
set(CMAKE_CXX_COMPILER ${compilers[1]})
set(CMAKE_RC_COMPILER ${compilers[2]})
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

build=$work/build
mkdir -p "$build"
say "configuring (build tree $build, about 2 GB)"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_INSTALL_PREFIX="$staging" "${qt_options[@]}" >"$work/configure.log" 2>&1 || {
  tail -40 "$work/configure.log" >&2
  say "configure failed; the whole log is $work/configure.log"
  exit 1
}
jobs=${JOBS:-$(nproc)}
say "building with $jobs jobs (about 1000 steps; 20 minutes on two quiet cores)"
start=$(date +%s)
# Ninja prints "[N/TOTAL] description" per step: every 25th is shown, with the time.
progress() {
  local line n
  while IFS= read -r line; do
    if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
      n=${BASH_REMATCH[1]}
      if ((n % 25 == 0 || n == BASH_REMATCH[2])); then
        say "step $n of ${BASH_REMATCH[2]}, $((($(date +%s) - start) / 60)) min"
      fi
    else
      echo "$line" >&2
    fi
  done
}
if ! ninja -C "$build" -j "$jobs" | progress; then
  say "the Qt build failed (build tree kept: $build)"
  exit 1
fi
say "built in $((($(date +%s) - start) / 60)) min; installing"
rm -rf "$staging"
cmake --install "$build" >/dev/null
write_stamp "built from qt6-base $qt_version source in $((($(date +%s) - start) / 60)) min"
if ! $keep_build; then
  rm -rf "$work"
fi
say "installed into $qt_dir ($(du -sh "$qt_dir" | cut -f1))"
echo "$qt_dir"
