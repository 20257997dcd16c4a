#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, each on a seed
# corpus that our own writers produce, and reports how many inputs each one
# tried per second.  Usage: fuzz/run.sh <build-dir>
# FUZZ_SECONDS sets the time per target (30 s).
set -euo pipefail
build=${1:?usage: fuzz/run.sh <build-dir>}
seconds=${FUZZ_SECONDS:-30}
shopt -s nullglob
status=0
summary=()
for fuzzer in "$build"/fuzz/*_fuzz; do
  name=$(basename "$fuzzer" _fuzz)
  corpus="$build/fuzz/corpus-$name"
  log="$build/fuzz/$name.log"
  rm -rf "$corpus"; mkdir -p "$corpus"
  if [ -x "$build/fuzz/${name}_seeds" ]; then
    "$build/fuzz/${name}_seeds" "$corpus" >/dev/null
  fi
  seeds=$(ls "$corpus" | wc -l)
  echo "fuzzing $name for ${seconds}s on $seeds seeds"
  if ! "$fuzzer" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$build/fuzz/$name-" \
        >"$log" 2>&1; then
    echo "fuzz target $name found a problem:"; tail -n 60 "$log"; status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  summary+=("$(printf '%-16s %10s executions %7s per second' "$name" "${runs:-?}" "${rate:-?}")")
done
echo "executions per target in ${seconds}s:"
for line in "${summary[@]}"; do echo "  $line"; done
exit $status
