#!/usr/bin/env bash
# Fails when a C++ file differs from what clang-format 14 makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tools tests bench -name '*.cpp' -o -name '*.h')
[ -z "$files" ] && exit 0
if ! clang-format-14 --dry-run --Werror $files; then
  echo "Run: clang-format-14 -i \$(git ls-files '*.cpp' '*.h')"
  exit 1
fi
echo "format: ok"
