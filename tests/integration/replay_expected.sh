#!/usr/bin/env bash
# cedar_replay prints the screens that come with the recordings:
# the first ibmlink screen (wdstrace.txt) and the IBM i sign-on (login.txt).
# Usage: replay_expected.sh CEDAR_REPLAY RECORDINGS_DIR
set -euo pipefail
replay="$1"; dir="$2"
if [ ! -d "$dir" ]; then
  # A missing fixture fails in CI (CI set) and with CEDAR_REQUIRE_ORACLES=1.
  required=0
  for flag in "${CI:-}" "${CEDAR_REQUIRE_ORACLES:-}"; do
    case "$flag" in "" | 0 | false | no) ;; *) required=1 ;; esac
  done
  if [ "$required" = 1 ]; then
    echo "missing: the recordings folder $dir (required in CI and with CEDAR_REQUIRE_ORACLES=1)"
    exit 1
  fi
  echo "missing: the recordings folder $dir: skipped"
  exit 77
fi
fail=0
check() {
  local name="$1" expected="$2"; shift 2
  if diff <("$replay" "$dir/$name" --text-only "$@") <(tr -d '\r' < "$expected"); then
    echo "ok: $name"
  else
    echo "FAIL: $name differs from $(basename "$expected")"; fail=1
  fi
}
# wdstrace.txt opens with one blank line before the 24 rows.
check ibmlink.trc <(tail -n +2 "$dir/wdstrace.txt") --records 1
check login.trc "$dir/login.txt"
exit $fail
