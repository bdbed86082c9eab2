#!/usr/bin/env bash
# Builds the Debian package and proves it on this machine: lintian (no errors),
# a staged install, then the package installed with apt and the installed
# programs run from their installed paths (korimo-cli --sim read and --version,
# the manual pages, the bash completion, the menu entries, the demo's scripted
# session under Xvfb), then the package purged and every file it had checked
# gone again.
#
#   scripts/package-test.sh             (BUILD_DIR overrides build/package)
#
# Installs the packages it needs first (as root, or through sudo), and
# installs and removes the korimo package itself: run it as root or with sudo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/ensure-packages.sh \
  cmake \
  ninja-build \
  g++ \
  qt6-base-dev \
  fonts-liberation \
  dpkg-dev \
  file \
  lintian \
  desktop-file-utils \
  man-db \
  xvfb \
  xauth

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
build="${BUILD_DIR:-$root/build/package}"
work=$(mktemp -d "${TMPDIR:-/tmp}/korimo-package.XXXXXX")
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work/runtime}"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
installed=false
cleanup() {
  if $installed; then
    $sudo apt-get -o DPkg::Lock::Timeout=600 purge -y -qq korimo >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "package-test: $*" >&2
  exit 1
}

echo "== package build in $build"
cmake --preset package -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -rf "$build/package"
(cd "$build" && cpack >/dev/null)
debs=("$build"/package/korimo_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "cpack made no single korimo_*.deb in $build/package"
fi
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
# Each library a program links must be named by the computed dependencies.
depends=$(dpkg-deb -f "$deb" Depends)
for program in app/korimo cli/korimo-cli demo/korimo-demo; do
  while read -r library; do
    case "$library" in
    libQt6Widgets.so.6) package=libqt6widgets6 ;;
    libusb-1.0.so.0) package=libusb-1.0-0 ;;
    libstdc++.so.6) package=libstdc++6 ;;
    *) continue ;;
    esac
    grep -q "\b$package\b" <<<"$depends" || fail "$program links $library, but Depends has no $package"
  done < <(objdump -p "$build/$program" | awk '$1 == "NEEDED" { print $2 }')
done
dpkg-deb -c "$deb"

echo "== lintian"
# Every finding is shown; errors fail the test (the warnings kept are in the README).
lintian --fail-on error --display-info "$deb"

echo "== staged install (DESTDIR)"
stage="$work/stage"
DESTDIR="$stage" cmake --install "$build" >/dev/null
[ -x "$stage/usr/bin/korimo-cli" ] || fail "no korimo-cli in the staged install"
demo_dir=$(dirname "$(readlink -f "$stage/usr/bin/korimo-demo")")
[ "$demo_dir" != "$(readlink -f "$stage/usr/bin")" ] || fail "korimo-demo lies in bin/ itself"
[ "$(find "$demo_dir" -name '*.mov' | wc -l)" -eq 12 ] ||
  fail "the staged korimo-demo has not its twelve movement files beside it ($demo_dir)"
! find "$stage" -name '*.mov' -path '*/bin/*' | grep -q . || fail "movement files in bin/"

echo "== apt install"
if dpkg-query -W -f='${Status}' korimo 2>/dev/null | grep -q "install ok installed"; then
  echo "korimo was installed already: purging it first"
  $sudo apt-get -o DPkg::Lock::Timeout=600 purge -y -qq korimo >/dev/null
fi
installed=true
$sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
  "$deb" 2> >(grep -v -e "couldn't be accessed by user '_apt'" >&2)
dpkg-query -W -f='${Status} ${Version}\n' korimo | grep -q "install ok installed $version" ||
  fail "korimo $version is not installed after apt-get install"
dpkg -L korimo | sort >"$work/files"

echo "== the installed programs"
[ "$(command -v korimo-cli)" = /usr/bin/korimo-cli ] || fail "korimo-cli is not /usr/bin/korimo-cli"
/usr/bin/korimo-cli --sim read | tee "$work/read"
grep -Eq '^Serial number +04660$' "$work/read" || fail "korimo-cli --sim read gave no serial number"
cli_version=$(/usr/bin/korimo-cli --version)
echo "$cli_version"
[ "$cli_version" = "korimo-cli $version" ] || fail "korimo-cli --version says \"$cli_version\", the package is $version"
for page in korimo-cli korimo korimo-demo; do
  path=$(man -w "$page") || fail "man -w $page finds no page"
  echo "man -w $page: $path"
  [ "$path" = "/usr/share/man/man1/$page.1.gz" ] || fail "the page of $page is not the package's"
  man "$page" 2>&1 >/dev/null | grep . && fail "man $page warns"
done

# The completion of "korimo-cli e<TAB>", as bash would ask for it.
offered=$(bash -c 'source /usr/share/bash-completion/completions/korimo-cli
                   COMP_WORDS=(korimo-cli e); COMP_CWORD=1; _korimo_cli
                   printf "%s\n" "${COMPREPLY[@]}"')
echo "korimo-cli e<TAB>: $offered"
[ "$offered" = eeprom ] || fail "the completion of \"korimo-cli e\" offers \"$offered\""

desktop-file-validate /usr/share/applications/korimo.desktop /usr/share/applications/korimo-demo.desktop
for size in 16 32 48 64 128 256; do
  [ -f "/usr/share/icons/hicolor/${size}x${size}/apps/korimo.png" ] || fail "no ${size}px icon"
done
[ -f /usr/lib/udev/rules.d/60-korimo.rules ] || fail "no udev rule"

demo=$(readlink -f /usr/bin/korimo-demo)
[ "$(find "$(dirname "$demo")" -maxdepth 1 -name '*.mov' | wc -l)" -eq 12 ] ||
  fail "the installed korimo-demo ($demo) has not its movement files beside it"
shots="$work/shots"
xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/korimo-demo --script "$shots" \
  >"$work/shots.txt" 2> >(grep -v -e '^QStandardPaths' >&2)
cat "$work/shots.txt"
[ "$(wc -l <"$work/shots.txt")" -ge 10 ] || fail "the demo's scripted session took fewer than 10 screenshots"
while read -r shot; do
  [ -s "$shot" ] || fail "screenshot $shot is missing"
done <"$work/shots.txt"

echo "== apt purge"
$sudo apt-get -o DPkg::Lock::Timeout=600 purge -y -qq korimo >/dev/null
installed=false
left=()
while read -r path; do
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    # A folder of the package's own must be gone; shared ones (/usr/bin) stay.
    case "$path" in
    */korimo | */korimo/*) left+=("$path") ;;
    esac
  elif [ -e "$path" ] || [ -L "$path" ]; then
    left+=("$path")
  fi
done <"$work/files"
((${#left[@]} == 0)) || fail "left behind after the purge: ${left[*]}"
echo "package-test: $(basename "$deb") built, installed, run and purged; $(wc -l <"$work/files") paths removed"
