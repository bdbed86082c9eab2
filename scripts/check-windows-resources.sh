#!/usr/bin/env bash
# Checks that Windows executables carry the tool's icon (the icon group
# IDI_ICON1 with its six sizes) and a VERSIONINFO with the given version, as
# korimo_windows_icon() (cmake/windows-icon.cmake) embeds them. Reads the
# resources back with mingw-w64's windres.
#
#   scripts/check-windows-resources.sh VERSION EXE...
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 VERSION EXE..." >&2
  exit 2
fi
version=$1
shift
IFS=. read -r major minor patch tweak <<<"$version"
numbers="${major:-0}, ${minor:-0}, ${patch:-0}, ${tweak:-0}"
windres=x86_64-w64-mingw32-windres
status=0
for exe in "$@"; do
  resources=$("$windres" -i "$exe" -O rc 2>/dev/null) || {
    echo "$exe: windres cannot read its resources" >&2
    status=1
    continue
  }
  problems=()
  grep -q '^"IDI_ICON1" 14 ' <<<"$resources" || problems+=("no icon group IDI_ICON1")
  icons=$(grep -c ' 3 /\* RT_ICON \*/' <<<"$resources" || true)
  [ "$icons" -eq 6 ] || problems+=("$icons icon images instead of 6")
  grep -q "^ FILEVERSION $numbers\$" <<<"$resources" || problems+=("no FILEVERSION $numbers")
  grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$resources" ||
    problems+=("no ProductVersion \"$version\"")
  grep -q "VALUE \"OriginalFilename\", \"$(basename "$exe")\"" <<<"$resources" ||
    problems+=("no OriginalFilename \"$(basename "$exe")\"")
  if ((${#problems[@]})); then
    for problem in "${problems[@]}"; do
      echo "$exe: $problem" >&2
    done
    status=1
  else
    echo "$exe: icon (6 sizes) and version $version"
  fi
done
exit $status
