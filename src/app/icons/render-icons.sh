#!/bin/sh
# Renders the program's icon from its SVG source: the window's picture and the 48-pixel
# desktop icon. Run it after changing cardhold.svg and commit the PNGs with it. Needs
# rsvg-convert (librsvg2-bin).
set -eu
cd "$(dirname "$0")"
rsvg-convert -w 64 -h 64 cardhold.svg -o cardhold.png
rsvg-convert -w 48 -h 48 cardhold.svg -o cardhold-48.png
