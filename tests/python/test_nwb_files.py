"""The conversion's files and command: stub, interruption, targets, time zones, the lossless fallback."""

from __future__ import annotations

import datetime as dt
import os
import signal
from pathlib import Path

import numpy as np
import pytest

pytest.importorskip("pynwb")

from pynwb import NWBHDF5IO  # noqa: E402

import nsread  # noqa: E402
from nsread.cli import main  # noqa: E402
from nsread.nwb import ConversionError, MetadataError, TargetError, convert  # noqa: E402
from nsread.nwb.stub import items_before  # noqa: E402

SUBJECT = {"Subject": {"subject_id": "m1", "species": "Rattus norvegicus", "sex": "M", "age": "P60D"}}


def _leftovers(folder: Path) -> list[str]:
    return sorted(p.name for p in folder.iterdir())


def test_stub_writes_only_the_first_seconds(spikes_qrd: Path, tmp_path: Path) -> None:
    out = tmp_path / "stub.nwb"
    with nsread.open(spikes_qrd) as rec:
        convert(rec, out, metadata=SUBJECT, stub=0.25, quiet=True)
        triggers = next(e for e in rec.entities if e.kind == "event").read()
        spikes = next(e for e in rec.entities if e.kind == "segment").read()
    with NWBHDF5IO(str(out), "r") as io:
        nwb = io.read()
        series = nwb.acquisition["ElectricalSeries"]
        assert series.data.shape[0] == 6250                   # 0.25 s at 25 kHz
        events = next(iter(nwb.events.values()))
        assert np.array_equal(events["timestamp"].data[:], triggers["time"][triggers["time"] < 0.25])
        first = next(s for s in nwb.acquisition.values() if s.name.startswith("SpikeEvents"))
        assert first.timestamps[:].max() < 0.25 and len(first.timestamps[:]) < len(spikes)
        assert "stub" in nwb.notes


def test_stub_of_sorted_units(map_sample: Path, tmp_path: Path) -> None:
    out = tmp_path / "stub.nwb"
    with nsread.open(map_sample) as rec:
        convert(rec, out, metadata=SUBJECT, stub=0.5, quiet=True)
        neural = {e.label: e.read() for e in rec.entities if e.kind == "neural"}
    with NWBHDF5IO(str(out), "r") as io:
        units = io.read().units.to_dataframe()
    for label, times in neural.items():
        row = units[units.neural_entity == label]
        assert np.array_equal(row.spike_times.iloc[0], times[times < 0.5]), label


def test_items_before_a_time() -> None:
    class Items:
        def __init__(self, times: list[float]) -> None:
            self.times, self.item_count = times, len(times)

        def time_of(self, i: int) -> float:
            return self.times[i]

    items = Items([0.0, 0.1, 0.1, 0.5, 2.0])
    assert [items_before(items, t) for t in (0.0, 0.05, 0.1, 0.11, 0.5, 5.0)] == [0, 1, 1, 3, 3, 5]
    assert items_before(items, None) == 5 and items_before(Items([]), 1.0) == 0


def test_interrupted_conversion_leaves_nothing(continuous_qrd: Path, tmp_path: Path) -> None:
    written = []

    def interrupt(values: int) -> None:
        written.append(values)
        if len(written) == 2:
            raise KeyboardInterrupt

    with nsread.open(continuous_qrd) as rec, pytest.raises(KeyboardInterrupt):
        convert(rec, tmp_path / "out.nwb", quiet=True, progress=interrupt)
    assert len(written) == 2 and _leftovers(tmp_path) == []


def test_ctrl_c_stops_at_the_next_window(continuous_qrd: Path, tmp_path: Path) -> None:
    # A real SIGINT: the conversion's handler turns it into KeyboardInterrupt at the
    # next window, wherever in hdmf or h5py the signal arrived.
    calls = []

    def press_ctrl_c(values: int) -> None:
        calls.append(values)
        if len(calls) == 1:
            os.kill(os.getpid(), signal.SIGINT)

    before = signal.getsignal(signal.SIGINT)
    with nsread.open(continuous_qrd) as rec, pytest.raises(KeyboardInterrupt):
        convert(rec, tmp_path / "out.nwb", quiet=True, progress=press_ctrl_c)
    assert len(calls) == 1 and _leftovers(tmp_path) == []
    assert signal.getsignal(signal.SIGINT) is before


def test_interrupted_overwrite_keeps_the_old_file(version4_qrd: Path, tmp_path: Path) -> None:
    target = tmp_path / "out.nwb"
    target.write_bytes(b"previous")

    def interrupt(values: int) -> None:
        raise KeyboardInterrupt

    with nsread.open(version4_qrd) as rec, pytest.raises(KeyboardInterrupt):
        convert(rec, target, quiet=True, overwrite=True, progress=interrupt)
    assert target.read_bytes() == b"previous" and _leftovers(tmp_path) == ["out.nwb"]


def test_targets_that_cannot_be_written(version4_qrd: Path, tmp_path: Path) -> None:
    existing = tmp_path / "there.nwb"
    existing.write_bytes(b"x")
    with nsread.open(version4_qrd) as rec:
        with pytest.raises(TargetError, match="--overwrite"):
            convert(rec, existing, quiet=True)
        with pytest.raises(TargetError, match="is a folder"):
            convert(rec, tmp_path, quiet=True)
        with pytest.raises(TargetError, match="does not exist"):
            convert(rec, tmp_path / "no" / "x.nwb", quiet=True)
        if os.geteuid() != 0:                                  # root writes anywhere
            locked = tmp_path / "locked"
            locked.mkdir(mode=0o500)
            with pytest.raises(TargetError, match="not writable"):
                convert(rec, locked / "x.nwb", quiet=True)
        convert(rec, existing, quiet=True, overwrite=True)
    assert existing.stat().st_size > 1000 and existing.stat().st_mode & 0o044  # readable like any new file


