#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, each on a seed
# corpus that our own writers produce.  Usage: fuzz/run.sh <build-dir>
set -euo pipefail
build=${1:?usage: fuzz/run.sh <build-dir>}
seconds=${FUZZ_SECONDS:-30}
shopt -s nullglob
status=0
for fuzzer in "$build"/fuzz/*_fuzz; do
  name=$(basename "$fuzzer" _fuzz)
  corpus="$build/fuzz/corpus-$name"
  rm -rf "$corpus"; mkdir -p "$corpus"
  if [ -x "$build/fuzz/${name}_seeds" ]; then
    "$build/fuzz/${name}_seeds" "$corpus"
  fi
  echo "fuzzing $name for ${seconds}s on $(ls "$corpus" | wc -l) seeds"
  if ! "$fuzzer" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=1024 -print_final_stats=0 -artifact_prefix="$build/fuzz/$name-" \
        >"$build/fuzz/$name.log" 2>&1; then
    echo "fuzz target $name found a problem:"; tail -n 60 "$build/fuzz/$name.log"; status=1
  fi
done
exit $status
