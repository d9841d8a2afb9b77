#!/bin/sh
# The desktop entry passes desktop-file-validate without a word; the AppStream metadata
# passes appstreamcli without an error or warning, and every screenshot it names is a file
# in docs/screenshots of the size it states.
#   check_desktop_metadata.sh DESKTOP-ENTRY METAINFO SCREENSHOT-FOLDER
set -u
entry=$1 metainfo=$2 screenshots=$3
fail() { echo "FAIL: $*"; exit 1; }
for tool in desktop-file-validate appstreamcli; do
    command -v $tool >/dev/null || fail "$tool is missing (sh scripts/install-deps.sh installs it)"
done

said=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $said"
[ -z "$said" ] || fail "desktop-file-validate has remarks: $said"

# Infos pass: the placeholder domain .example is not one appstreamcli knows.
said=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli: $said"
echo "$said" | grep -q '^[EW]:' && fail "appstreamcli has errors or warnings: $said"
echo "$said"

# The width and height of a PNG, from its header.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216 + $2*65536 + $3*256 + $4 "x" $5*16777216 + $6*65536 + $7*256 + $8 }'
}

count=0
for image in $(sed -n 's|.*<image[^>]*width="\([0-9]*\)" height="\([0-9]*\)"[^>]*>\([^<]*\)</image>.*|\1x\2,\3|p' "$metainfo"); do
    size=${image%%,*}
    file="$screenshots/$(basename "${image#*,}")"
    [ -f "$file" ] || fail "the screenshot ${image#*,} is not in $screenshots"
    [ "$(png_size "$file")" = "$size" ] || fail "$file is $(png_size "$file"), the metadata says $size"
    count=$((count + 1))
done
[ "$count" -gt 0 ] || fail "no screenshot with its size in $metainfo"
[ "$count" -eq "$(grep -c '<image' "$metainfo")" ] || fail "a screenshot in $metainfo has no size"
echo "ok: desktop entry, metadata and $count screenshots"
