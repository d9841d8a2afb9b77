#!/bin/sh
# Renders the forms' pictures from their SVG sources into the PNGs of form_icons.qrc:
# normal and disabled look, at 1x and 2x. Run it after changing an SVG here and commit the
# PNGs with it. Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
set -eu
cd "$(dirname "$0")"
for svg in *.svg; do
    name=${svg%.svg}
    for scale in 1 2; do
        size=$((20 * scale))
        suffix=""
        [ "$scale" -eq 2 ] && suffix="@2x"
        rsvg-convert -w "$size" -h "$size" "$svg" -o "$name$suffix.png"
        # Disabled: grey, lighter, a little faded.
        convert "$name$suffix.png" -colorspace Gray -fill white -colorize 45% \
            -channel A -evaluate multiply 0.75 +channel -strip "$name-disabled$suffix.png"
    done
done
