"""The overview envelope of a long recording against reading every channel through nsread.

Writes (or takes with ``--file``) the QRD recording of ``qrd_channels_bench``
(64 electrode channels and one digital channel at 25 kHz, about 1 GB),
reads it once so that it sits in the page cache, then measures in one run,
each on a freshly opened recording and alternating so that neither pattern
gets a warmer machine:

  read       every channel through nsread: each signal block in 1-s windows
             (``SignalBlock.read`` into one reused buffer);
  envelope   the overview's min/max envelope of every channel
             (``nsread.plot.envelopes``, 2000 bins per channel), which reads
             the next window on a helper thread while it reduces the current
             one where the machine has a core to spare; measured also always
             reading ahead and always on one thread;
  drawn      the envelope drawn as the overview and the electrode array and
             written as a PNG (``nsread plot --kind overview``).

The target is envelope <= 2x read.  Memory: the peak of what Python and numpy
allocate during the envelope (tracemalloc, in a run of its own since it slows
the run) against the recording's size, and the process's peak resident size
(which also holds the library's sample cache, a budget of its own).

Usage: nsread_plot_bench.py [--size-mb N] [--file REC] [--writer PATH] [--runs N] [--dir D] [--keep]
"""

from __future__ import annotations

import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time
import tracemalloc
from pathlib import Path

import numpy as np

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "python"))

import nsread  # noqa: E402
from nsread import plot  # noqa: E402
from nsread.plot import envelope as envelope_module  # noqa: E402

WINDOW_SECONDS = 1.0


def find_writer(given: str | None) -> Path:
    if given:
        return Path(given)
    build = Path(os.environ.get("NS_BUILD_DIR", REPO / "build"))
    return build / "bench" / "qrd_channels_recording"


def plain_read(path: Path) -> float:
    """Seconds for the fastest of three plain reads of the file (1 MiB at a time)."""
    best = float("inf")
    buf = bytearray(1 << 20)
    for _ in range(3):
        start = time.perf_counter()
        with open(path, "rb", buffering=0) as f:
            while f.readinto(buf):
                pass
        best = min(best, time.perf_counter() - start)
    return best


def read_every_channel(path: Path) -> tuple[float, float]:
    """Seconds (wall clock, CPU of the process) to open the recording and read each block whole in 1-s windows."""
    start, cpu = time.perf_counter(), time.process_time()
    with nsread.open(path) as rec:
        for block in rec.blocks():
            window = max(1, round(block.sample_rate * WINDOW_SECONDS))
            n, channels = block.shape
            buffer = np.empty((window, channels), order="F")
            for first in range(0, n, window):
                last = min(first + window, n)
                block.read(first, last, out=buffer[: last - first])
    return time.perf_counter() - start, time.process_time() - cpu


def envelope(path: Path, *, trace_memory: bool = False) -> tuple[float, float, int]:
    """Seconds (wall clock, CPU of the process) to open the recording and compute every channel's envelope.

    With ``trace_memory`` also the peak of what Python and numpy allocated
    meanwhile (tracemalloc slows the run, so timed runs leave it off).
    """
    if trace_memory:
        tracemalloc.start()
    start, cpu = time.perf_counter(), time.process_time()
    with nsread.open(path) as rec:
        envs = plot.envelopes(rec)
    seconds, cpu = time.perf_counter() - start, time.process_time() - cpu
    peak = 0
    if trace_memory:
        _, peak = tracemalloc.get_traced_memory()
        tracemalloc.stop()
    assert len(envs) == 65 and all(e.low.size == e.high.size > 0 for e in envs)
    return seconds, cpu, peak


