#!/bin/sh
# Runs a test program as nobody under a wrapper (umockdev's preload for the USB
# tests, env for the others), for the cases about access rights (root opens any
# device node and any file). The program is copied to a folder nobody can
# reach, since the build tree may lie below a private home.
# Exit 77 (skipped) when not started as root.
#
#   run-as-nobody.sh SETPRIV WRAPPER PROGRAM [ARGS...]
set -eu
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: cannot switch to nobody"
  exit 77
fi
setpriv=$1 wrapper=$2 program=$3
shift 3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$program" "$dir/"
chmod 755 "$dir"
cd "$dir"
env -u XDG_RUNTIME_DIR HOME="$dir" \
  "$setpriv" --reuid=65534 --regid=65534 --clear-groups "$wrapper" "$dir/$(basename "$program")" "$@"
