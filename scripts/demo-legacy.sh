#!/bin/sh
# Starts the legacy configurator against its built-in simulated 1.5
# controller; without a display, under xvfb-run.
set -eu
BIN=${1:-build/bin}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a "$BIN/Norvi" --demo --demo-state sim/states/installed-15.json
fi
exec "$BIN/Norvi" --demo --demo-state sim/states/installed-15.json
