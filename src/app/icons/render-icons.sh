#!/bin/sh
# Renders the program's icon from its SVG source: the window's picture (64 pixels, also the
# desktop's 64-pixel icon) and the desktop icons at the hicolor theme's other usual sizes.
# Run it after changing cardhold.svg and commit the PNGs with it. Needs rsvg-convert
# (librsvg2-bin).
set -eu
cd "$(dirname "$0")"
rsvg-convert -w 64 -h 64 cardhold.svg -o cardhold.png
for size in 16 22 24 32 48 128 256; do
    rsvg-convert -w $size -h $size cardhold.svg -o cardhold-$size.png
done
