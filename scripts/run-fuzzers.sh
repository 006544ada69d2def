#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time on its seed corpus.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
build="$1"; seconds="$2"
status=0
recording_seeds=$(mktemp -d)
if [ -d ../shared/fixtures/recordings ] && [ -x "$build/tests/fuzz/seeds_from_recordings" ]; then
  "$build/tests/fuzz/seeds_from_recordings" "$recording_seeds" ../shared/fixtures/recordings/*.trc \
    ../shared/fixtures/recordings/vampstream.txt || true
fi
for target in "$build"/tests/fuzz/fuzz_*; do
  case "$target" in *.*) continue ;; esac
  [ -x "$target" ] || continue
  name=$(basename "$target")
  seeds="tests/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  extra=()
  # Records of real sessions make good extra seeds when the recordings are present.
  if [ "$name" = fuzz_records ] && [ -n "$(ls -A "$recording_seeds")" ]; then
    extra+=("$recording_seeds")
  fi
  echo "-- $name (${seconds}s)"
  mkdir -p fuzz-artifacts
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix=fuzz-artifacts/ -print_final_stats=1 "$work" "$seeds" "${extra[@]}" \
       > "$work.log" 2>&1; then
    tail -60 "$work.log"
    echo "FAILED: $name"
    status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$work.log" | tail -2
  fi
  rm -rf "$work" "$work.log"
done
rm -rf "$recording_seeds"
exit $status
