"""Reads across gaps, samples a library leaves unwritten, and a library other
than ours (a small test library built from fake_library.c)."""

from __future__ import annotations

import shutil
import subprocess
from pathlib import Path

import numpy as np
import pytest

import nsread

HERE = Path(__file__).resolve().parent
REPO = HERE.parents[1]


def test_read_across_sweeps_of_a_triggered_recording(triggered_qrd, nsdump):
    with nsread.open(triggered_qrd) as rec:
        e = rec.entity(1)
        sweep = 5000  # 200 ms at 25 kHz
        assert e.item_count == 5 * sweep
        across = e.read(sweep - 100, 300)
        np.testing.assert_array_equal(across, np.concatenate([e.read(sweep - 100, 100), e.read(sweep, 200)]))
        rows = nsdump(triggered_qrd, 1, "--start", str(sweep - 100), "--count", "300")
        np.testing.assert_allclose(across, [float(r[2]) for r in rows], rtol=1e-9)
        np.testing.assert_array_equal(e.gaps(), [sweep, 2 * sweep, 3 * sweep, 4 * sweep])
        times = e.times(sweep - 2, 4)
        np.testing.assert_allclose(times, [e.time_of(i) for i in range(sweep - 2, sweep + 2)])
        assert times[2] - times[1] > 0.5  # the next sweep starts after a pause
        np.testing.assert_array_equal(rec.blocks()[0][sweep - 100:sweep + 200, 0], across)


def test_map_read_stops_at_a_gap_and_goes_on(map_sample, nsdump):
    with nsread.open(map_sample) as rec:
        e = rec.entity("Analog 2")
        values = e.read()
        assert e.gaps().tolist() == list(range(200, 208))
        # each sample read on its own through the C++ host
        for k in (0, 199, 200, 201, 207):
            row = nsdump(map_sample, e.index, "--start", str(k), "--count", "1")[0]
            assert values[k] == float(row[2]), k
        assert not np.isnan(values).any()


def test_unwritten_segment_samples_are_nan(map_sample):
    with nsread.open(map_sample) as rec:
        level = rec.entity("Level 3")
        assert level.source_count == 2 and level.sources_with_samples == [0]
        seg = level.read()
        assert np.isnan(seg.waveforms[:, 1, :]).all()
        assert not np.isnan(seg.waveforms[:, 0, :]).any()
        assert set(seg.units.tolist()) == {1, 2}  # mapshare reports 1 << unit
        window = rec.entity("Window 4")
        assert window.sources_with_samples == [0]


@pytest.fixture(scope="module")
def fake_library(tmp_path_factory) -> Path:
    cc = shutil.which("cc") or shutil.which("gcc")
    if cc is None:
        pytest.skip("no C compiler")
    out = tmp_path_factory.mktemp("fake") / "libfake.so"
    subprocess.run([cc, "-std=c11", "-shared", "-fPIC", "-Wall", "-Werror", "-I", str(REPO / "include"),
                    "-o", str(out), str(HERE / "fake_library.c")], check=True)
    return out


@pytest.fixture
def fake_recording(tmp_path) -> Path:
    path = tmp_path / "rec.fake"
    path.write_bytes(b"fake")
    return path


def test_another_library_split_reads_and_nan(fake_library, fake_recording):
    lib = nsread.Library(fake_library)
    assert lib.kind == "other" and lib.info.creator == "nsread tests"
    assert nsread.Library(str(fake_library)) is lib
    with nsread.open(fake_recording, library=lib) as rec:
        analog = rec.entity(0)
        assert analog.physical and analog.is_electrode  # units mV
        # every call writes one run of 10: the read goes on after each gap
        np.testing.assert_array_equal(analog.read(5, 40), np.arange(5, 45))
        assert analog.gaps(0, 40).tolist() == [10, 20, 30]
        np.testing.assert_array_equal(rec.blocks()[0][3:27, 0], np.arange(3, 27))
        seg = rec.entity(2).read()
        np.testing.assert_array_equal(seg.waveforms[:, 0, :], [[0, 1, 2, 3], [10, 11, 12, 13]])
        assert np.isnan(seg.waveforms[:, 1, :]).all()
        assert rec.entity(2).sources_with_samples == [0]
        np.testing.assert_array_equal(rec.entity(3).read(1, 3), [1.5, 2.5, 3.5])
        events = rec.entity(1).read()
        assert events["value"].tolist() == ["one", "twö", "three"]
        assert events["time"].tolist() == [1.0, 2.0, 3.0]
        info = rec.info
        assert info.application == "café" and info.raw["application"] == b"caf\xe9"
        assert info.comment == "café €"
        assert info.start_time.isoformat() == "2024-02-29T23:59:58.250000+00:00"
        assert not info.start_time_zone_known
        with pytest.raises(nsread.NeuroshareError) as err:
            analog.time_of(100)
        assert err.value.message.startswith("index out of range") and err.value.call == "ns_GetTimeByIndex"
    with pytest.raises(nsread.NeuroshareError) as err:
        nsread.open(fake_recording.with_suffix(".other"), library=fake_library)
    assert err.value.code == -2 and err.value.message.startswith("not a .fake file")
