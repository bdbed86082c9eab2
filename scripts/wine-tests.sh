#!/usr/bin/env bash
# Cross-builds the Windows programs (the `mingw` preset, with Qt for Windows
# from scripts/qt-windows.sh) and runs the Windows tests under Wine, headless,
# in a fresh Wine prefix that is removed afterwards:
#   - the Win32 back ends on the real calls, the engraver end to end against a
#     named-pipe board (korimo-cli.exe included), and korimo-cli's own tests;
#   - the window suites and the main window end to end on the real Win32 calls
#     (korimo_window_tests.exe, offscreen);
#   - what a person sees (korimo_desktop_tests.exe): the four windows and their
#     prompts on Qt's windows platform under Xvfb, read back with
#     GetWindowText, GetClientRect and ClientToScreen against the twips
#     designs, at 96 and at 144 DPI; their screenshots are kept in the build
#     folder (--update-docs copies them to docs/);
#   - korimo.exe started as a program under Xvfb with the windows platform,
#     against the pipe board (korimo_board_host.exe): it must show its window,
#     find the engraver and read it; the screenshot is kept in the build folder
#     (--update-docs copies it to docs/main-window-windows.png), and the idle
#     CPU of the open window is printed, with korimo-demo.exe's start-up,
#     Read, Set and idle figures.
# With --all, every other test program of the project runs under Wine as well.
#
# Usage: scripts/wine-tests.sh [--all] [--update-docs] [BUILD_DIR]   (default: build/mingw)
# It also writes the Windows bundle (build/mingw/korimo-VERSION-windows-x64.zip)
# and the Windows Installer package (.msi), which scripts/msi-tests.sh installs,
# upgrades and removes under Wine.
# Installs the apt packages it needs (as root, or through sudo).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
"$source_dir/scripts/ensure-packages.sh" cmake ninja-build g++-mingw-w64-x86-64 wine64 \
  fonts-liberation xvfb x11-utils imagemagick unzip wixl msitools
all=false
update_docs=false
while (($#)); do
  case $1 in
    --all) all=true; shift ;;
    --update-docs) update_docs=true; shift ;;
    *) break ;;
  esac
done
build_dir=${1:-$source_dir/build/mingw}
jobs=${JOBS:-$(nproc)}

phase_start=$(date +%s)
phase() {
  local now
  now=$(date +%s)
  echo "   ($((now - phase_start)) s)"
  phase_start=$now
  echo "== $*"
}

echo "== Qt for Windows"
qt_dir=$("$source_dir/scripts/qt-windows.sh" | tail -n 1)

