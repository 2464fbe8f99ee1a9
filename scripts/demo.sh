#!/bin/sh
# Starts the simulated controller on a virtual serial line and talks to it.
# With the main window built, that is Lumex2 --demo; until then the
# command-line tool identifies the controller and shows live readings.
set -eu
BIN=${1:-build/bin}

# The demo car is an installed one, so every page shows a real configuration.
STATE=sim/states/installed-30G.json
if [ -x "$BIN/Lumex2" ]; then
    set -- --demo
    [ -f "$STATE" ] && set -- "$@" --demo-state "$STATE"
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        exec xvfb-run -a "$BIN/Lumex2" "$@"
    fi
    exec "$BIN/Lumex2" "$@"
fi

LINK=$(mktemp -u /tmp/lumex2-demo.XXXXXX)
"$BIN/lumex2-sim" --link "$LINK" --gen 30 --letter G --adapter > "$LINK.log" 2>&1 &
SIM=$!
trap 'kill $SIM 2>/dev/null; wait $SIM 2>/dev/null; rm -f "$LINK.log"' EXIT INT TERM
i=0
until grep -q '^ready' "$LINK.log" 2>/dev/null; do
    i=$((i + 1))
    if [ $i -gt 100 ]; then
        echo "demo: the simulator did not start" >&2
        cat "$LINK.log" >&2
        exit 1
    fi
    sleep 0.05
done

echo "== Simulated controller on $LINK"
"$BIN/lumex2-cli" --port "$LINK" identify
echo
echo "== The adapter on the same line"
"$BIN/lumex2-cli" --port "$LINK" adapter info
echo
echo "== Live readings, 20 poll cycles"
"$BIN/lumex2-cli" --port "$LINK" poll --cycles 20
