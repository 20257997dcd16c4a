"""NWB conversion of every sample recording: schema, DANDI checks and values read back."""

from __future__ import annotations

import re
from pathlib import Path

import numpy as np
import pytest

pytest.importorskip("pynwb")

from pynwb import NWBHDF5IO, validate  # noqa: E402
from pynwb.ecephys import ElectricalSeries, SpikeEventSeries  # noqa: E402

import nsread  # noqa: E402
from nsread.nwb import convert  # noqa: E402

METADATA = {
    "NWBFile": {"experimenter": ["Doe, Jane"], "institution": "Test Institute", "lab": "Test Lab",
                "session_id": "s1", "experiment_description": "sample recording", "keywords": ["test"]},
    "Subject": {"subject_id": "m1", "species": "Mus musculus", "sex": "F", "age": "P90D",
                "description": "test animal"},
    "Ecephys": {"ElectrodeGroup": [{"name": n, "description": "probe", "location": "CA1"}
                                   for n in ("elec0001", "Analog", "Level", "Window", "Trigger", "spks0001")]},
}

SAMPLES = ["continuous_mea.qrd", "triggered_sweeps.qrd", "spikes.qrd", "version4.qrd", "sample.map"]


@pytest.fixture(scope="module")
def converted(samples_dir: Path, tmp_path_factory: pytest.TempPathFactory) -> dict[str, Path]:
    out = tmp_path_factory.mktemp("nwb")
    files = {}
    for name in SAMPLES:
        with nsread.open(samples_dir / name) as rec:
            files[name] = convert(rec, out / f"{name}.nwb", metadata=METADATA, quiet=True).path
    return files


@pytest.mark.parametrize("name", SAMPLES)
def test_schema_and_dandi_checks_pass(converted: dict[str, Path], name: str) -> None:
    from nwbinspector import Importance, inspect_nwbfile, load_config

    errors = validate(path=str(converted[name]))
    errors = errors[0] if isinstance(errors, tuple) else errors
    assert list(errors) == []
    serious = [f"{m.importance.name} {m.check_function_name} {m.object_name}: {m.message}"
               for m in inspect_nwbfile(nwbfile_path=str(converted[name]), config=load_config("dandi"))
               if m.importance.value >= Importance.BEST_PRACTICE_VIOLATION.value]
    assert serious == []


def _analog_series(nwb) -> dict[int, tuple[object, int]]:
    """Entity index -> (series, column) for every analog entity in the file."""
    found: dict[int, tuple[object, int]] = {}
    entity_index = nwb.electrodes["entity_index"].data[:]
    for series in nwb.acquisition.values():
        if isinstance(series, SpikeEventSeries):
            continue
        if isinstance(series, ElectricalSeries):
            for col, row in enumerate(series.electrodes.data[:]):
                found[int(entity_index[row])] = (series, col)
        else:
            m = re.match(r"Neuroshare analog entity (\d+) ", series.description)
            assert m, series.description
            found[int(m.group(1))] = (series, -1)
    return found


def _physical(series, col: int) -> np.ndarray:
    data = np.asarray(series.data[:] if col < 0 else series.data[:, col], dtype=np.float64)
    scale = np.float64(series.conversion)
    if col >= 0 and series.channel_conversion is not None:
        scale = scale * np.float64(series.channel_conversion[col])
    return data * scale + series.offset


@pytest.mark.parametrize("name", SAMPLES)
def test_analog_values_and_times_read_back(samples_dir: Path, converted: dict[str, Path], name: str) -> None:
    with nsread.open(samples_dir / name) as rec, NWBHDF5IO(str(converted[name]), "r") as io:
        nwb = io.read()
        series = _analog_series(nwb)
        analog = [e for e in rec.entities if e.kind == "analog"]
        assert sorted(series) == [e.index for e in analog]
        for e in analog:
            s, col = series[e.index]
            values = e.read()
            # mapshare returns counts: the file holds counts x resolution (volts); the others their values.
            expected = values * e.resolution if rec.library.kind == "mapshare" else values
            assert np.array_equal(_physical(s, col), expected), e.label
            times = e.times()
            if s.timestamps is None:
                assert np.allclose(s.starting_time + np.arange(len(times)) / s.rate, times, rtol=0, atol=1e-9)
            else:
                assert np.array_equal(s.timestamps[:], times)
            if isinstance(s, ElectricalSeries):
                assert s.data.dtype == np.int16  # every sample's value is an exact multiple of its resolution
                row = s.electrodes.data[col]
                assert nwb.electrodes["label"].data[row] == e.label
                assert (nwb.electrodes["rel_x"].data[row], nwb.electrodes["rel_y"].data[row]) == (
                    e.location_x, e.location_y)


