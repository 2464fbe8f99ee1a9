#!/bin/sh
# Starts the simulated controller on a virtual serial line and shows what
# the tool reads from it.
set -eu
BIN=${1:-build/bin}
echo "demo: not wired up yet"
