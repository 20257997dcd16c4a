#!/usr/bin/env bash
# The Python package nsread: installs it into .venv (an incremental build in
# build/py-<wheel tag>), checks the sources with ruff and runs the pytest
# suite against the tools of the release build (NS_BUILD_DIR, default build).
#   bash scripts/test-python.sh [pytest options]
set -euo pipefail
cd "$(dirname "$0")/.."
VENV=${VENV:-.venv}
export NS_BUILD_DIR
NS_BUILD_DIR=$(realpath "${NS_BUILD_DIR:-build}")
if [ ! -x "$VENV/bin/python" ]; then
  echo "no virtual environment in $VENV: run scripts/install-deps.sh first" >&2
  exit 1
fi
"$VENV/bin/pip" install -q --no-deps --no-build-isolation .
"$VENV/bin/ruff" check python tests/python bench/*.py
"$VENV/bin/python" -m pytest tests/python -q "$@"
