#!/usr/bin/env bash
# Fresh machine: install, build and run every test: the unit and integration
# tests (in the ASan+UBSan build), the format check and a bounded fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

FUZZ_SECONDS="${FUZZ_SECONDS:-10}"
status=0

echo "== format check"
if ! bash scripts/check-format.sh; then status=1; fi
echo "== core dependency check"
if ! bash scripts/check-core-includes.sh; then status=1; fi
if ! python3 tools/gen_country_lst.py --check; then
  echo "data/country.lst is not what tools/gen_country_lst.py generates"; status=1
fi

# The tests run once, in the ASan+UBSan build, its code unoptimised (-O0
# builds a third faster than -O1). The optimised build is still built, without
# its tests, so that a warning only -O2 finds fails here and not in
# scripts/run.sh. Neither keeps full debug information (the sanitizer build
# keeps line tables for its reports); benchmarks are built by hand (README).
echo "== build (default, the program alone)"
cmake --preset default -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCEDAR_BUILD_BENCH=OFF \
  -DCEDAR_BUILD_TESTS=OFF >/dev/null
cmake --build --preset default
echo "== build (asan)"
cmake --preset asan -DCMAKE_CXX_FLAGS=-O0 -DCMAKE_CXX_FLAGS_DEBUG=-g1 >/dev/null
cmake --build --preset asan
echo "== tests (asan)"
if ! ctest --preset asan; then status=1; fi

echo "== fuzz (${FUZZ_SECONDS}s per target)"
cmake --preset fuzz >/dev/null
# Only the fuzz targets and the seed tool, not the programs around them.
fuzz_targets=$(ninja -C build/fuzz -t targets all | sed -n 's/^\(fuzz_[a-z0-9_]*\|seeds_from_recordings\): phony$/\1/p')
# shellcheck disable=SC2086
cmake --build --preset fuzz --target $fuzz_targets
if ! ctest --preset fuzz; then status=1; fi
if ! bash scripts/run-fuzzers.sh build/fuzz "$FUZZ_SECONDS"; then status=1; fi

exit $status
