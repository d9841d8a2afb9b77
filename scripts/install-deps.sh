#!/bin/sh
# Installs the Debian packages needed to build, run and test Cardhold.
# Idempotent: packages already present are left alone and apt-get is not run at all.
#   sh scripts/install-deps.sh             what the build and the tests need
#   sh scripts/install-deps.sh packaging   and what scripts/package-check.sh needs
set -eu

packages="build-essential cmake ninja-build pkgconf ccache clang-format
qt6-base-dev qtkeychain-qt6-dev libzip-dev zlib1g-dev libicu-dev ca-certificates
libgtest-dev libgmock-dev libbenchmark-dev
fonts-liberation2 fonts-comic-neue
xvfb xauth imagemagick poppler-utils unzip xdg-utils
libdbd-xbase-perl python3-dbf python3-dbfread python3-vobject python3-radicale
desktop-file-utils appstream man-db file"
if [ "${1:-}" = packaging ]; then
    packages="$packages lintian debootstrap"
fi

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "Installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
