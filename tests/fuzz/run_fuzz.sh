#!/usr/bin/env bash
# Runs one fuzz target: every committed seed once, then fuzzing for a bounded
# time from the seeds and what earlier runs found. Fails on any crash, leak,
# sanitizer report or time-out; the input that caused it is kept in
# WORK/artifacts.
#   run_fuzz.sh TARGET SEED_DIR WORK_DIR SECONDS
set -euo pipefail
target=$1 seeds=$2 work=$3 seconds=$4
if [ ! -x "$target" ]; then
  echo "fuzz target $target is not built (tools/setup.sh builds build/fuzz)" >&2
  exit 1
fi
mkdir -p "$work/corpus" "$work/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
common=(-timeout=10 -rss_limit_mb=2048 -max_len=4096 "-artifact_prefix=$work/artifacts/")

shopt -s nullglob
seedfiles=("$seeds"/*)
if [ ${#seedfiles[@]} -eq 0 ]; then
  echo "no seed inputs in $seeds" >&2
  exit 1
fi
echo "== every committed seed once (${#seedfiles[@]} inputs)"
"$target" "${common[@]}" "${seedfiles[@]}" 2>&1 | tail -n 3

echo "== fuzzing for $seconds s"
log="$work/last-run.log"
set +e
"$target" "${common[@]}" -max_total_time="$seconds" -print_final_stats=1 \
  "$work/corpus" "$seeds" >"$log" 2>&1
rc=$?
set -e
grep -E '^(stat::|Done |INFO: Seed)|ERROR|SUMMARY|artifact' "$log" || true
if [ $rc -ne 0 ]; then
  tail -n 60 "$log"
  echo "fuzz target failed with status $rc" >&2
fi
exit $rc
