#!/bin/sh
# Takes the manual's screenshots from the demo controller, so the pictures
# in docs/ show the program as it is built. Usage: docs-screenshots.sh BINDIR
set -eu

bin=${1:-build/bin}
out=$(dirname "$0")/../docs/img
mkdir -p "$out"

shot() {
    name=$1
    shift
    echo "docs: $name.png"
    xvfb-run -a "$bin/Lumex2" --demo --screenshot "$out/$name.png" "$@"
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
