"""Threads reading one recording, the text decoding, and the nsread command."""

from __future__ import annotations

import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import nsread
from nsread.text import decode


def test_threads_read_what_one_thread_reads(continuous_qrd, spikes_qrd, map_sample):
    with nsread.open(continuous_qrd) as mea, nsread.open(spikes_qrd) as spk, nsread.open(map_sample) as mp:
        block = mea.blocks()[0]
        jobs = [
            lambda: block[10_000:30_000, ::3],
            lambda: mea.entity(61).read(),
            lambda: spk.entity(1).read().waveforms,
            lambda: mp.entity("Analog 2").read(),
            lambda: mp.entity("Level 3").read().waveforms,
            lambda: np.array([mea.entity(5).time_of(i) for i in range(0, 75_000, 997)]),
            lambda: block.read(0, 40_000, list(range(0, 60, 2)), workers=3),
        ]
        alone = [job() for job in jobs]
        with ThreadPoolExecutor(8) as pool:
            together = list(pool.map(lambda k: jobs[k % len(jobs)](), range(8 * len(jobs))))
        for k, got in enumerate(together):
            want = alone[k % len(jobs)]
            if want.dtype.names:
                assert (got == want).all()
            else:
                np.testing.assert_array_equal(got, want)


def test_close_waits_for_reads_in_progress(continuous_qrd):
    rec = nsread.open(continuous_qrd)
    block = rec.blocks()[0]
    with ThreadPoolExecutor(4) as pool:
        reads = [pool.submit(block.read, 0, 75_000) for _ in range(4)]
        closer = pool.submit(rec.close)
        closer.result()
        for r in reads:
            try:
                assert r.result().shape == (75_000, 60)
            except nsread.RecordingClosedError:
                pass  # started after the close
    assert rec.closed


@pytest.mark.parametrize("raw, text", [
    (b"plain", "plain"),
    ("café µV".encode(), "café µV"),
    (b"caf\xe9 \x80", "café €"),
    (b"\xff\x81", "ÿ\ufffd"),
    (b"", ""),
])
def test_decode_never_raises(raw, text):
    assert decode(raw) == text


def _nsread(*args: str) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-m", "nsread", *args], capture_output=True, text=True, timeout=60)


def test_command_info_and_errors(continuous_qrd, map_sample, tmp_path):
    out = _nsread("info", str(continuous_qrd), str(map_sample))
    assert out.returncode == 0, out.stderr
    assert "MEA cont El,Di" in out.stdout and "Velmora" in out.stdout
    assert "block  75000 samples x 60 channels at 25000 Hz" in out.stdout
    assert "(time zone not recorded)" in out.stdout
    missing = _nsread("info", str(tmp_path / "missing.qrd"))
    assert missing.returncode == 1
    assert missing.stderr.startswith("nsread: ns_OpenFile failed: ns_FILEERROR (-3)")
    assert _nsread("info", "--bogus", str(map_sample)).returncode == 2
    assert _nsread("--version").stdout.startswith("nsread ")
    helped = _nsread("--help")
    assert helped.returncode == 0 and "info" in helped.stdout
