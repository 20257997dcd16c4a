#!/usr/bin/env bash
# Every command answers as users expect of a command-line tool:
#   --help     usage on standard output, nothing on standard error, status 0
#   --version  "<tool> <release version>" and status 0
#   --bogus    usage on standard error, nothing on standard output, status 2
# and none of these writes a file: each tool runs in an empty folder that
# must stay empty (qrdsample and mapsample once made a folder named --help).
# The folder tools also refuse a missing or second folder with status 2 and
# still reach a folder whose name starts with '-' after "--".
#
#   command_line_conventions_test.sh <version> <nsdump> <qrdmerge> <qrdsample> <mapsample>
set -uo pipefail
version=$1
shift
# The tools run in a folder of their own: make their paths absolute.
tools=()
for tool in "$@"; do tools+=("$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")"); done
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run <tool> <args...>: status, standard output and error in $status, $out,
# $err; run inside the empty folder $work/cwd.
run() {
  local tool=$1
  shift
  rm -rf "$work/cwd" && mkdir "$work/cwd"
  status=0
  (cd "$work/cwd" && "$tool" "$@") >"$work/out" 2>"$work/err" || status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
  left=$(ls -A "$work/cwd")
}

for tool in "${tools[@]}"; do
  name=$(basename "$tool")
  for help in --help -h; do
    run "$tool" "$help"
    [ "$status" = 0 ] || fail "$name $help: status $status, not 0"
    [[ $out == "usage: $name"* ]] || fail "$name $help: standard output does not start with 'usage: $name': $out"
    [ -z "$err" ] || fail "$name $help: wrote to standard error: $err"
    [ -z "$left" ] || fail "$name $help: left files behind: $left"
  done

  run "$tool" --version
  [ "$status" = 0 ] || fail "$name --version: status $status, not 0"
  [ "$out" = "$name $version" ] || fail "$name --version: '$out', not '$name $version'"
  [ -z "$err" ] || fail "$name --version: wrote to standard error: $err"
  [ -z "$left" ] || fail "$name --version: left files behind: $left"

  for bogus in --bogus -x --help=yes; do
    run "$tool" "$bogus" some-folder
    [ "$status" = 2 ] || fail "$name $bogus: status $status, not 2"
    [ -z "$out" ] || fail "$name $bogus: wrote to standard output: $out"
    grep -q "usage: $name" <<<"$err" || fail "$name $bogus: no usage on standard error: $err"
    grep -q -- "$bogus" <<<"$err" || fail "$name $bogus: the message does not name the option: $err"
    [ -z "$left" ] || fail "$name $bogus: left files behind: $left"
  done

  case $name in
    qrdsample | mapsample)
      for args in "" "one two"; do
        # shellcheck disable=SC2086
        run "$tool" $args
        [ "$status" = 2 ] || fail "$name '$args': status $status, not 2"
        grep -q "usage: $name" <<<"$err" || fail "$name '$args': no usage on standard error: $err"
        [ -z "$left" ] || fail "$name '$args': left files behind: $left"
      done
      run "$tool" -- -dashed
      [ "$status" = 0 ] || fail "$name -- -dashed: status $status, not 0: $err"
      [ "$left" = "-dashed" ] || fail "$name -- -dashed: made '$left', not the folder -dashed"
      [ -n "$(ls -A "$work/cwd/-dashed" 2>/dev/null)" ] || fail "$name -- -dashed: wrote no recording"
      ;;
  esac
done

if [ "$failures" != 0 ]; then
  echo "$failures failures" >&2
  exit 1
fi
echo "command-line conventions hold for $# tools"
