#!/usr/bin/env bash
# The packaging stage of the tests: builds the packages (scripts/package.sh)
# and tries them as their users would.
#   - Debian package: lintian without errors; dependencies computed from the
#     binaries; the expected files; unpacked with dpkg -x into a scratch root
#     (no root rights needed), where nsdump reads sample recordings with the
#     package's own libraries;
#   - consumers of the unpacked package: a C host built once through
#     pkg-config (nsapi.pc) and once through find_package(nsapi CONFIG),
#     linked against each library, and a C++ host of the header-only loader;
#     each runs on sample recordings written by qrdsample and mapsample, and
#     what it reads must equal nsdump's report and CSV;
#   - Windows zip: its file list, and the export and import tables of its
#     DLLs and nsdump.exe (scripts/check-windows-binary.sh).
# Environment: as scripts/package.sh (JOBS, PACKAGE_BUILD, WIN64_BUILD,
# WIN32_BUILD, DIST, PYTHON).
set -euo pipefail
cd "$(dirname "$0")/.."
PACKAGE_BUILD=${PACKAGE_BUILD:-build-package}
DIST=${DIST:-dist}

step() { printf '\n==== %s ====\n' "$*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

bash scripts/package.sh

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$PACKAGE_BUILD/CMakeCache.txt")
major=${version%%.*}
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
deb=$(ls "$DIST"/neuroshare-readers_"$version"-*_amd64.deb)
zip="$DIST/neuroshare-readers-$version-windows.zip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

step "Debian package: lintian, control fields, contents"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors for $deb"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture is not amd64"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libstdc++6 libgcc-s1; do
  grep -q "\b$needed\b" <<<"$depends" || fail "Depends ($depends) lacks $needed"
done
echo "Depends: $depends"
libdir="usr/lib/$multiarch"
expected="./usr/bin/nsdump
./usr/bin/qrdmerge
./usr/include/nsapi/nsapi.h
./usr/include/nsapi/nsapi_loader.h
./$libdir/cmake/nsapi/nsapiConfig.cmake
./$libdir/cmake/nsapi/nsapiConfigVersion.cmake
./$libdir/cmake/nsapi/nsapiTargets-release.cmake
./$libdir/cmake/nsapi/nsapiTargets.cmake
./$libdir/libmapshare.so
./$libdir/libmapshare.so.$major
./$libdir/libmapshare.so.$version
./$libdir/libqrdshare.so
./$libdir/libqrdshare.so.$major
./$libdir/libqrdshare.so.$version
./$libdir/pkgconfig/nsapi.pc
./usr/share/doc/neuroshare-readers/changelog.Debian.gz
./usr/share/doc/neuroshare-readers/changelog.gz
./usr/share/doc/neuroshare-readers/copyright
./usr/share/lintian/overrides/neuroshare-readers
./usr/share/man/man1/nsdump.1.gz
./usr/share/man/man1/qrdmerge.1.gz"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
[ "$files" = "$expected" ] || { diff <(echo "$expected") <(echo "$files") >&2; fail "package files differ (< expected, > packaged)"; }
echo "$(wc -l <<<"$files") files as expected"

step "Debian package unpacked into a scratch root"
root="$work/root"
dpkg -x "$deb" "$root"
prefix="$root/usr"
for library in qrdshare mapshare; do
  soname=$(objdump -p "$root/$libdir/lib$library.so.$version" | awk '$1 == "SONAME" { print $2 }')
  [ "$soname" = "lib$library.so.$major" ] || fail "lib$library SONAME is '$soname', not lib$library.so.$major"
done
[ "$("$prefix/bin/nsdump" --version)" = "nsdump $version" ] || fail "packaged nsdump --version"
[ "$("$prefix/bin/qrdmerge" --version)" = "qrdmerge $version" ] || fail "packaged qrdmerge --version"
samples="$work/samples"
"$PACKAGE_BUILD/bin/qrdsample" "$samples" >/dev/null
mapsample=$PACKAGE_BUILD/tools/mapsample/mapsample
[ -x "$mapsample" ] || mapsample=$PACKAGE_BUILD/bin/mapsample
"$mapsample" "$samples" >/dev/null
qrd="$samples/continuous_mea.qrd"
map="$samples/sample.map"

# nsdump's report of a recording, cut down to what the hosts print, and its
# CSV of the first ten samples of the first analog entity.
reference() {
  local recording=$1 report entity
  report=$("$prefix/bin/nsdump" "$recording") || fail "packaged nsdump failed on $recording"
  grep -Eq "^== $root/usr/(bin/\.\./)?lib/$multiarch/lib(qrdshare|mapshare)\.so$" <<<"$report" || fail "packaged nsdump did not load the package's library: $(head -1 <<<"$report")"
  sed -n 's/^  version      \([0-9.]*\) (Neuroshare API \([0-9.]*\))$/library version \1, Neuroshare API \2/p' <<<"$report"
  # (the library's own "file type" lines name the magic code; the
  # recording's does not)
  grep -E '^  (file type|time span|entities|entity )' <<<"$report" | grep -v ' (magic "'
  entity=$(awk '$1 == "entity" && $3 == "analog" && $4 > 0 { print $2; exit }' <<<"$report")
  if [ -n "$entity" ]; then "$prefix/bin/nsdump" --entity "$entity" --count 10 "$recording" 2>/dev/null; fi
}
reference "$qrd" >"$work/qrd.expected"
reference "$map" >"$work/map.expected"
grep -q '^index,time_s,value$' "$work/qrd.expected" || fail "no analog CSV in nsdump's answer for $qrd"
grep -q '^index,time_s,value$' "$work/map.expected" || fail "no analog CSV in nsdump's answer for $map"
echo "packaged nsdump read $(grep -c '^  entity ' "$work/qrd.expected") + $(grep -c '^  entity ' "$work/map.expected") entities with the package's libraries"

# same <name> <expected file> <command...>: the host's output equals nsdump's.
same() {
  local name=$1 expected=$2
  shift 2
  "$@" >"$work/$name.out" || fail "$name failed: $*"
  if ! cmp -s "$expected" "$work/$name.out"; then
    diff "$expected" "$work/$name.out" | head -20 >&2
    fail "$name read otherwise than nsdump (< nsdump, > $name)"
  fi
  echo "$name: $(grep -c '^  entity ' "$work/$name.out") entities and the first samples as nsdump reads them"
}

step "Installed components: Runtime and Tools alone"
# What a package of the runtime files alone would hold: the libraries by
# their SONAME, no lib<name>.so links, no headers; nsdump still finds them.
cmake --install "$PACKAGE_BUILD" --prefix "$work/runtime" --component Runtime >/dev/null
cmake --install "$PACKAGE_BUILD" --prefix "$work/runtime" --component Tools >/dev/null
runtime_files=$(cd "$work/runtime" && find . -name 'lib*' \( -type f -o -type l \) | sort | paste -sd' ')
[ "$runtime_files" = "./lib/$multiarch/libmapshare.so.$major ./lib/$multiarch/libmapshare.so.$version ./lib/$multiarch/libqrdshare.so.$major ./lib/$multiarch/libqrdshare.so.$version" ] ||
  fail "the Runtime component installed: $runtime_files"
[ ! -e "$work/runtime/include" ] || fail "the Runtime and Tools components installed headers"
for recording in "$qrd" "$map"; do
  "$work/runtime/bin/nsdump" --no-entities "$recording" >"$work/runtime.out" || fail "nsdump of the Runtime and Tools components on $recording"
  grep -Eq "^== .*/lib(qrdshare|mapshare)\.so\.$major$" "$work/runtime.out" || fail "nsdump did not take the SONAME file: $(head -1 "$work/runtime.out")"
done
echo "nsdump of the Runtime and Tools components reads both recordings through the SONAME files"

step "Consumer through pkg-config (nsapi.pc)"
# Only the scratch root's nsapi.pc is visible; it finds its prefix from its
# own place, so the unpacked tree works where it lies.
export PKG_CONFIG_LIBDIR="$root/$libdir/pkgconfig"
[ "$(pkg-config --modversion nsapi)" = "$version" ] || fail "pkg-config --modversion nsapi"
flags=$(pkg-config --cflags --libs nsapi)
echo "pkg-config --cflags --libs nsapi: $flags"
for library in qrdshare mapshare; do
  [ -f "$(pkg-config --variable="${library}_library" nsapi)" ] || fail "pkg-config --variable=${library}_library names no file"
  # shellcheck disable=SC2086
  cc -std=c99 -Wall -Wextra -Werror tests/packaging/linked_host.c $flags -l$library -o "$work/pc_host_$library"
  needed=$(objdump -p "$work/pc_host_$library" | awk '$1 == "NEEDED" && $2 ~ /share/ { print $2 }')
  [ "$needed" = "lib$library.so.$major" ] || fail "the pkg-config host needs '$needed', not lib$library.so.$major"
done
LD_LIBRARY_PATH="$root/$libdir" same pkg-config-host-qrdshare "$work/qrd.expected" "$work/pc_host_qrdshare" "$qrd"
LD_LIBRARY_PATH="$root/$libdir" same pkg-config-host-mapshare "$work/map.expected" "$work/pc_host_mapshare" "$map"
unset PKG_CONFIG_LIBDIR

step "Consumer through find_package(nsapi CONFIG)"
cmake -S tests/packaging/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DNS_CONSUMER_NEEDS="$major.0" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF >"$work/consumer.log" ||
  { cat "$work/consumer.log" >&2; fail "configuring the find_package consumer"; }
grep -q "nsapi $version from $root/" "$work/consumer.log" || fail "find_package found another nsapi: $(grep 'nsapi ' "$work/consumer.log")"
cmake --build "$work/consumer" >/dev/null || fail "building the find_package consumer"
# The imported targets carry the libraries' full paths: the hosts run from
# their build folder without LD_LIBRARY_PATH.
same find-package-host-qrdshare "$work/qrd.expected" "$work/consumer/linked_host_qrdshare" "$qrd"
same find-package-host-mapshare "$work/map.expected" "$work/consumer/linked_host_mapshare" "$map"
same loader-host-qrdshare "$work/qrd.expected" "$work/consumer/loader_host" "$root/$libdir/libqrdshare.so.$major" "$qrd"
same loader-host-mapshare "$work/map.expected" "$work/consumer/loader_host" "$root/$libdir/libmapshare.so.$major" "$map"
# A consumer that needs another major version is told the package does not fit.
if cmake -S tests/packaging/consumer -B "$work/consumer-v2" -DCMAKE_PREFIX_PATH="$prefix" -DNS_CONSUMER_NEEDS="$((major + 1)).0" \
     >"$work/consumer-v2.log" 2>&1; then
  fail "find_package(nsapi $((major + 1)).0) accepted version $version"
fi
grep -q "nsapiConfig.cmake, version: $version" "$work/consumer-v2.log" || fail "find_package(nsapi $((major + 1)).0) failed for another reason"
echo "find_package(nsapi $((major + 1)).0) refuses version $version"

step "Windows zip: file list, exports and imports"
expected_zip="CHANGELOG.md
COPYRIGHT.txt
README.txt
include/nsapi/nsapi.h
include/nsapi/nsapi_loader.h
x64/mapshare.dll
x64/nsdump.exe
x64/qrdshare.dll
x86/mapshare.dll"
listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
[ "$listed" = "$expected_zip" ] || { diff <(echo "$expected_zip") <(echo "$listed") >&2; fail "zip files differ (< expected, > zipped)"; }
unzip -q "$zip" -d "$work/zip"
bash scripts/check-windows-binary.sh x86_64-w64-mingw32 "$work/zip/x64/qrdshare.dll" --exports
bash scripts/check-windows-binary.sh x86_64-w64-mingw32 "$work/zip/x64/mapshare.dll" --exports
bash scripts/check-windows-binary.sh x86_64-w64-mingw32 "$work/zip/x64/nsdump.exe"
# The zip's DLLs are stripped, so their symbols cannot show the __stdcall
# convention; the Windows stage checks it on the same build before stripping.
bash scripts/check-windows-binary.sh i686-w64-mingw32 "$work/zip/x86/mapshare.dll" --exports
cmp -s include/nsapi/nsapi.h "$work/zip/include/nsapi/nsapi.h" || fail "the zip's nsapi.h is not the source's"
grep -q "loadlibrary" "$work/zip/README.txt" && grep -q "ctypes" "$work/zip/README.txt" || fail "README.txt lacks the MATLAB or ctypes part"
grep -q "@VERSION@" "$work/zip/README.txt" && fail "README.txt still holds @VERSION@"
# The version resource holds the version as UTF-16 text.
utf16_version=""
for ((i = 0; i < ${#version}; i++)); do
  c=${version:i:1}
  [ "$c" = . ] && c='\.'
  utf16_version+="$c\\x00"
done
for dll in x64/qrdshare.dll x64/mapshare.dll x64/nsdump.exe x86/mapshare.dll; do
  LC_ALL=C grep -qaP "F\\x00i\\x00l\\x00e\\x00V\\x00e\\x00r\\x00s\\x00i\\x00o\\x00n\\x00\\x00\\x00(\\x00\\x00)?$utf16_version" "$work/zip/$dll" ||
    fail "$dll carries no FileVersion $version in a version resource"
done
echo "$zip: $(wc -l <<<"$listed") files, exports, imports and version resources as expected"

if [ -f pyproject.toml ]; then
  step "Python wheel: version, libraries and tools inside"
  wheel=$(ls "$DIST"/nsread-"$version"-*.whl 2>/dev/null) || fail "no nsread $version wheel in $DIST"
  unzip -q "$wheel" -d "$work/wheel"
  for file in nsread/lib/libqrdshare.so nsread/lib/libmapshare.so nsread/bin/nsdump nsread/bin/qrdmerge; do
    [ -f "$work/wheel/$file" ] || fail "$(basename "$wheel") lacks $file"
  done
  [ "$("$work/wheel/nsread/bin/nsdump" --version)" = "nsdump $version" ] || fail "the wheel's nsdump --version"
  "$work/wheel/nsread/bin/nsdump" "$qrd" >/dev/null || fail "the wheel's nsdump cannot read $qrd with the wheel's library"
  echo "$(basename "$wheel"): both libraries, nsdump and qrdmerge; its nsdump reads $qrd"
fi

step "packages passed"