export WINEDEBUG=-all
# No Mono or Gecko installers: nothing here needs them.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/korimo-wine.XXXXXX")
unset DISPLAY WAYLAND_DISPLAY
xvfb_pid=""
host_pid=""
cleanup() {
  exec 7>&- 2>/dev/null || true
  [ -z "$host_pid" ] || kill "$host_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

# Before the build: the build runs a Windows program (the demo's movement files).
# The prefix's desktop process belongs to the display it started with: Xvfb
# comes first, although only korimo.exe and korimo-demo.exe show windows on it.
phase "fresh Wine prefix, Xvfb"
display_number=$((90 + RANDOM % 100))
while [ -e "/tmp/.X$display_number-lock" ]; do
  display_number=$((display_number + 1))
done
Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display_number
for _ in $(seq 100); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done
wineboot -i >/dev/null 2>&1
wineserver -w
# One server for all the runs below, instead of a start and stop for each.
wineserver -p
# Wine's advice about 32-bit support, which nothing here needs.
wine_filter() {
  grep -v -e 'wine32 is missing' -e 'dpkg --add-architecture' \
          -e 'apt-get install wine32' -e 'multiarch needs' >&2
}
wine_quiet() { "$@" 2> >(wine_filter); }
# Under Xvfb there is no window manager to wait for; the windows' design fonts
# are the metric-compatible Liberation faces here.
wine_quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
wine_quiet wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial \
  /d 'Liberation Sans' /f >/dev/null
wine_quiet wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' \
  /d 'Liberation Mono' /f >/dev/null

phase "mingw cross build in $build_dir"
(cd "$source_dir" && cmake --preset mingw -B "$build_dir" -DKORIMO_QT_WINDOWS_DIR="$qt_dir" >/dev/null)
if $all; then
  cmake --build "$build_dir" -j "$jobs"
else
  cmake --build "$build_dir" -j "$jobs" --target korimo-cli win32_backend_tests \
    win32_engraver_tests cli_tests motion_tests korimo korimo-demo \
    korimo_window_tests korimo_board_host korimo_desktop_tests
fi

phase "icon and version resources of the programs"
version=$(sed -n 's/.*kVersion\[\] = "\(.*\)";/\1/p' "$build_dir/generated/korimo/version.h")
"$source_dir/scripts/check-windows-resources.sh" "$version" "$build_dir/bin/korimo-cli.exe" \
  "$build_dir/app/korimo.exe" "$build_dir/demo/korimo-demo.exe"

status=0
run() {
  echo "-- ${1#"$build_dir"/}"
  # A hung pipe or process ends its run, not the whole test.
  timeout 300 wine "$@" 2> >(wine_filter) || status=1
}
phase "Win32 back ends and korimo-cli"
run "$build_dir/bin/win32_backend_tests.exe" --gtest_brief=1
run "$build_dir/bin/win32_engraver_tests.exe" --gtest_brief=1
for program in "$build_dir"/tests/*/*_tests.exe; do
  if $all || [ "$(basename "$program")" = cli_tests.exe ] ||
     [ "$(basename "$program")" = motion_tests.exe ]; then
    run "$program" --gtest_brief=1
  fi
done

phase "korimo-cli.exe against a throwaway PostgreSQL through odbc32"
# Wine passes odbc32's calls on to the host's unixODBC and its PostgreSQL driver.
pg_connection=$(mktemp -u "${TMPDIR:-/tmp}/korimo-pg.XXXXXX")
if ! "$source_dir/scripts/pg-cluster.sh" start "$pg_connection" || [ ! -s "$pg_connection" ]; then
  echo "SKIPPED: PostgreSQL is not installed here, so the database ledger is not tried under Wine"
else
  ledger=$(cat "$pg_connection")
  cli=$build_dir/bin/korimo-cli.exe
  # A real claim: the simulated board is Set and stays plugged in, so Ctrl+C ends the run.
  claim=$(timeout -s INT -k 10 60 wine "$cli" --sim provision --model KX2 --serials 500-501 \
    --ledger "$ledger" --station wine 2> >(wine_filter)) || true
  if [[ $claim != *"Stored serial number 00500 "* ]]; then
    echo "FAIL: the claim under Wine stored no board: $claim"
    status=1
  fi
  # The one number of 500-500 is stored by now: nothing is written.
  set +e
  used_up=$(timeout 60 wine "$cli" --sim provision --model KX2 --serials 500-500 \
    --ledger "$ledger" --station wine 2>&1 >/dev/null)
  code=$?
  set -e
  if [ "$code" != 2 ] || [[ $used_up != *"are used up: the database shows 00500 as stored"* ]]; then
    echo "FAIL: a used-up range under Wine gave $code: $used_up"
    status=1
  fi
fi
"$source_dir/scripts/pg-cluster.sh" stop "$pg_connection"

# Offscreen text needs a font folder (Wine passes WINEQT_* on as QT_*).
export WINEQT_QPA_FONTDIR='Z:\usr\share\fonts\truetype\liberation'
phase "the windows, offscreen"
run "$build_dir/bin/korimo_window_tests.exe" --gtest_brief=1
unset WINEQT_QPA_FONTDIR

phase "what a person sees: the windows on the windows platform under Xvfb"
desktop_shots=$build_dir/screenshots/desktop
rm -rf "$desktop_shots"
mkdir -p "$desktop_shots"
KORIMO_DESKTOP_SHOTS=$(winepath -w "$desktop_shots" 2>/dev/null)
export KORIMO_DESKTOP_SHOTS
# Wine's own font engine leaves the text of line edits unpainted; FreeType paints it.
run "$build_dir/bin/korimo_desktop_tests.exe" -platform windows:fontengine=freetype --gtest_brief=1
# A display set to 150 %: the system DPI comes from LogPixels when a program starts.
wine_quiet wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
run "$build_dir/bin/korimo_desktop_tests.exe" -platform windows:fontengine=freetype --gtest_brief=1
wine_quiet wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null
unset KORIMO_DESKTOP_SHOTS
ls "$desktop_shots" | sed 's/^/   screenshot: /'
if $update_docs; then
  for shot in main-window memory-editor jog-window io-window; do
    [ ! -f "$desktop_shots/$shot@1.png" ] || cp "$desktop_shots/$shot@1.png" "$source_dir/docs/$shot-wine.png"
  done
  [ ! -f "$desktop_shots/main-window@1.5.png" ] ||
    cp "$desktop_shots/main-window@1.5.png" "$source_dir/docs/main-window-wine-150.png"
fi

phase "korimo.exe under Xvfb on the pipe board"
shots=$build_dir/screenshots
mkdir -p "$shots"
# The board host takes its commands on a pipe; its replies go to a file.
fifo=$WINEPREFIX/board-host.in
mkfifo "$fifo"
wine "$build_dir/bin/korimo_board_host.exe" <"$fifo" >"$shots/board-host.log" 2> >(wine_filter) &
host_pid=$!
exec 7>"$fifo"
host_log=$shots/board-host.log
host_command() {  # host_command WORD: sends it and waits for the host's reply line
  local lines
  lines=$(wc -l <"$host_log")
  echo "$1" >&7
  # Generous: on a machine whose cores are busy with other work Wine answers slowly.
  wait_for 120 host_replied "$lines"
}
host_replied() {  # counts the host's lines at each poll, not once when the wait starts
  test "$(wc -l <"$host_log")" -gt "$1"
}
host_status_reads() {
  host_command counts && awk '$1 == "counts" {n = $3} END {print n + 0}' "$host_log"
}
host_read_since() {  # a Read is eight status reads
  test "$(host_status_reads)" -ge $(($1 + 8))
}
wait_for() {  # wait_for SECONDS COMMAND...: polls COMMAND every 50 ms
  local limit=$(($1 * 20))
  shift
  for _ in $(seq "$limit"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  return 1
}
screenshot_ok=false
read_done=false
if wait_for 60 grep -q '^ready' "$shots/board-host.log"; then
  started=$(date +%s%N)
  # Wine's own font engine leaves the text of line edits unpainted; FreeType paints it.
  wine "$build_dir/app/korimo.exe" -platform windows:fontengine=freetype \
    >"$shots/korimo.log" 2>&1 &
  korimo_pid=$!
  if wait_for 60 xwininfo -name "Korimo Configuration"; then
    echo "   window mapped $((($(date +%s%N) - started) / 1000000)) ms after the start"
    # The engraver arrives: the next supervision tick (a quarter second) finds
    # it and reads it, eight status reads through the pipe. Should the arrival
    # come before korimo's first tick, it counts as present at the start, where
    # nothing is read: then it leaves and arrives again.
    read_done=false
    for attempt in 1 2 3; do
      sleep 1
      if ! reads_before=$(host_status_reads) || ! host_command arrive; then
        echo "korimo_board_host.exe stopped answering" >&2
        break
      fi
      if wait_for 60 host_read_since "$reads_before"; then
        read_done=true
        break
      fi
      host_command leave || break
    done
    $read_done || echo "korimo.exe did not read the engraver after its arrival" >&2
    sleep 0.5  # the fields it filled are painted
    import -window root "$shots/full.png"
    convert "$shots/full.png" -trim +repage "$shots/main-window-windows.png"
    echo "   screenshot: $shots/main-window-windows.png" \
         "($(identify -format '%wx%h' "$shots/main-window-windows.png"))"
    # Idle CPU of the open window, from /proc: korimo.exe and the Wine server
    # (registry calls of the supervision ticks).
    server_pid=""
    for pid in $(pgrep -x wineserver || true); do
      if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
        server_pid=$pid
      fi
    done
    cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
    app_before=$(cpu_ticks "$korimo_pid")
    server_before=$(cpu_ticks "${server_pid:-self}")
    sleep 5
    hz=$(getconf CLK_TCK)
    echo "   idle over 5 s: $(cat "/proc/$korimo_pid/comm" 2>/dev/null) $(((($(cpu_ticks "$korimo_pid") - app_before) * 1000) / (hz * 5)))" \
         "per mille of one core, wineserver" \
         "$(((($(cpu_ticks "${server_pid:-self}") - server_before) * 1000) / (hz * 5))) per mille"
    screenshot_ok=true
  else
    echo "korimo.exe showed no window \"Korimo Configuration\"; its output:" >&2
    cat "$shots/korimo.log" >&2
  fi
  kill "$korimo_pid" 2>/dev/null || true
else
  echo "korimo_board_host.exe did not start" >&2
fi
echo quit >&7
exec 7>&-
wait "$host_pid" || true
host_pid=""
grep -v '^counts' "$shots/board-host.log" | sed 's/^/   board host: /'

if ! $screenshot_ok || ! $read_done; then
  status=1
fi
if $screenshot_ok && $update_docs; then
  cp "$shots/main-window-windows.png" "$source_dir/docs/main-window-windows.png"
  echo "   copied to docs/main-window-windows.png"
fi

phase "korimo-demo.exe figures (windows platform, simulated engraver)"
(cd "$build_dir/demo" &&
  timeout 120 wine ./korimo-demo.exe -platform windows:fontengine=freetype --measure 5 \
    2> >(wine_filter)) ||
  status=1
phase "Windows bundle (CPack)"
(cd "$build_dir" && cpack -G ZIP >/dev/null) || status=1
bundle=$build_dir/korimo-$(sed -n 's/^project(korimo VERSION \([0-9.]*\).*/\1/p' \
  "$source_dir/CMakeLists.txt")-windows-x64.zip
listing=$(unzip -Z1 "$bundle")
for member in korimo.exe korimo-cli.exe demo/korimo-demo.exe demo/JOGPOSX.mov README.txt \
              LICENSES/LGPL-3 relink/CMakeLists.txt; do
  grep -q "/$member\$" <<<"$listing" || {
    echo "the bundle $bundle lacks $member" >&2
    status=1
  }
done
echo "   $bundle ($(du -h "$bundle" | cut -f1))"
ls -l "$build_dir/app/korimo.exe" "$build_dir/demo/korimo-demo.exe" "$build_dir/bin/korimo-cli.exe" |
  awk '{printf "   %s %.1f MB as built\n", $NF, $5 / 1e6}'
# In a Wine prefix and on a display of its own.
phase "Windows Installer package: built, installed, upgraded and removed"
"$source_dir/scripts/msi-tests.sh" "$build_dir" || status=1
phase "done"
exit $status
