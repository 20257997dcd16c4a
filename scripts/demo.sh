#!/usr/bin/env bash
# Builds everything, writes sample recordings with the sample tools into
# ./samples and shows what the reader libraries report for each of them.
#   bash scripts/demo.sh            (BUILD_DIR=build by default)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
SAMPLES=${SAMPLES:-samples}

echo "==== configure and build ($BUILD_DIR)"
cmake -S . -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"

# A tool is looked for where the build puts it: <build>/bin or its own folder.
find_tool() {
  local name=$1
  for candidate in "$BUILD_DIR/bin/$name" "$BUILD_DIR/tools/$name/$name"; do
    if [ -x "$candidate" ]; then echo "$candidate"; return 0; fi
  done
  return 1
}

echo "==== sample recordings ($SAMPLES)"
mkdir -p "$SAMPLES"
for tool in qrdsample mapsample; do
  if path=$(find_tool "$tool"); then
    echo "-- $tool"
    "$path" "$SAMPLES"
  else
    echo "-- $tool not built; skipped"
  fi
done

nsdump=$(find_tool nsdump) || { echo "nsdump was not built" >&2; exit 1; }
shopt -s nullglob nocaseglob
recordings=("$SAMPLES"/*.qrd "$SAMPLES"/*.map)
if [ ${#recordings[@]} -eq 0 ]; then
  echo "no sample recordings in $SAMPLES; showing the library information only"
  "$nsdump" --lib "$BUILD_DIR/src/qrdshare/libqrdshare.so"
  exit 0
fi

echo "==== nsdump"
# One run for all recordings: each library's information is printed once.
"$nsdump" "${recordings[@]}"

# The same recordings in Python through nsread (installed into .venv by
# scripts/install-deps.sh).
if [ -x .venv/bin/nsread ]; then
  echo "==== nsread (Python)"
  .venv/bin/nsread info --no-entities "${recordings[@]}"
  .venv/bin/python - "${recordings[@]}" <<'PY'
import sys
import nsread
for path in sys.argv[1:]:
    with nsread.open(path) as rec:
        for block in rec.blocks():
            first = block[:3, :2]
            print(f"{rec.path}: {block.shape[0]} samples x {block.shape[1]} channels at {block.sample_rate:g} Hz,"
                  f" first samples of {block.channel_labels[0]!r}: {first[:, 0].tolist()}")
PY
else
  echo "==== nsread not installed in .venv (run scripts/install-deps.sh); skipped"
fi
