#!/usr/bin/env bash
# Fresh machine: install, build and run every test: the unit and integration
# tests (normal and ASan+UBSan builds), the format check and a bounded fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

FUZZ_SECONDS="${FUZZ_SECONDS:-20}"
status=0

echo "== format check"
if ! bash scripts/check-format.sh; then status=1; fi
echo "== core dependency check"
if ! bash scripts/check-core-includes.sh; then status=1; fi
if ! python3 tools/gen_country_lst.py --check; then
  echo "data/country.lst is not what tools/gen_country_lst.py generates"; status=1
fi

# A test run needs no full debug information: the optimised build goes without
# it and the sanitizer build keeps line tables for its reports (a third less
# compile time). Benchmarks are built by hand (README), not here.
default_flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCEDAR_BUILD_BENCH=OFF)
asan_flags=(-DCMAKE_CXX_FLAGS_DEBUG=-g1)
for preset in default asan; do
  echo "== build ($preset)"
  if [ "$preset" = default ]; then extra=("${default_flags[@]}"); else extra=("${asan_flags[@]}"); fi
  cmake --preset "$preset" "${extra[@]}" >/dev/null
  cmake --build --preset "$preset"
  echo "== tests ($preset)"
  if ! ctest --preset "$preset"; then status=1; fi
done

echo "== fuzz (${FUZZ_SECONDS}s per target)"
cmake --preset fuzz >/dev/null
# Only the fuzz targets and the seed tool, not the programs around them.
fuzz_targets=$(ninja -C build/fuzz -t targets all | sed -n 's/^\(fuzz_[a-z0-9_]*\|seeds_from_recordings\): phony$/\1/p')
# shellcheck disable=SC2086
cmake --build --preset fuzz --target $fuzz_targets
if ! ctest --preset fuzz; then status=1; fi
if ! bash scripts/run-fuzzers.sh build/fuzz "$FUZZ_SECONDS"; then status=1; fi

exit $status