def test_triggered_sweeps_keep_their_gaps(converted: dict[str, Path]) -> None:
    with NWBHDF5IO(str(converted["triggered_sweeps.qrd"]), "r") as io:
        s = io.read().acquisition["ElectricalSeries"]
        assert s.rate is None
        steps = np.diff(s.timestamps[:])
        assert np.count_nonzero(steps > 1.5 / 25000) == 4   # five sweeps, four gaps


def _segment_items(nwb, entity) -> tuple[np.ndarray, np.ndarray]:
    """Times and waveforms (volts) of the unsorted items of a segment entity."""
    for s in nwb.acquisition.values():
        if isinstance(s, SpikeEventSeries) and s.description.startswith(f"Neuroshare segment entity {entity.index} "):
            scale = s.conversion * (np.asarray(s.channel_conversion)[None, :, None]
                                    if s.channel_conversion is not None else 1.0)
            return s.timestamps[:], np.asarray(s.data[:], dtype=np.float64) * scale + s.offset
    for t in nwb.intervals.values():
        if t.description.startswith(f"Neuroshare segment entity {entity.index} "):
            return t["start_time"].data[:], np.asarray(t["waveforms"].data[:])
    return np.empty(0), np.empty((0, 0, 0))


@pytest.mark.parametrize("name", SAMPLES)
def test_spikes_and_events_read_back(samples_dir: Path, converted: dict[str, Path], name: str) -> None:
    with nsread.open(samples_dir / name) as rec, NWBHDF5IO(str(converted[name]), "r") as io:
        nwb = io.read()
        units = nwb.units.to_dataframe() if nwb.units is not None else None
        scale_counts = rec.library.kind == "mapshare"
        for e in rec.entities:
            if e.kind == "segment":
                seg = e.read()
                src = e.sources_with_samples
                factor = np.array([s.resolution if scale_counts else 1.0 for s in (e.sources[i] for i in src)])
                volts = seg.waveforms[:, src, :] * factor[None, :, None]
                unsorted = seg.units == 0
                times, waves = _segment_items(nwb, e)
                assert np.array_equal(times, seg.timestamps[unsorted])
                if unsorted.any():
                    assert np.array_equal(waves, volts[unsorted], equal_nan=True)
                for unit in set(seg.units[~unsorted].tolist()):
                    row = units[(units.entity_index == e.index) & (units.unit_id == unit)]
                    assert len(row) == 1
                    pick = seg.units == unit
                    assert np.array_equal(row.spike_times.iloc[0], seg.timestamps[pick])
                    got = np.asarray(row.waveforms.iloc[0], dtype=np.float64)[..., :volts.shape[2]]
                    assert np.array_equal(got, volts[pick], equal_nan=True)
            elif e.kind == "neural":
                row = units[(units.neural_entity == e.label)]
                assert len(row) == 1, e.label
                assert np.array_equal(row.spike_times.iloc[0], e.read())
                assert (row.neural_source_entity.iloc[0], row.neural_source_unit.iloc[0],
                        row.neural_probe_info.iloc[0]) == (e.source_entity_id, e.source_unit_id, e.probe_info)
            elif e.kind == "event":
                items = e.read()
                if not len(items):
                    assert e.label not in nwb.events and f"'{e.label}'" in nwb.notes
                    continue
                table = nwb.events[e.label]
                assert np.array_equal(table["timestamp"].data[:], items["time"])
                column = "annotation" if e.is_text else "value"
                assert np.array_equal(np.asarray(table[column].data[:]), items["value"])


def test_file_fields(samples_dir: Path, converted: dict[str, Path]) -> None:
    with nsread.open(samples_dir / "spikes.qrd") as rec, NWBHDF5IO(str(converted["spikes.qrd"]), "r") as io:
        nwb = io.read()
        assert nwb.session_start_time == rec.info.start_time
        assert nwb.session_description == rec.info.comment      # no description in the metadata
        assert rec.info.application in nwb.data_collection and rec.info.file_type in nwb.data_collection
        assert nwb.subject.age == "P90D" and nwb.experimenter == ("Doe, Jane",)
        assert set(nwb.electrodes["location"].data[:]) == {"CA1"}
