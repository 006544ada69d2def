#!/usr/bin/env bash
# Fresh machine: install, build and run. Until the window exists this replays
# a host screen (the bundled sample, or the recording given as argument).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target cedar_replay
./build/default/tools/replay/cedar_replay "${1:-samples/welcome.hex}" "${@:2}"
