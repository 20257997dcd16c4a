#!/usr/bin/env bash
# The Windows stage of the tests (run by scripts/test.sh after the Linux
# release build, or alone once that build exists):
#   - cross-builds qrdshare.dll, mapshare.dll, nsdump.exe and the host-level
#     tests for x86-64 with MinGW-w64 and checks the DLLs' export and import
#     tables;
#   - runs nsdump.exe under Wine on the sample recordings written by the Linux
#     build's qrdsample and mapsample, and compares its output byte for byte
#     with the Linux nsdump's (reports and CSV exports);
#   - runs the host-level tests under Wine;
#   - cross-builds mapshare.dll and its host-level tests for i686 (32-bit
#     hosts) and checks the DLL's exports and calling convention; the tests
#     run only where Wine can execute 32-bit programs (Debian package wine32).
# Environment: JOBS, LINUX_BUILD (default build), WIN64_BUILD (build-win64),
# WIN32_BUILD (build-win32).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
LINUX_BUILD=${LINUX_BUILD:-build}
WIN64_BUILD=${WIN64_BUILD:-build-win64}
WIN32_BUILD=${WIN32_BUILD:-build-win32}

step() { printf '\n==== %s ====\n' "$*"; }
check() { bash scripts/check-windows-binary.sh "$@"; }

# A tool of the Linux build, where the build puts it.
linux_tool() {
  for candidate in "$LINUX_BUILD/bin/$1" "$LINUX_BUILD/tools/$1/$1"; do
    if [ -x "$candidate" ]; then echo "$PWD/$candidate"; return 0; fi
  done
  echo "$1 not found in $LINUX_BUILD (build the Linux release first)" >&2
  return 1
}

# Optimised as the Linux release build (-O2; GCC 12 at -O3 warns falsely
# about vector inserts), without debugging information, which would only
# slow the build and the links down here.
build_type=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG")

step "Windows x86-64: cross-build of the DLLs, nsdump.exe and the host-level tests"
cmake --no-warn-unused-cli -S . -B "$WIN64_BUILD" --toolchain cmake/mingw-w64-x86_64.cmake "${build_type[@]}" -DNS_WERROR=ON >/dev/null
cmake --build "$WIN64_BUILD" -j "$JOBS"
check x86_64-w64-mingw32 "$WIN64_BUILD/src/qrdshare/qrdshare.dll" --exports
check x86_64-w64-mingw32 "$WIN64_BUILD/src/mapshare/mapshare.dll" --exports
check x86_64-w64-mingw32 "$WIN64_BUILD/bin/nsdump.exe"
# What a user gets: bin/ with the DLLs and nsdump.exe, include/ for hosts.
rm -rf "$WIN64_BUILD/install-check"
cmake --install "$WIN64_BUILD" --prefix "$WIN64_BUILD/install-check" --strip >/dev/null
installed=$(cd "$WIN64_BUILD/install-check" && find . -type f | sort | paste -sd' ')
case "$(ls "$WIN64_BUILD/install-check" | paste -sd' ') | $(ls "$WIN64_BUILD/install-check/bin" | paste -sd' ')" in
  "bin include | mapshare.dll nsdump.exe qrdshare.dll") echo "cmake --install: $installed" ;;
  *) echo "cmake --install gave other files than bin/ (the DLLs, nsdump.exe) and include/: $installed" >&2; exit 1 ;;
esac

wine=$(sed -n 's/^NS_WINE:FILEPATH=//p' "$WIN64_BUILD/CMakeCache.txt")
if [ ! -x "$wine" ]; then
  echo "Wine was not found (Debian package wine64); the Windows programs cannot run" >&2
  exit 1
fi
# The build's own Wine prefix, as CTest uses it (see cmake/NsWindows.cmake).
export WINEDEBUG=-all WINEPREFIX="$PWD/$WIN64_BUILD/wine-prefix"
# Creating the prefix takes a few seconds and reports on standard error; do
# it before any output is compared.
"$wine" wineboot --init >/dev/null 2>&1

