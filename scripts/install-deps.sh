#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and fuzzing need.
# qemu-user runs the 32-bit tests on machines that cannot execute 32-bit
# programs; python3 runs the ctypes host test.  The Python package nsread
# goes into a virtual environment .venv in the repository (Debian's system
# Python refuses pip install): activate it with `. .venv/bin/activate`.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
# lintian, dpkg-dev (dpkg-shlibdeps), pkgconf and unzip: building and checking
# the release packages (scripts/package.sh, scripts/test-packages.sh).
$SUDO apt-get install -y -qq --no-install-recommends \
  cmake make g++ g++-multilib clang libclang-rt-dev \
  libgtest-dev googletest libbenchmark-dev libsimpleini-dev \
  qemu-user python3 lintian dpkg-dev pkgconf unzip >/dev/null
# Windows DLLs: MinGW-w64 cross compilers (posix threads) and Wine to run the
# cross-built tests.
$SUDO apt-get install -y -qq --no-install-recommends \
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64 wine64 >/dev/null
# Python: nsread with its test, NWB and plot dependencies in .venv (created
# once; later runs bring the installed package up to date).
$SUDO apt-get install -y -qq --no-install-recommends python3-venv python3-pip >/dev/null
cd "$(dirname "$0")/.."
if [ ! -x .venv/bin/python ]; then python3 -m venv .venv; fi
.venv/bin/pip install -q "scikit-build-core>=0.10" ruff
.venv/bin/pip install -q "./[test,nwb,plot]"
