#!/usr/bin/env bash
# Renders the PNGs the program embeds from the SVG sources beside this script (needs librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
rsvg-convert -w 278 -h 49 banner.svg -o banner.png
rsvg-convert -w 556 -h 98 banner.svg -o banner@2x.png
rsvg-convert -w 300 -h 300 about.svg -o about.png
rsvg-convert -w 600 -h 600 about.svg -o about@2x.png
rsvg-convert -w 16 -h 16 copy.svg -o copy.png
rsvg-convert -w 32 -h 32 copy.svg -o copy@2x.png
for size in 16 24 32 48 96; do
    rsvg-convert -w $size -h $size icon.svg -o icon-$size.png
done
