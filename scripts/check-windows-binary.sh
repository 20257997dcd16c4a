#!/usr/bin/env bash
# Checks a cross-built Windows DLL or program with the MinGW-w64 binutils:
#   - it imports only DLLs that every Windows has (the C++ runtime, libgcc
#     and winpthread are linked in), so a user copies one file;
#   - with --exports: its export table holds exactly the seventeen ns_
#     functions of include/nsapi/nsapi.h and DllMain, by their plain names;
#   - with --stdcall: each of those functions is a __stdcall function (its
#     symbol carries the @<argument bytes> suffix), as 32-bit hosts call them.
#
#   scripts/check-windows-binary.sh <target triplet> <file> [--exports] [--stdcall]
#   e.g. scripts/check-windows-binary.sh i686-w64-mingw32 build-win32/src/mapshare/mapshare.dll --exports --stdcall
set -euo pipefail
cd "$(dirname "$0")/.."

triplet=$1 file=$2
shift 2
objdump=$triplet-objdump
nm=$triplet-nm
[ -f "$file" ] || { echo "$file: missing" >&2; exit 1; }
failed=0
fail() { echo "$file: $*" >&2; failed=1; }

headers=$("$objdump" -p "$file")

# DLLs of the system itself; anything else would have to be shipped alongside.
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort -u)
while read -r dll; do
  [ -n "$dll" ] || continue
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | advapi32.dll | user32.dll | ntdll.dll) ;;
    *) fail "imports $dll, which is not part of Windows (link it statically)" ;;
  esac
done <<<"$imports"

# The seventeen names, from the declarations hosts compile against.
expected=$( { grep -o 'NSAPI_CALL ns_[A-Za-z]*(' include/nsapi/nsapi.h | sed 's/NSAPI_CALL //; s/(//'; echo DllMain; } | sort)

for option in "$@"; do
  case $option in
    --exports)
      exported=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
      if [ "$exported" != "$expected" ]; then
        fail "export table differs from the seventeen ns_ functions and DllMain:"
        diff <(echo "$expected") <(echo "$exported") >&2 || true
      fi
      ;;
    --stdcall)
      symbols=$("$nm" "$file")
      for name in $expected; do
        grep -Eq " T _$name@[0-9]+$" <<<"$symbols" || fail "$name is not a __stdcall function (no _$name@<n> symbol)"
      done
      ;;
    *) echo "unknown option $option" >&2; exit 2 ;;
  esac
done

if [ "$failed" = 0 ]; then
  checks=" imports ($(paste -sd' ' <<<"$imports"))"
  for option in "$@"; do checks+=", ${option#--}"; done
  echo "$file: ok:$checks"
fi
exit "$failed"