step "Windows x86-64: nsdump.exe under Wine against Linux nsdump on the sample recordings"
nsdump=$(linux_tool nsdump)
qrdsample=$(linux_tool qrdsample)
mapsample=$(linux_tool mapsample)
nsdump_exe="$PWD/$WIN64_BUILD/bin/nsdump.exe"
compare="$WIN64_BUILD/nsdump-compare"
rm -rf "$compare"
mkdir -p "$compare/samples"
(
  cd "$compare"
  "$qrdsample" samples >/dev/null
  "$mapsample" samples >/dev/null
  recordings=(samples/*.qrd samples/*.map)
  # Both programs get the same relative paths.  The library each one loaded
  # is named in a "== <path>" line; only its base name is kept.
  same_library_names() { sed -E 's#^== .*[/\\](lib)?(qrdshare|mapshare)\.(so|dll)$#== \2#'; }
  # run <name> <args...>: both programs, same arguments; standard output,
  # standard error and exit status must match.
  run() {
    local name=$1 linux_status=0 windows_status=0 stream
    shift
    "$nsdump" "$@" >"$name.linux.out" 2>"$name.linux.err" || linux_status=$?
    "$wine" "$nsdump_exe" "$@" >"$name.windows.out" 2>"$name.windows.err" || windows_status=$?
    if [ "$linux_status" != "$windows_status" ]; then
      echo "nsdump $*: exit status $linux_status on Linux, $windows_status on Windows" >&2
      return 1
    fi
    for stream in out err; do
      if ! cmp -s <(same_library_names <"$name.linux.$stream") <(same_library_names <"$name.windows.$stream"); then
        echo "nsdump $*: standard $stream differs (< Linux, > Windows):" >&2
        diff <(same_library_names <"$name.linux.$stream") <(same_library_names <"$name.windows.$stream") | head -20 >&2
        return 1
      fi
    done
  }
  run report "${recordings[@]}"
  # CSV of the first entity of each type in each recording (the report
  # lists them as "  entity  <index>  <type> ...").
  exports=0
  for recording in "${recordings[@]}"; do
    "$nsdump" "$recording" |
      awk '$1 == "entity" && !seen[$3]++ { print $2 }' >entities.txt
    while read -r entity; do
      run "csv-$(basename "$recording")-$entity" --entity "$entity" --count 400 "$recording"
      exports=$((exports + 1))
    done <entities.txt
  done
  echo "nsdump.exe: report of ${#recordings[@]} recordings and $exports CSV exports equal to Linux nsdump's"
)

step "Windows x86-64: host-level tests under Wine"
ctest --test-dir "$WIN64_BUILD" -j "$JOBS" --output-on-failure

step "Windows i686: mapshare.dll for 32-bit hosts"
# The host-level tests are built in any case (a minute), so the 32-bit
# host code always compiles; they run where Wine can execute 32-bit
# programs, which Debian's wine32 package brings.
cmake --no-warn-unused-cli -S . -B "$WIN32_BUILD" --toolchain cmake/mingw-w64-i686.cmake "${build_type[@]}" -DNS_WERROR=ON \
  -DNS_MAPSHARE_ONLY=ON -DNS_BUILD_TESTS=ON >/dev/null
cmake --build "$WIN32_BUILD" -j "$JOBS"
check i686-w64-mingw32 "$WIN32_BUILD/src/mapshare/mapshare.dll" --exports --stdcall
if [ -x /usr/lib/wine/wine ]; then
  ctest --test-dir "$WIN32_BUILD" -j "$JOBS" --output-on-failure
else
  echo "NOT RUN: the 32-bit mapshare.dll and its host-level tests were built and the DLL's exports checked,"
  echo "but the tests did not run: this machine cannot execute 32-bit Windows programs"
  echo "(no 32-bit Wine; Debian package wine32)."
fi

# Wine keeps a server process per prefix for a few seconds; end ours now.
wineserver="$(dirname "$wine")/wineserver"
if [ -x "$wineserver" ]; then "$wineserver" -k 2>/dev/null || true; fi
