#!/usr/bin/env bash
# The edit-build-test loop: builds the default configuration and runs the
# unit-labelled tests alone (no outside programs, no sockets).
# Usage: scripts/quick-test.sh [ctest arguments, e.g. -R Telnet]
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/default/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset unit "$@"
