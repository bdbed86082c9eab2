#!/usr/bin/env bash
# Renders the tool's icon from its source, packaging/icons/korimo.svg, into the
# PNG sizes the desktop and the windows' title bars use (korimo-16.png ...
# korimo-256.png) and the Windows icon korimo.ico (all six sizes in one file).
# The results are kept in the repository beside the source, so a build needs no
# SVG renderer (a native Windows build included); run this after changing the
# SVG and commit what it writes. Needs ImageMagick (Debian: imagemagick).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
icons="$root/packaging/icons"
"$root/scripts/ensure-packages.sh" imagemagick
convert=/usr/bin/convert
pngs=()
for size in 16 32 48 64 128 256; do
  # Rendered at four times the size and scaled down: smooth edges at every size.
  density=$((96 * size * 4 / 256))
  out="$icons/korimo-$size.png"
  "$convert" -background none -density "$density" "$icons/korimo.svg" \
    -resize "${size}x${size}" -depth 8 -strip "PNG32:$out"
  pngs+=("$out")
  echo "$out"
done
"$convert" "${pngs[@]}" "$icons/korimo.ico"
echo "$icons/korimo.ico"
