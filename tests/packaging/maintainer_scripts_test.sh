#!/usr/bin/env bash
# The package's postinst and postrm with a stand-in udevadm that records its
# calls: the rules are reloaded and the engraver's event replayed after an
# install and a removal; nothing is done on other actions; and where udev does
# not run (udevadm missing, or its daemon unreachable as in a container) the
# scripts still succeed, so the package installs there.
#
#   maintainer_scripts_test.sh PACKAGING_DEBIAN_FOLDER
set -uo pipefail
scripts=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A udevadm whose "control" succeeds or fails as $UDEVD_RUNS says.
mkdir -p "$work/bin"
cat >"$work/bin/udevadm" <<'STANDIN'
#!/bin/sh
echo "udevadm $*" >>"$CALLS"
[ "$1" != control ] || [ "$UDEVD_RUNS" = yes ]
STANDIN
chmod +x "$work/bin/udevadm"
export CALLS="$work/calls"
# The scripts need nothing else from PATH; "empty" stands for a system without
# udevadm, and the machine's own udevadm is never reached.
ln -s "$(command -v sh)" "$work/bin/sh"
mkdir -p "$work/empty"

run() { # run FOLDER_ON_PATH UDEVD_RUNS SCRIPT ACTION -> calls
  rm -f "$CALLS"
  touch "$CALLS"
  PATH="$1" UDEVD_RUNS="$2" "$work/bin/sh" "$scripts/$3" "$4" ||
    fail "$3 $4 (udevd runs: $2) ended with status $?"
  cat "$CALLS"
}

wanted="udevadm control --reload
udevadm trigger --action=change --subsystem-match=usb --attr-match=idVendor=7e21 --attr-match=idProduct=0065"
for case in "postinst configure" "postrm remove"; do
  read -r script action <<<"$case"
  [ "$(run "$work/bin" yes "$script" "$action")" = "$wanted" ] || fail "$case does not reload and trigger"
  [ "$(run "$work/bin" no "$script" "$action")" = "udevadm control --reload" ] ||
    fail "$case triggers although udevd does not run"
  [ -z "$(run "$work/empty" yes "$script" "$action")" ] || fail "$case without udevadm"
done
for case in "postinst abort-upgrade" "postrm purge" "postrm upgrade"; do
  read -r script action <<<"$case"
  [ -z "$(run "$work/bin" yes "$script" "$action")" ] || fail "$case calls udevadm"
done

if ((failures)); then
  exit 1
fi
echo "maintainer scripts: all cases pass"
