"""nsread against the same Neuroshare calls made from C++, in one run.

Reads every analog channel of the QRD recording of qrd_channels_bench (64
electrode channels and one digital channel at 25 kHz, about 1 GB) through
nsread and through bench/qrd_nsread_reference (C++, dlopen), pattern by
pattern, each in a fresh process that opens the file, reads and closes it:

  window    every channel for one 1-s window, then the next window
            (nsread: SignalBlock.read(a, b, out=<reused Fortran-ordered array>));
  channels  each channel whole, one call per channel, into one reused buffer
            (nsread: AnalogEntity.read(out=<reused array>));
  whole     each channel whole into its column of one (samples x channels)
            array (nsread: np.asarray(block)); also with workers=2.

Both sides load the same library file (nsread's bundled libqrdshare.so unless
--library says otherwise).  The figure per pattern is the fastest of
--repeats runs; the ratio is nsread's time over C++'s.  Peak memory is the
process's peak resident size, for nsread above what the process held after
importing numpy and nsread, next to the size of the arrays the pattern
returns.

  python bench/nsread_bench.py [--size-mb N | --file REC] [--reference PROGRAM] [--library LIB]
                               [--repeats N] [--dir D] [--keep]
"""

from __future__ import annotations

import argparse
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
PATTERNS = ("window", "channels", "whole", "whole-workers2")
WINDOW = 25_000


def _peak_kib() -> int:
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def child(pattern: str, path: str, library: str) -> dict:
    """One pattern through nsread, in this process."""
    import numpy as np

    import nsread

    baseline = _peak_kib()
    checksum = 0.0
    returned = 0
    t0 = time.perf_counter()
    with nsread.open(path, library) as rec:
        blocks = rec.blocks()
        if pattern == "window":
            outs = [np.empty((WINDOW, b.shape[1]), order="F") for b in blocks]
            items = blocks[0].shape[0]
            for a in range(0, items, WINDOW):
                n = min(WINDOW, items - a)
                for b, out in zip(blocks, outs, strict=True):
                    b.read(a, a + n, out=out[:n])
                checksum += outs[0][0, 0] + outs[-1][n - 1, -1]
            returned = sum(o.nbytes for o in outs)
        elif pattern == "channels":
            entities = [e for b in blocks for e in b.entities]
            out = np.empty(entities[0].item_count)
            for e in entities:
                e.read(out=out)
                checksum += out[0] + out[-1]
            returned = out.nbytes
        else:
            workers = 2 if pattern == "whole-workers2" else None
            arrays = [b.read(workers=workers) for b in blocks]
            for arr in arrays:
                checksum += float(arr[0].sum() + arr[-1].sum())
            returned = sum(a.nbytes for a in arrays)
    seconds = time.perf_counter() - t0
    return {"seconds": seconds, "peak_kib": _peak_kib(), "baseline_kib": baseline, "checksum": checksum,
            "returned_bytes": returned}


def run_nsread(pattern: str, path: Path, library: str) -> dict:
    out = subprocess.run([sys.executable, __file__, "--child", pattern, "--library", library, str(path)],
                         check=True, capture_output=True, text=True)
    return json.loads(out.stdout)


def run_reference(program: Path, pattern: str, path: Path, library: str) -> dict:
    cxx_pattern = "whole" if pattern.startswith("whole") else pattern
    out = subprocess.run([str(program), "--lib", library, "--pattern", cxx_pattern, str(path)],
                         check=True, capture_output=True, text=True)
    seconds, peak, checksum = out.stdout.split()
    return {"seconds": float(seconds), "peak_kib": int(peak), "checksum": float(checksum)}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--size-mb", type=int, default=1024, help="size of the recording to write (1024)")
    parser.add_argument("--file", type=Path, help="read this recording instead of writing one")
    bench_dir = Path(os.environ.get("NS_BUILD_DIR", REPO / "build")) / "bench"
    parser.add_argument("--reference", type=Path, default=bench_dir / "qrd_nsread_reference",
                        help="the C++ program (default $NS_BUILD_DIR/bench/qrd_nsread_reference)")
    parser.add_argument("--writer", type=Path, default=bench_dir / "qrd_channels_recording",
                        help="the recording writer (default $NS_BUILD_DIR/bench/qrd_channels_recording)")
    parser.add_argument("--library", help="the libqrdshare.so both sides load (default: nsread's bundled one)")
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--patterns", default=",".join(PATTERNS))
    parser.add_argument("--dir", help="folder for the written recording (default: a temporary folder)")
    parser.add_argument("--keep", action="store_true", help="keep the written recording")
    parser.add_argument("--child", help=argparse.SUPPRESS)
    parser.add_argument("recording", nargs="?", help=argparse.SUPPRESS)
    args = parser.parse_args()

    if args.child:
        print(json.dumps(child(args.child, args.recording, args.library)))
        return 0

    from nsread.library import bundled_library_path

    library = os.path.realpath(args.library or bundled_library_path("qrd"))
    if not args.reference.is_file():
        print(f"nsread_bench: {args.reference} is not built (cmake --build <build> --target qrd_nsread_reference)",
              file=sys.stderr)
        return 1
    folder = None
    if args.file:
        path = args.file
    else:
        folder = Path(tempfile.mkdtemp(prefix="nsread_bench_", dir=args.dir))
        path = folder / "bench.qrd"
        t0 = time.perf_counter()
        subprocess.run([str(args.writer), "--size-mb", str(args.size_mb), str(path)], check=True,
                       capture_output=True)
        print(f"wrote {path} in {time.perf_counter() - t0:.1f} s")
    try:
        size_mb = path.stat().st_size / 1e6
        with open(path, "rb") as f:  # into the page cache
            while f.read(1 << 24):
                pass
        print(f"recording: {size_mb:.1f} MB; library: {library}")
        print(f"{'pattern':16s} {'C++ s':>8s} {'nsread s':>9s} {'ratio':>6s} {'C++ peak MB':>12s} "
              f"{'nsread peak MB':>15s} {'above import':>13s} {'returned MB':>12s}")
        worst = 0.0
        for pattern in args.patterns.split(","):
            cxx, py = [], []
            for _ in range(args.repeats):  # in turns, so both sides see the same machine
                cxx.append(run_reference(args.reference, pattern, path, library))
                py.append(run_nsread(pattern, path, library))
            if abs(cxx[0]["checksum"] - py[0]["checksum"]) > 1e-6 * max(1.0, abs(cxx[0]["checksum"])):
                print(f"{pattern}: checksums differ: C++ {cxx[0]['checksum']!r}, nsread {py[0]['checksum']!r}")
                return 1
            c = min(r["seconds"] for r in cxx)
            p = min(r["seconds"] for r in py)
            peak_c = max(r["peak_kib"] for r in cxx) / 1024
            peak_p = max(r["peak_kib"] for r in py) / 1024
            above = max(r["peak_kib"] - r["baseline_kib"] for r in py) / 1024
            returned = py[0]["returned_bytes"] / 2**20
            worst = max(worst, p / c)
            print(f"{pattern:16s} {c:8.3f} {p:9.3f} {p / c:6.2f} {peak_c:12.0f} {peak_p:15.0f} {above:13.0f} "
                  f"{returned:12.0f}", flush=True)
        print(f"\nworst ratio {worst:.2f} (target <= 1.2); MB are MiB")
    finally:
        if folder is not None and not args.keep:
            shutil.rmtree(folder, ignore_errors=True)
        elif folder is not None:
            print(f"kept {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
