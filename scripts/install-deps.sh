#!/bin/sh
# Installs the Debian 12 packages the build and the tests need, skipping
# the ones already present so repeated runs cost nothing.
set -eu

PACKAGES="
build-essential
cmake
ninja-build
ccache
pkg-config
qt6-base-dev
qt6-base-dev-tools
libgl-dev
libgtest-dev
libgmock-dev
libbenchmark-dev
gettext
libjpeg62-turbo-dev
clang
lld
libclang-rt-dev
clang-format
clang-tidy
xvfb
xauth
nlohmann-json3-dev
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "Installing:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