def test_require_dandi_and_bad_metadata_stop_before_writing(version4_qrd: Path, tmp_path: Path) -> None:
    with nsread.open(version4_qrd) as rec:
        with pytest.raises(ConversionError, match="Subject.subject_id, Subject.species"):
            convert(rec, tmp_path / "a.nwb", require_dandi=True, quiet=True)
        with pytest.raises(MetadataError, match="Subject.age"):
            convert(rec, tmp_path / "a.nwb", metadata={"Subject": {"age": "3 months"}}, quiet=True)
    assert _leftovers(tmp_path) == []


def test_zone_unknown_to_the_library_comes_from_the_metadata(map_sample: Path, tmp_path: Path) -> None:
    messages: list[str] = []
    with nsread.open(map_sample) as rec:
        assert not rec.info.start_time_zone_known
        wall = rec.info.start_time.replace(tzinfo=None)
        result = convert(rec, tmp_path / "m.nwb", metadata={**SUBJECT, "timezone": "Europe/Berlin"},
                         log=messages.append)
        convert(rec, tmp_path / "utc.nwb", metadata=SUBJECT, log=messages.append)
    assert result.session_start_time.utcoffset() == dt.timedelta(hours=1)     # December in Berlin
    assert result.session_start_time.replace(tzinfo=None) == wall
    assert "Europe/Berlin from the metadata" in messages[0]
    assert "taken as UTC" in messages[1]
    with NWBHDF5IO(str(tmp_path / "m.nwb"), "r") as io:
        assert io.read().session_start_time == result.session_start_time


def test_values_off_the_stated_resolution_fall_back_to_float(version4_qrd: Path, tmp_path: Path) -> None:
    # A library stating a resolution its values do not follow: int16 would lose them.
    with nsread.open(version4_qrd) as rec:
        block = rec.blocks()[0]
        for e in block.entities:
            e.resolution = 3e-7
        result = convert(rec, tmp_path / "f.nwb", metadata=SUBJECT, quiet=True)
        expected = block.read()
    assert result.series["ElectricalSeries"] == "float64"
    with NWBHDF5IO(str(tmp_path / "f.nwb"), "r") as io:
        s = io.read().acquisition["ElectricalSeries"]
        assert np.array_equal(s.data[:] * s.conversion + s.offset, expected[:, :s.data.shape[1]])
    assert _leftovers(tmp_path) == ["f.nwb"]


def test_to_nwb_and_the_command(version4_qrd: Path, tmp_path: Path, capsys: pytest.CaptureFixture[str]) -> None:
    with nsread.open(version4_qrd) as rec:
        rec.to_nwb(tmp_path / "api.nwb", metadata=SUBJECT, quiet=True)
    assert (tmp_path / "api.nwb").is_file()
    meta = tmp_path / "meta.yaml"
    meta.write_text("Subject: {subject_id: m1, species: Rattus norvegicus, sex: M, age: P60D}\n")
    out = tmp_path / "cli.nwb"
    assert main(["convert", str(version4_qrd), str(out), "--metadata", str(meta), "--compression", "none"]) == 0
    captured = capsys.readouterr()
    assert "UTC as the qrdshare library states it" in captured.err and out.is_file()
    assert main(["convert", str(version4_qrd), str(out), "--quiet"]) == 1
    assert "nsread convert:" in capsys.readouterr().err
    meta.write_text("Subject: {sex: 2}\n")
    assert main(["convert", str(version4_qrd), str(tmp_path / "x.nwb"), "--metadata", str(meta)]) == 1
    assert "Subject.sex" in capsys.readouterr().err
    assert main(["convert", str(version4_qrd), str(tmp_path / "x.nwb"), "--require-dandi", "--quiet"]) == 1
    assert "Subject.subject_id" in capsys.readouterr().err
    assert main(["convert", str(version4_qrd), str(tmp_path / "x.nwb"), "--set", "Subject.agee=P1D"]) == 1
    assert "Subject.agee" in capsys.readouterr().err
    settings = ["--set", "Subject.subject_id=7", "--set", "Subject.species=Rattus norvegicus",
                "--set", "Subject.sex=M", "--set", "Subject.age=P60D", "--set", "NWBFile.keywords=[a, b]"]
    assert main(["convert", str(version4_qrd), str(tmp_path / "set.nwb"), "--require-dandi", "--quiet",
                 *settings]) == 0
    with NWBHDF5IO(str(tmp_path / "set.nwb"), "r") as io:
        nwb = io.read()
        assert nwb.subject.subject_id == "7" and list(nwb.keywords[:]) == ["a", "b"]
    not_a_recording = tmp_path / "junk.qrd"
    not_a_recording.write_bytes(b"not a recording")
    for rec in (tmp_path / "missing.qrd", not_a_recording):
        assert main(["convert", str(rec), str(tmp_path / "x.nwb"), "--quiet"]) == 1
        assert "nsread convert: ns_OpenFile failed" in capsys.readouterr().err
    with pytest.raises(SystemExit) as usage:
        main(["convert", str(version4_qrd), str(tmp_path / "x.nwb"), "--stub", "-1"])
    assert usage.value.code == 2
    assert not (tmp_path / "x.nwb").exists()
