#!/usr/bin/env bash
# Builds and runs every test: the normal build (warnings as errors), the
# AddressSanitizer + UndefinedBehaviorSanitizer build, the 32-bit mapshare
# build, the Windows DLLs (cross-built, run under Wine) and short, bounded
# fuzz runs.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

step() { printf '\n==== %s ====\n' "$*"; }

step "release build, warnings as errors"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNS_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"
ctest --test-dir build -j "$JOBS" --output-on-failure

step "AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNS_WERROR=ON -DNS_SANITIZE=ON -DNS_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j "$JOBS" --output-on-failure

if [ -f src/mapshare/CMakeLists.txt ]; then
  step "32-bit mapshare build"
  cmake -S . -B build-m32 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNS_WERROR=ON -DNS_MAPSHARE_ONLY=ON -DMAPSHARE_32BIT=ON >/dev/null
  cmake --build build-m32 -j "$JOBS"
  ctest --test-dir build-m32 -j "$JOBS" --output-on-failure
fi

step "Windows DLLs: MinGW-w64 cross-build, tests under Wine"
JOBS="$JOBS" LINUX_BUILD=build bash scripts/test-windows.sh

if [ -f fuzz/CMakeLists.txt ] && command -v clang++ >/dev/null; then
  step "fuzzing, ${FUZZ_SECONDS} s per target"
  cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DNS_BUILD_FUZZ=ON -DNS_BUILD_TESTS=OFF -DNS_BUILD_BENCH=OFF >/dev/null
  cmake --build build-fuzz -j "$JOBS"
  FUZZ_SECONDS="$FUZZ_SECONDS" bash fuzz/run.sh build-fuzz
fi

step "all test builds passed"
