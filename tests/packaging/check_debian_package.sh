#!/bin/sh
# Builds the Debian package with cpack and takes it apart: its name, its control fields,
# that it installs only under /usr, and that the programs it holds print its version and
# find their help pages and icons where the package puts them.
#   check_debian_package.sh BUILD-FOLDER VERSION WORK-FOLDER
set -u
build=$1 version=$2 work=$3
fail() { echo "FAIL: $*"; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps file; do
    command -v $tool >/dev/null || fail "$tool is missing (sh scripts/install-deps.sh installs it)"
done

rm -rf "$work"
mkdir -p "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
deb="$work/cardhold_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$work")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = cardhold ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
for name in Maintainer Homepage Section Description; do
    [ -n "$(field $name)" ] || fail "no $name field"
done
depends=$(field Depends)
# From dpkg-shlibdeps: Qt's widgets and libzip; named by the package: the faces, Qt's X11
# plugin and xdg-open.
for needed in libqt6widgets6 libzip4 fonts-liberation2 fonts-comic-neue qt6-qpa-plugins xdg-utils; do
    echo "$depends" | grep -q "\(^\|, \)$needed\( \|,\|\$\)" || fail "Depends lacks $needed: $depends"
done

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | sort >"$work/files"
outside=$(grep -v '^/usr\(/\|$\)' "$work/files" | grep -v '^/$')
[ -z "$outside" ] || fail "files outside /usr: $outside"
metainfo=$(grep '^/usr/share/metainfo/.*\.metainfo\.xml$' "$work/files")
[ "$(echo "$metainfo" | wc -l)" -eq 1 ] || fail "not one metainfo file: $metainfo"
for file in /usr/bin/cardhold /usr/bin/cardhold-db /usr/share/applications/cardhold.desktop \
            /usr/share/man/man1/cardhold.1.gz /usr/share/man/man1/cardhold-db.1.gz \
            /usr/share/doc/cardhold/copyright /usr/share/doc/cardhold/changelog.gz \
            /usr/share/cardhold/help/index.html /usr/share/icons/hicolor/scalable/apps/cardhold.svg; do
    grep -qx "$file" "$work/files" || fail "the package lacks $file"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$root$metainfo")
[ "$metainfo" = "/usr/share/metainfo/$id.metainfo.xml" ] || fail "$metainfo holds the id $id"
release=$(sed -n 's|.*<release version="\([^"]*\)".*|\1|p' "$root$metainfo" | head -n 1)
[ "$release" = "$version" ] || fail "the metadata's newest release is $release"
changelog=$(gzip -dc "$root/usr/share/doc/cardhold/changelog.gz" | head -n 1)
[ "$changelog" = "cardhold ($version) unstable; urgency=medium" ] || fail "changelog begins: $changelog"

# --version and --help need no display.
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
[ "$("$root/usr/bin/cardhold" --version 2>&1)" = "cardhold $version" ] ||
    fail "cardhold --version: $("$root/usr/bin/cardhold" --version 2>&1)"
[ "$("$root/usr/bin/cardhold-db" --version 2>&1)" = "cardhold-db $version" ] ||
    fail "cardhold-db --version: $("$root/usr/bin/cardhold-db" --version 2>&1)"
help=$("$root/usr/bin/cardhold" --help 2>&1) || fail "cardhold --help: $help"
echo "$help" | grep -qx "Help pages: $root/usr/share/cardhold/help/index.html" ||
    fail "cardhold --help does not find the packaged help pages: $help"

# Each hicolor icon has the size of its folder.
icons=0
for icon in "$root"/usr/share/icons/hicolor/*x*/apps/cardhold.png; do
    size=$(basename "$(dirname "$(dirname "$icon")")")
    actual=$(od -An -tu1 -j16 -N8 "$icon" | awk '{ print $3*256 + $4 "x" $7*256 + $8 }')
    [ "$actual" = "$size" ] || fail "$icon is $actual"
    icons=$((icons + 1))
done
[ "$icons" -ge 8 ] || fail "only $icons icon sizes"
echo "ok: $(basename "$deb"), $icons icon sizes; Depends: $depends"
