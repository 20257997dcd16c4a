"""The ``nsdump`` and ``qrdmerge`` commands of the wheel.

The programs live in ``nsread/bin`` with the libraries in ``nsread/lib``
beside it, where nsdump looks for them; these entry points run them.
"""

from __future__ import annotations

import os
import subprocess
import sys
from pathlib import Path


def _run(name: str) -> int:
    exe = Path(__file__).resolve().parent / "bin" / (name + (".exe" if sys.platform == "win32" else ""))
    if not exe.is_file():
        print(f"{name}: not installed with this nsread ({exe} is missing)", file=sys.stderr)
        return 1
    args = [str(exe), *sys.argv[1:]]
    if sys.platform == "win32":
        return subprocess.call(args)
    os.execv(args[0], args)  # the program takes over this process (signals, exit status)
    return 1  # not reached


def nsdump() -> int:
    """Run the bundled nsdump."""
    return _run("nsdump")


def qrdmerge() -> int:
    """Run the bundled qrdmerge."""
    return _run("qrdmerge")
