#!/usr/bin/env bash
# Fresh machine: install, build and show a live host screen.
#
#   bash scripts/run.sh                 the demo host of our own, on loopback
#   bash scripts/run.sh HOST[:PORT]     a real host
#   bash scripts/run.sh RECORDING [--model N] ...   replays a recorded session
#
# With a display the session opens in the cedar_tn3270 window; the demo
# host is stopped when the window closes. Without one the session runs in
# cedar_headless: the script connects, prints the host's first screen and
# then passes what you type to it, one command a line (screen, type TEXT,
# key Enter, key PF3, status, quit; see the README).
set -euo pipefail
cd "$(dirname "$0")/.."
# CEDAR_BUILD_DIR: programs already built there (the tests of this script);
# nothing is installed or built then.
build="${CEDAR_BUILD_DIR:-build/default}"
if [ -z "${CEDAR_BUILD_DIR:-}" ]; then
  bash scripts/install-deps.sh
  [ -f build/default/build.ninja ] || cmake --preset default >/dev/null
  targets=(cedar_headless cedar_demo_host cedar_replay)
  [ -n "${DISPLAY:-}" ] && targets+=(cedar_tn3270)
  cmake --build --preset default --target "${targets[@]}"
fi

if [ $# -gt 0 ] && [ -f "$1" ]; then
  exec "$build"/tools/replay/cedar_replay "$@"
fi

demo_pid=""
cleanup() { [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ $# -gt 0 ]; then
  target="$1"
  home="${HOME}"
else
  # The demo host on a free loopback port. The session gets a home folder of
  # its own in the build tree, so the demo never enters your host list or
  # session files.
  out=$(mktemp)
  "$build"/tools/demo_host/cedar_demo_host --port 0 >"$out" 2>&1 &
  demo_pid=$!
  for _ in $(seq 50); do grep -q "listening on" "$out" && break; sleep 0.1; done
  target=$(sed -n 's/.*listening on \([0-9.:]*\).*/\1/p' "$out")
  rm -f "$out"
  [ -n "$target" ] || { echo "the demo host did not start"; exit 1; }
  home="${CEDAR_DEMO_HOME:-$PWD/build/demo-home}"
  mkdir -p "$home"
  echo "Demo host on $target (log on with any user id)."
fi

if [ -n "${DISPLAY:-}" ]; then
  host="${target%:*}"
  port="${target##*:}"
  [ "$host" = "$target" ] && port=23
  # Not exec: the trap stops the demo host once the window has closed.
  HOME="$home" "$build"/src/app/cedar_tn3270 --host "$host" --port "$port"
  exit $?
fi

echo "No display: the session runs without a window (cedar_headless); the window needs a display."
echo "Commands: screen, type TEXT, key Enter, key Tab, key PF3, status, quit."
{
  printf 'connect\nwait unlock 15\nscreen\n'
  if [ -t 0 ]; then cat; else printf 'quit\n'; fi
} | HOME="$home" "$build"/tools/headless/cedar_headless --no-reconnect "$target"
