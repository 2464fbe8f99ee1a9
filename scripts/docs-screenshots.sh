#!/bin/sh
# Takes the manual's screenshots from the demo controller, so the pictures
# in docs/ show the program as it is built. Usage: docs-screenshots.sh BINDIR
# The program runs in English (the manual's language) with settings of its
# own, so the user's settings neither change the pictures nor are touched.
# With pngquant installed the pictures are reduced to a palette.
set -eu

bin=${1:-build/bin}
# Time for the demo controller to be found and read on a busy machine.
after=${DOCS_AFTER_MS:-6000}
out=$(cd "$(dirname "$0")/.." && pwd)/docs/img
mkdir -p "$out"

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config/Lumex2"
printf '[Settings]\nLanguage=EN\n' >"$home/config/Lumex2/Lumex2.INI"

shot() {
    name=$1
    shift
    echo "docs: $name.png"
    HOME=$home XDG_CONFIG_HOME=$home/config xvfb-run -a "$bin/Lumex2" --demo --screenshot "$out/$name.png" --after "$after" "$@"
    if command -v pngquant >/dev/null 2>&1; then
        pngquant --force --skip-if-larger --quality 70-95 --output "$out/$name.png" "$out/$name.png" || true
    fi
}

shot readings --page readings
shot connection --page FormConnectStatus
shot configurator --page configurator
shot calibration --page calibration
shot schema --page schema
shot about --page FormAbout
shot trouble-codes --page TbSDgnErrorCodes
shot oscilloscope --page TbSDgnOscyloskop
shot adapter --page adapter
