#!/usr/bin/env bash
# The longer fuzz run: every fuzz target for SECONDS each (default 600), one
# after the other, from the committed seeds and what earlier runs found
# (build/fuzz/work/TARGET/corpus). Builds the fuzz tree first.
#   tools/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(zone_rule clock_texts zone_file settings_file update_replies info_file bignum_powmod)
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHORLIX_FUZZ=ON \
      -DHORLIX_WERROR=ON >/dev/null
cmake --build build/fuzz -j2
failed=()
for t in "${targets[@]}"; do
  echo "=== fuzz_$t for $seconds s"
  tests/fuzz/run_fuzz.sh "build/fuzz/bin/fuzz_$t" "tests/fuzz/corpus/$t" "build/fuzz/work/$t" \
    "$seconds" || failed+=("$t")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]} (inputs in build/fuzz/work/TARGET/artifacts)" >&2
  exit 1
fi
echo "all ${#targets[@]} fuzz targets ran $seconds s without a failure"