def drawn(path: Path, folder: Path) -> float:
    start = time.perf_counter()
    code = nsread.cli.main(["plot", str(path), "-o", str(folder / "overview.png"), "--kind", "overview"])
    if code != 0:
        raise SystemExit("nsread plot failed")
    return time.perf_counter() - start


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size-mb", type=int, default=1024)
    parser.add_argument("--file", help="an existing recording written by qrd_channels_recording")
    parser.add_argument("--writer", help="the qrd_channels_recording program (default: $NS_BUILD_DIR/bench/)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--dir", default=None, help="folder for the recording (default: the temporary folder)")
    parser.add_argument("--keep", action="store_true", help="keep the recording written")
    args = parser.parse_args()

    import nsread.cli  # noqa: F401  (for drawn())

    folder = Path(tempfile.mkdtemp(prefix="nsread_plot_bench_", dir=args.dir))
    try:
        if args.file:
            path = Path(args.file)
        else:
            path = folder / "bench.qrd"
            writer = find_writer(args.writer)
            if not writer.is_file():
                raise SystemExit(f"{writer} is not built: build the bench target qrd_channels_recording "
                                 "or give --writer/--file")
            t = time.perf_counter()
            subprocess.run([writer, "--size-mb", str(args.size_mb), path], check=True, stdout=subprocess.DEVNULL)
            print(f"wrote {path} in {time.perf_counter() - t:.1f} s")
        size = path.stat().st_size
        plain = plain_read(path)
        print(f"recording: {size / 1e6:.1f} MB; plain read {size / 1e6 / plain:,.0f} MB/s ({plain:.3f} s)")

        reads, envs, ahead, alone = [], [], [], []
        for run in range(args.runs):
            reads.append(read_every_channel(path))
            for setting, into in ((None, envs), (True, ahead), (False, alone)):
                envelope_module.READ_AHEAD = setting
                into.append(envelope(path)[:2])
            envelope_module.READ_AHEAD = None
            print(f"run {run + 1}: read every channel {reads[-1][0]:.3f} s; envelope {envs[-1][0]:.3f} s "
                  f"({envs[-1][0] / reads[-1][0]:.2f}x), reading ahead {ahead[-1][0]:.3f} s "
                  f"({ahead[-1][0] / reads[-1][0]:.2f}x), on one thread {alone[-1][0]:.3f} s "
                  f"({alone[-1][0] / reads[-1][0]:.2f}x); load average {os.getloadavg()[0]:.1f}")
        best_read, best_env, best_ahead, best_alone = (min(t[0] for t in r) for r in (reads, envs, ahead, alone))
        cpu_read, cpu_env, cpu_ahead, cpu_alone = (min(t[1] for t in r) for r in (reads, envs, ahead, alone))
        ratio = best_env / best_read
        peak = envelope(path, trace_memory=True)[2]
        draw = drawn(path, folder)
        rss = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
        print(f"\nbest of {args.runs} runs (wall clock; CPU time of the process):")
        print(f"read every channel (1-s windows): {best_read:.3f} s, {size / 1e6 / best_read:,.0f} MB/s of file; "
              f"CPU {cpu_read:.3f} s")
        print(f"overview envelope:                {best_env:.3f} s, {size / 1e6 / best_env:,.0f} MB/s of file, "
              f"{ratio:.2f}x the read (target <= 2x); CPU {cpu_env:.3f} s")
        print(f"  always reading ahead:           {best_ahead:.3f} s, {best_ahead / best_read:.2f}x the read; "
              f"CPU {cpu_ahead:.3f} s ({cpu_ahead / cpu_read:.2f}x)")
        print(f"  on one thread:                  {best_alone:.3f} s, {best_alone / best_read:.2f}x the read; "
              f"CPU {cpu_alone:.3f} s ({cpu_alone / cpu_read:.2f}x)")
        print(f"nsread plot --kind overview (envelope, drawing, PNG): {draw:.3f} s")
        print(f"peak allocated by Python/numpy during the envelope: {peak / 2**20:.1f} MiB "
              f"({peak / size:.2%} of the recording); process peak resident size {rss:.0f} MiB")
        return 0 if ratio <= 2.0 else 1
    finally:
        if args.keep:
            print(f"kept {folder}")
        else:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
