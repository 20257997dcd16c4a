"""Speed and memory of ``nsread convert`` next to a plain copy, in one run.

Writes the QRD recording of qrd_channels_bench (64 electrode channels and one
digital channel at 25 kHz, about 1 GB; bench/qrd_channels_recording writes
it), copies it with ``cp``, converts it to NWB without compression and with
gzip, each in a fresh process, and prints the times, the ratio of the
uncompressed conversion to the copy, the gzip throughput, the file sizes and
each process's peak resident memory.  A few windows of every output are read
back and compared with the recording.  ``--memory-size-mb`` adds an
uncompressed conversion of a second, larger recording (2 GB for the
peak-memory figure).

  python bench/nsread_convert_bench.py [--size-mb N | --file REC] [--memory-size-mb N]
                                       [--writer PROGRAM] [--library LIB] [--dir D] [--keep]
"""

from __future__ import annotations

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]


def run_child(command: list[str]) -> tuple[float, float]:
    """Run a command; return its wall time in seconds and its peak resident memory in MB."""
    start = time.perf_counter()
    proc = subprocess.Popen(command)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise SystemExit(f"{' '.join(command)} failed with exit code {proc.returncode}")
    return elapsed, usage.ru_maxrss / 1024.0


def warm(path: Path) -> None:
    """Read the file once so that copy and conversions all start from the page cache."""
    with open(path, "rb") as f:
        while f.read(16 << 20):
            pass


def convert(rec: Path, out: Path, compression: str, library: str | None) -> tuple[float, float]:
    command = [sys.executable, "-m", "nsread", "convert", str(rec), str(out), "--compression", compression,
               "--overwrite", "--quiet"]
    if library:
        command += ["--library", library]
    return run_child(command)


def check(rec: Path, out: Path, library: str | None) -> None:
    """Compare a few windows of the NWB file with the recording."""
    import numpy as np
    from pynwb import NWBHDF5IO

    import nsread

    with nsread.open(rec, library) as r, NWBHDF5IO(str(out), "r") as io:
        series = io.read().acquisition["ElectricalSeries"]
        block = next(b for b in r.blocks() if b.entities[0].is_electrode)
        n = block.shape[0]
        for start in (0, n // 2, n - 1000):
            want = block.read(start, start + 1000)
            got = series.data[start:start + 1000, :] * series.conversion + series.offset
            if not np.array_equal(got, want):
                raise SystemExit(f"{out}: values differ from the recording at sample {start}")


def write_recording(writer: Path, path: Path, size_mb: int) -> None:
    subprocess.run([str(writer), "--size-mb", str(size_mb), str(path)], check=True, stdout=subprocess.DEVNULL)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size-mb", type=int, default=1024, help="size of the recording to write (1024)")
    parser.add_argument("--file", type=Path, help="convert this recording instead of writing one")
    parser.add_argument("--memory-size-mb", type=int, default=0,
                        help="also convert a recording of this size for the peak memory (e.g. 2048)")
    build = Path(os.environ.get("NS_BUILD_DIR", REPO / "build"))
    parser.add_argument("--writer", type=Path, default=build / "bench" / "qrd_channels_recording",
                        help="the recording writer (default $NS_BUILD_DIR/bench/qrd_channels_recording)")
    parser.add_argument("--library", help="Neuroshare library to read with (default: nsread's for .qrd)")
    parser.add_argument("--dir", type=Path, help="folder for the files (default: a temporary folder)")
    parser.add_argument("--keep", action="store_true", help="keep the files")
    args = parser.parse_args()

    folder = Path(tempfile.mkdtemp(prefix="nsread_convert_bench_", dir=args.dir))
    try:
        rec = args.file or folder / "bench.qrd"
        if args.file is None:
            write_recording(args.writer, rec, args.size_mb)
        size = rec.stat().st_size / 1e6
        warm(rec)
        copy_s, _ = run_child(["cp", str(rec), str(folder / "copy.qrd")])
        (folder / "copy.qrd").unlink()
        none_s, none_mb = convert(rec, folder / "none.nwb", "none", args.library)
        gzip_s, gzip_mb = convert(rec, folder / "gzip.nwb", "gzip", args.library)
        check(rec, folder / "none.nwb", args.library)
        check(rec, folder / "gzip.nwb", args.library)
        print(f"recording           {size:9.1f} MB  {rec.name}")
        print(f"cp                  {copy_s:9.2f} s   {size / copy_s:8.1f} MB/s")
        print(f"convert, none       {none_s:9.2f} s   {size / none_s:8.1f} MB/s  {none_s / copy_s:5.1f}x cp  "
              f"file {(folder / 'none.nwb').stat().st_size / 1e6:9.1f} MB  peak {none_mb:6.0f} MB")
        print(f"convert, gzip       {gzip_s:9.2f} s   {size / gzip_s:8.1f} MB/s  {gzip_s / copy_s:5.1f}x cp  "
              f"file {(folder / 'gzip.nwb').stat().st_size / 1e6:9.1f} MB  peak {gzip_mb:6.0f} MB")
        if args.memory_size_mb:
            for name in ("none.nwb", "gzip.nwb"):
                (folder / name).unlink()
            big = folder / "memory.qrd"
            write_recording(args.writer, big, args.memory_size_mb)
            big_s, big_mb = convert(big, folder / "memory.nwb", "none", args.library)
            check(big, folder / "memory.nwb", args.library)
            print(f"convert {big.stat().st_size / 1e6:7.0f} MB, none  {big_s:7.2f} s   "
                  f"{big.stat().st_size / 1e6 / big_s:8.1f} MB/s  peak {big_mb:6.0f} MB")
    finally:
        if args.keep:
            print(f"files kept in {folder}")
        else:
            shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
