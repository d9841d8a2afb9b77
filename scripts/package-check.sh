#!/bin/sh
# Builds the Debian package and tries it as a user of a freshly installed Debian 12 would.
#
#   sudo sh scripts/package-check.sh [ROOT]
#
# 1. Builds the programs in build-package/ with Debian's hardening flags (dpkg-buildflags,
#    hardening=+all), without tests or benchmarks, and makes
#    build-package/cardhold_<version>_<arch>.deb.
# 2. Checks the package with lintian (errors fail; every tag is printed, explained in
#    build-package/lintian.txt), its desktop entry with desktop-file-validate and its
#    AppStream metadata with appstreamcli (errors fail).
# 3. Makes ROOT (build-package/fresh-root unless named) a fresh minimal Debian 12: a copy of
#    $CARDHOLD_FRESH_ROOT (/work/roots/bookworm-min unless set) when that folder exists,
#    otherwise `debootstrap --variant=minbase bookworm` from $CARDHOLD_DEBIAN_MIRROR.
# 4. In it: apt-get install ./cardhold_*.deb on a root with no build tools; then, as the
#    user ann, cardhold --version, cardhold-db --version, cardhold --help (the help pages it
#    names must be there) and the icons the desktop entry names. xvfb, xauth and xdotool
#    are then installed for the check alone (the package needs none of them), the program
#    is started on a sample address book under xvfb-run, its window must appear with its
#    title, and the screen is saved as build-package/fresh-root.png.
# 5. apt-get remove cardhold: no path the package listed (dpkg -L) may be left but the
#    folders other packages share; no new file may name cardhold but ann's address book
#    and settings; dpkg must have forgotten the package (nothing left for --purge).
#
# With CARDHOLD_NO_RECOMMENDS=1 the package is installed with --no-install-recommends, to
# show that its Depends alone are enough.
#
# Runs as root (chroot and mount). Needs: sh scripts/install-deps.sh packaging.
set -eu

