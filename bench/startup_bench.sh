#!/usr/bin/env bash
# Start-up and size of cedar_tn3270 against the demo host, under Xvfb with
# openbox: the time from the process start to the first painted host screen
# (the program reports that moment with CEDAR_TIMING set), and the resident
# memory of the idle connected session two seconds later.
#
#   bash bench/startup_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="${1:-build/default}"
runs="${2:-10}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" "$build" "$runs"
fi
work=$(mktemp -d)
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
"$build"/tools/demo_host/cedar_demo_host --port 0 >"$work/demo.log" 2>&1 &
demo=$!
trap 'kill $demo $wm 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do grep -q "listening on" "$work/demo.log" && break; sleep 0.1; done
port=$(sed -n 's/.*listening on [0-9.]*:\([0-9]*\).*/\1/p' "$work/demo.log")
sleep 0.5

times=()
rss=()
for run in $(seq "$runs"); do
  home="$work/home$run"
  mkdir -p "$home"
  # A fresh home each run: the measured start is a first start, which also
  # makes the user's folder.
  start=$(date +%s%6N)
  HOME="$home" XDG_RUNTIME_DIR="$home" CEDAR_MESSAGE_BOXES=1 CEDAR_TIMING=1 \
    "$build"/src/app/cedar_tn3270 --host 127.0.0.1 --port "$port" 2>"$home/err" &
  pid=$!
  for _ in $(seq 100); do grep -q "^timing:" "$home/err" && break; sleep 0.05; done
  painted=$(sed -n 's/^timing: first host screen painted at \([0-9]*\) us/\1/p' "$home/err")
  [ -n "$painted" ] || { echo "run $run: no host screen"; cat "$home/err"; exit 1; }
  times+=($(( (painted - start) / 1000 )))
  sleep 2
  rss+=($(awk '/^VmRSS/ {print $2}' "/proc/$pid/status"))
  kill "$pid"; wait "$pid" 2>/dev/null || true
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "start to first painted host screen, ms: ${times[*]}  (median $(median "${times[@]}"))"
echo "resident memory of the idle connected session, KiB: ${rss[*]}  (median $(median "${rss[@]}"))"
