#!/usr/bin/env bash
# Builds the release packages into dist/:
#   neuroshare-readers_<version>-1_amd64.deb   Debian package (CPack) of the
#       libraries, nsdump, qrdmerge, headers, nsapi.pc and the CMake package
#       configuration, from a Release build in build-package/ (prefix /usr);
#   neuroshare-readers-<version>-windows.zip   x64/qrdshare.dll, x64/mapshare.dll,
#       x64/nsdump.exe, x86/mapshare.dll, include/nsapi/*.h, README.txt,
#       CHANGELOG.md and COPYRIGHT.txt, from the MinGW-w64 builds of the Windows test stage
#       (build-win64/, build-win32/; configured here as that stage does when
#       they are missing, so they are never built twice);
#   the Python wheel of nsread, when pyproject.toml exists.
# Environment: JOBS (default: number of processors), PACKAGE_BUILD
# (build-package), WIN64_BUILD (build-win64), WIN32_BUILD (build-win32),
# DIST (dist), PYTHON (.venv/bin/python, else python3).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
PACKAGE_BUILD=${PACKAGE_BUILD:-build-package}
WIN64_BUILD=${WIN64_BUILD:-build-win64}
WIN32_BUILD=${WIN32_BUILD:-build-win32}
DIST=${DIST:-dist}
if [ -z "${PYTHON:-}" ]; then
  if [ -x .venv/bin/python ]; then PYTHON=.venv/bin/python; else PYTHON=python3; fi
fi

step() { printf '\n==== %s ====\n' "$*"; }

step "Debian package: Release build with prefix /usr ($PACKAGE_BUILD)"
# Optimised as the release test build (-O2; GCC 12 at -O3 warns falsely about
# vector inserts); CPack strips the binaries.
build_type=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG")
# Linked as Debian links its packages: read-only relocations, bound at load.
hardening="-Wl,-z,relro -Wl,-z,now"
cmake --no-warn-unused-cli -S . -B "$PACKAGE_BUILD" "${build_type[@]}" -DCMAKE_INSTALL_PREFIX=/usr -DNS_WERROR=ON \
  "-DCMAKE_EXE_LINKER_FLAGS=$hardening" "-DCMAKE_SHARED_LINKER_FLAGS=$hardening" \
  -DNS_BUILD_TESTS=OFF -DNS_BUILD_BENCH=OFF >/dev/null
cmake --build "$PACKAGE_BUILD" -j "$JOBS"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$PACKAGE_BUILD/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $PACKAGE_BUILD/CMakeCache.txt" >&2; exit 1; }
mkdir -p "$DIST"
rm -f "$DIST"/neuroshare-readers_*.deb "$DIST"/neuroshare-readers-*-windows.zip "$DIST"/nsread-*.whl
# CPack's own work folders stay in the build folder; only the package goes
# to dist/.
(cd "$PACKAGE_BUILD" && cpack -G DEB -B "$PWD/cpack" >/dev/null)
deb=$(ls "$PACKAGE_BUILD"/cpack/neuroshare-readers_"$version"-*_amd64.deb)
cp "$deb" "$DIST/"
echo "$DIST/$(basename "$deb")"

step "Windows zip: MinGW-w64 builds ($WIN64_BUILD, $WIN32_BUILD)"
# The same configuration as scripts/test-windows.sh, so that stage and this
# one share their build folders; only the targets the zip needs are built.
if [ ! -f "$WIN64_BUILD/CMakeCache.txt" ]; then
  cmake --no-warn-unused-cli -S . -B "$WIN64_BUILD" --toolchain cmake/mingw-w64-x86_64.cmake "${build_type[@]}" -DNS_WERROR=ON >/dev/null
fi
if [ ! -f "$WIN32_BUILD/CMakeCache.txt" ]; then
  cmake --no-warn-unused-cli -S . -B "$WIN32_BUILD" --toolchain cmake/mingw-w64-i686.cmake "${build_type[@]}" -DNS_WERROR=ON \
    -DNS_MAPSHARE_ONLY=ON -DNS_BUILD_TESTS=ON >/dev/null
fi
cmake --build "$WIN64_BUILD" -j "$JOBS" --target qrdshare mapshare nsdump
cmake --build "$WIN32_BUILD" -j "$JOBS" --target mapshare

stage="$PACKAGE_BUILD/windows-zip"
rm -rf "$stage" "$PACKAGE_BUILD/windows-install"
# Each build installs what it has (DLLs and nsdump.exe in bin/, stripped);
# the zip takes them into one folder per architecture.
for build in "$WIN64_BUILD:x64" "$WIN32_BUILD:x86"; do
  folder=${build%%:*} arch=${build##*:}
  prefix="$PACKAGE_BUILD/windows-install/$arch"
  for component in Runtime Tools; do
    cmake --install "$folder" --prefix "$prefix" --component "$component" --strip >/dev/null
  done
  mkdir -p "$stage/$arch"
  cp "$prefix"/bin/* "$stage/$arch/"
done
mkdir -p "$stage/include/nsapi"
cp include/nsapi/nsapi.h include/nsapi/nsapi_loader.h "$stage/include/nsapi/"
sed "s/@VERSION@/$version/g" packaging/windows/README.txt.in >"$stage/README.txt"
cp CHANGELOG.md "$stage/"
# The copyright and licence notices (the DLLs include SimpleIni's code).
cp packaging/debian/copyright "$stage/COPYRIGHT.txt"
zip="neuroshare-readers-$version-windows.zip"
(cd "$stage" && cmake -E tar cf "../$zip" --format=zip -- README.txt CHANGELOG.md COPYRIGHT.txt include x64 x86)
mv "$PACKAGE_BUILD/$zip" "$DIST/"
echo "$DIST/$zip"

if [ -f pyproject.toml ]; then
  step "Python wheel of nsread"
  if ! "$PYTHON" -m pip wheel --no-deps --no-build-isolation . -w "$DIST"; then
    echo "building the nsread wheel failed" >&2
    exit 1
  fi
else
  echo "no pyproject.toml: no Python wheel"
fi

step "packages in $DIST"
ls -l "$DIST"