source=$(cd "$(dirname "$0")/.." && pwd)
work="$source/build-package"
root=${1:-$work/fresh-root}
template=${CARDHOLD_FRESH_ROOT:-/work/roots/bookworm-min}
mirror=${CARDHOLD_DEBIAN_MIRROR:-http://deb.debian.org/debian}
screenshot="$work/fresh-root.png"

say() { printf '\n== %s\n' "$*"; }
fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "run as root: chroot and mount need it"
for tool in cmake ninja dpkg-buildflags cpack lintian desktop-file-validate appstreamcli convert; do
    command -v $tool >/dev/null || fail "$tool is missing (sh scripts/install-deps.sh packaging)"
done

mounted() { grep -q " $(realpath -m "$root")/" /proc/mounts; }
unmount_root() {
    for point in dev/pts dev sys proc; do
        if mountpoint -q "$root/$point" 2>/dev/null; then umount "$root/$point"; fi
    done
}
trap unmount_root EXIT INT TERM
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"; }
as_ann() { in_root runuser -u ann -- /usr/bin/env HOME=/home/ann USER=ann "$@"; }

say "Building the package with Debian's hardening flags"
build="$work/build"
cd "$source"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Given as cache entries, not in CXXFLAGS and LDFLAGS, which only a first configure reads.
cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
      -DCARDHOLD_BUILD_TESTS=OFF -DCARDHOLD_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --parallel "${CARDHOLD_JOBS:-2}"
rm -f "$work"/cardhold_*.deb
(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
rm -rf "$work/_CPack_Packages"
deb=$(ls "$work"/cardhold_*.deb)
version=$(dpkg-deb -f "$deb" Version)
basename "$deb"

say "lintian $(basename "$deb")"
lintian --info --display-info "$deb" >"$work/lintian.txt" 2>&1 ||
    fail "lintian reports errors: $(grep '^E:' "$work/lintian.txt")"
grep -E '^[A-Z]: ' "$work/lintian.txt" || echo "(no tags)"

say "desktop-file-validate and appstreamcli on the packaged files"
unpacked="$work/unpacked"
rm -rf "$unpacked"
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/cardhold.desktop" ||
    fail "desktop-file-validate finds errors"
echo "desktop-file-validate: no remarks"
# --no-net: the addresses in it are checked where they are published, not here.
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli finds errors"
rm -rf "$unpacked"

say "A fresh Debian 12 in $root"
if [ -e "$root" ]; then
    mounted && fail "something is still mounted in $root"
    rm -rf "$root"
fi
mkdir -p "$(dirname "$root")"
if [ -d "$template" ]; then
    cp -a "$template" "$root"
    echo "copied from $template"
else
    command -v debootstrap >/dev/null || fail "debootstrap is missing (sh scripts/install-deps.sh packaging)"
    debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
for point in proc sys dev dev/pts; do mount --bind "/$point" "$root/$point"; done
for tool in cc c++ gcc cmake make ninja; do
    in_root sh -c "! command -v $tool >/dev/null" || fail "the fresh root has $tool"
done
in_root sh -c 'find / -xdev -path /proc -prune -o -print | sort' >"$work/files-before"
echo "font files before the install: $(grep -c -E '[.](ttf|otf|pfb)$' "$work/files-before")"

say "apt-get install ${CARDHOLD_NO_RECOMMENDS:+--no-install-recommends }./$(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root sh -c "cd /tmp && apt-get install -y -q ${CARDHOLD_NO_RECOMMENDS:+--no-install-recommends} ./$(basename "$deb")" \
    >"$work/install.log" 2>&1 ||
    fail "apt-get install: $(tail -n 20 "$work/install.log")"
grep -E '(newly installed|^Setting up cardhold)' "$work/install.log" || true
# shellcheck disable=SC2016  # ${Package} is dpkg-query's, not the shell's
echo "fonts now: $(in_root dpkg-query -W -f '${Package} ' 'fonts-*' 2>/dev/null)"
in_root useradd -m ann

say "Versions, help pages and icons"
[ "$(as_ann cardhold --version)" = "cardhold $version" ] || fail "cardhold --version: $(as_ann cardhold --version)"
[ "$(as_ann cardhold-db --version)" = "cardhold-db $version" ] || fail "cardhold-db --version"
as_ann cardhold --version
as_ann cardhold-db --version
help=$(as_ann cardhold --help | sed -n 's/^Help pages: //p')
[ -f "$root$help" ] || fail "cardhold --help names $help, which is not there"
echo "help pages: $help"
icon=$(sed -n 's/^Icon=//p' "$root/usr/share/applications/cardhold.desktop")
for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256; do
    [ -f "$root/usr/share/icons/hicolor/$size/apps/$icon.png" ] || fail "no $size icon named $icon"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"
echo "icons: $icon in 8 sizes and scalable"
for page in cardhold cardhold-db; do
    [ -f "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page $page(1)"
done
echo "manual pages: cardhold(1), cardhold-db(1)"

say "The program under xvfb-run, as ann"
in_root apt-get install -y -q --no-install-recommends xvfb xauth xdotool >"$work/xvfb.log" 2>&1 ||
    fail "apt-get install xvfb xauth xdotool: $(tail -n 20 "$work/xvfb.log")"
as_ann cardhold-db generate 25 /home/ann/Cardhold
# As the desktop entry starts it: `cardhold Cardhold` in the home folder. Xvfb keeps its
# screen in a file (-fbdir), copied once the window is there and drawn.
cat >"$root/tmp/run-cardhold.sh" <<'EOF'
set -u
cd ~
export XDG_RUNTIME_DIR=$(mktemp -d)   # as a login session would give it
cardhold Cardhold & program=$!
window=
for second in $(seq 60); do
    window=$(xdotool search --onlyvisible --name '^Marigold' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    kill -0 $program 2>/dev/null || break
    sleep 1
done
[ -n "$window" ] || { echo "no window appeared"; kill $program 2>/dev/null; exit 1; }
sleep 3
echo "window: $(xdotool getwindowname "$window")"
cp /tmp/screen/Xvfb_screen0 /tmp/screen/shot.xwd
kill $program
wait $program 2>/dev/null
exit 0
EOF
as_ann sh -c 'mkdir -p /tmp/screen &&
    xvfb-run -a -s "-screen 0 640x480x24 -fbdir /tmp/screen" sh /tmp/run-cardhold.sh' >"$work/run.log" 2>&1 ||
    fail "xvfb-run: $(cat "$work/run.log")"
title=$(sed -n 's/^window: //p' "$work/run.log")
[ "$title" = "Marigold 4.5 - Cardhold" ] || fail "the window is called '$title'"
echo "window: $title"
convert "xwd:$root/tmp/screen/shot.xwd" "$screenshot"
colours=$(convert "$screenshot" -format %k info:)
[ "$colours" -gt 16 ] || fail "the screen holds only $colours colours: $screenshot"
echo "screenshot: $screenshot ($colours colours)"
said=$(grep -v '^window: ' "$work/run.log" || true)
[ -z "$said" ] || { echo "the program said:"; echo "$said"; }

say "apt-get remove cardhold"
in_root dpkg -L cardhold | sort >"$work/package-files"
in_root apt-get remove -y -q cardhold >"$work/remove.log" 2>&1 || fail "apt-get remove: $(cat "$work/remove.log")"
grep '^Removing cardhold' "$work/remove.log"
# With no configuration files, removing is purging: dpkg keeps no record of the package.
if in_root dpkg -s cardhold >/dev/null 2>&1; then fail "dpkg still knows cardhold: $(in_root dpkg -s cardhold)"; fi
in_root dpkg --purge cardhold 2>&1 | grep -i cardhold || true
in_root sh -c 'find / -xdev -path /proc -prune -o -print | sort' >"$work/files-after"
# Debian 12 merged /bin, /sbin and /lib into /usr: a file listed as /bin/x is /usr/bin/x too.
in_root sh -c 'cat /var/lib/dpkg/info/*.list' |
    sed -E 'p; s#^/(bin|sbin|lib|lib32|lib64|libx32)(/|$)#/usr/\1\2#' | sort -u >"$work/owned-files"

# Each path the package listed is gone, or is a folder another installed package lists too.
left=""
while read -r path; do
    [ -e "$root$path" ] || [ -L "$root$path" ] || continue
    [ -d "$root$path" ] && [ ! -L "$root$path" ] && grep -qxF "$path" "$work/owned-files" && continue
    left="$left $path"
done <"$work/package-files"
[ -z "$left" ] || fail "paths of the package are left:$left"
shared=$(while read -r path; do [ -d "$root$path" ] && echo "$path"; done <"$work/package-files" | wc -l)
echo "of the $(wc -l <"$work/package-files") paths dpkg -L listed, $shared are left: folders other packages list too"

# New since the install, owned by no package that is still installed, outside the places
# apt, dpkg and the programs keep their logs, caches and temporaries.
comm -13 "$work/files-before" "$work/files-after" | comm -23 - "$work/owned-files" |
    grep -v -E '^/(tmp|run|var/tmp|var/log|var/cache|var/lib/apt|var/lib/dpkg)(/|$)' >"$work/new-files" || true
user_data=$(grep -E '^/home/ann(/|$)' "$work/new-files" || true)
leftover=$(grep -v -E '^/home/ann(/|$)' "$work/new-files" || true)
if echo "$leftover" | grep -q -i cardhold; then fail "left behind: $leftover"; fi
mentions=$(grep -rl --binary-files=text cardhold "$root/etc" "$root/usr" "$root/var/lib" 2>/dev/null |
           grep -v -E "^$root/var/lib/(dpkg|apt)/" || true)
[ -z "$mentions" ] || fail "files still mention cardhold: $mentions"
echo "no file outside ann's home names cardhold"
echo "ann's data, kept:"
echo "$user_data" | sed 's/^/  /'
if [ -n "$leftover" ]; then
    echo "$leftover" >"$work/other-new-files"
    echo "new files no package lists, made by the other packages' scripts and triggers" \
         "(build-package/other-new-files), naming nothing of cardhold:"
    echo "$leftover" | cut -d/ -f1-4 | sort | uniq -c | sort -rn | head -n 12
fi

say "ok: $(basename "$deb") installed, ran and went on a fresh Debian 12"
