"""Converting through a library nsread does not know: its values are taken at their word."""

from __future__ import annotations

import shutil
import subprocess
from pathlib import Path

import numpy as np
import pytest

pytest.importorskip("pynwb")

from pynwb import NWBHDF5IO, validate  # noqa: E402

import nsread  # noqa: E402
from nsread.nwb import convert  # noqa: E402

HERE = Path(__file__).resolve().parent


@pytest.fixture(scope="module")
def fake_recording(tmp_path_factory: pytest.TempPathFactory) -> tuple[Path, Path]:
    """(library, recording) of the small test library built from fake_library.c."""
    cc = shutil.which("cc") or shutil.which("gcc")
    if cc is None:
        pytest.skip("no C compiler")
    folder = tmp_path_factory.mktemp("fake_nwb")
    library = folder / "libfake.so"
    subprocess.run([cc, "-std=c11", "-shared", "-fPIC", "-Wall", "-Werror", "-I", str(HERE.parents[1] / "include"),
                    "-o", str(library), str(HERE / "fake_library.c")], check=True)
    recording = folder / "rec.fake"
    recording.write_bytes(b"fake")
    return library, recording


def test_millivolt_channel_with_gaps_from_another_library(fake_recording: tuple[Path, Path], tmp_path: Path) -> None:
    library, recording = fake_recording
    out = tmp_path / "other.nwb"
    with nsread.open(recording, library) as rec:
        assert rec.library.kind == "other"
        analog = rec.entity(0)
        assert analog.units == "mV" and analog.physical
        values, times = analog.read(), analog.times()
        text = rec.entity(1).read()
        spikes = rec.entity(3).read()
        result = convert(rec, out, quiet=True)
    assert "Subject.subject_id" in result.missing_dandi
    errors = validate(path=str(out))
    assert list(errors[0] if isinstance(errors, tuple) else errors) == []
    with NWBHDF5IO(str(out), "r") as io:
        nwb = io.read()
        series = nwb.acquisition["ElectricalSeries"]
        # millivolts as the library states them: volts in the file = value x 1e-3
        assert series.data.dtype == np.int16 and series.conversion == pytest.approx(1e-3)
        assert np.array_equal(series.data[:, 0] * series.conversion + series.offset, values * series.conversion)
        assert np.array_equal(series.timestamps[:], times)          # runs of 10 samples with gaps
        events = next(iter(nwb.events.values()))
        assert list(events["annotation"].data[:]) == list(text["value"])
        assert any(np.array_equal(t, spikes) for t in nwb.units["spike_times"][:])
        assert nwb.session_start_time.utcoffset().total_seconds() == 0   # zone unknown: UTC, as said
