#!/usr/bin/env bash
# Builds and runs every test: the normal build (warnings as errors), the
# AddressSanitizer + UndefinedBehaviorSanitizer build, the ThreadSanitizer
# build of the libraries and host-level tests, the 32-bit mapshare build, the
# Windows DLLs (cross-built, run under Wine), the release packages tried as
# their users would (scripts/test-packages.sh) and short, bounded fuzz runs.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

step() { printf '\n==== %s ====\n' "$*"; }

step "release build, warnings as errors"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNS_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"
ctest --test-dir build -j "$JOBS" --output-on-failure

step "Python package nsread"; NS_BUILD_DIR=build bash scripts/test-python.sh

step "AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNS_WERROR=ON -DNS_SANITIZE=ON -DNS_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j "$JOBS" --output-on-failure

if command -v clang++ >/dev/null; then
  step "ThreadSanitizer build: the libraries and the host-level tests"
  # The libraries as hosts load them, driven from many threads; any data
  # race report stops the test program and fails the stage.
  TSAN_TESTS="qrd_api_threads_test qrd_api_entry_points_test qrd_api_registry_test qrd_api_file_info_test
    qrd_queries_data_test map_threads_host_test map_threads_core_test map_open_host_test map_data_host_test
    map_entities_host_test map_threads_one_file_host_test common_call_gate_test"
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DNS_WERROR=ON -DNS_TSAN=ON -DNS_BUILD_BENCH=OFF >/dev/null
  # shellcheck disable=SC2086
  cmake --build build-tsan -j "$JOBS" --target qrdshare mapshare $TSAN_TESTS
  # Test programs outside the list are not built; ctest lists them as
  # *_NOT_BUILT.  The hosts of tests/hosts (a C program, a Python script) are
  # not built here either: they load the release libraries in the first stage,
  # and so do the command-line tests of the tools (CommandLine.*).
  TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1" \
    ctest --test-dir build-tsan -j "$JOBS" --output-on-failure \
    -E '_NOT_BUILT$|^HostRecordings\.|^UnpackedRecordsHost\.|^CommandLine\.'
fi

if [ -f src/mapshare/CMakeLists.txt ]; then
  step "32-bit mapshare build"
  # The configuration probes whether 32-bit programs run here; where they do
  # not, they run through qemu-i386 (cmake/Ns32BitRunner.cmake).
  cmake -S . -B build-m32 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNS_WERROR=ON -DNS_MAPSHARE_ONLY=ON -DMAPSHARE_32BIT=ON >/dev/null
  echo "32-bit test programs run $(sed -n 's/^NS_32BIT_RUN_MODE:INTERNAL=//p' build-m32/CMakeCache.txt)"
  cmake --build build-m32 -j "$JOBS"
  ctest --test-dir build-m32 -j "$JOBS" --output-on-failure --no-tests=error
fi

step "Windows DLLs: MinGW-w64 cross-build, tests under Wine"
JOBS="$JOBS" LINUX_BUILD=build bash scripts/test-windows.sh

step "release packages: Debian package, Windows zip, Python wheel and their consumers"
JOBS="$JOBS" bash scripts/test-packages.sh

if [ -f fuzz/CMakeLists.txt ] && command -v clang++ >/dev/null; then
  step "fuzzing, ${FUZZ_SECONDS} s per target"
  cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DNS_BUILD_FUZZ=ON -DNS_BUILD_TESTS=OFF -DNS_BUILD_BENCH=OFF >/dev/null
  cmake --build build-fuzz -j "$JOBS"
  FUZZ_SECONDS="$FUZZ_SECONDS" bash fuzz/run.sh build-fuzz
fi

step "all test builds passed"
