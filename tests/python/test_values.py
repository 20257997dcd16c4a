"""Values read through nsread equal what the C++ host nsdump reads from the
same library, for every entity kind of every sample recording."""

from __future__ import annotations

import numpy as np
import pytest

import nsread
from nsread import AnalogEntity, EventEntity, NeuralEntity, SegmentEntity


def _floats(rows, column):
    return np.array([float(r[column]) for r in rows])


def _check_analog(rec, e: AnalogEntity, nsdump, start: int, count: int) -> None:
    rows = nsdump(rec.path, e.index, "--start", str(start), "--count", str(count))
    assert len(rows) == count
    values = e.read(start, count)
    np.testing.assert_allclose(values, _floats(rows, 2), rtol=1e-9, atol=0)
    np.testing.assert_allclose(e.times(start, count), _floats(rows, 1), rtol=0, atol=1e-9)


@pytest.mark.parametrize("name", ["continuous_mea.qrd", "spikes.qrd", "triggered_sweeps.qrd", "version4.qrd",
                                  "sample.map"])
def test_every_entity_matches_nsdump(samples_dir, nsdump, name):
    path = samples_dir / name
    with nsread.open(path) as rec:
        assert rec.info.entity_count == len(rec.entities)
        kinds = set()
        for e in rec.entities:
            kinds.add(e.kind)
            if isinstance(e, AnalogEntity):
                if e.index % 7 and name == "continuous_mea.qrd":
                    continue  # a sample of the 61 channels keeps the test short
                if name == "sample.map":
                    # the whole channel in one export: MAP channels have gaps
                    # between their blocks, which both sides must read across
                    _check_analog(rec, e, nsdump, 0, e.item_count)
                    continue
                # a window across the middle of the recording
                start = min(e.item_count // 2, max(e.item_count - 500, 0))
                count = min(500, e.item_count - start)
                _check_analog(rec, e, nsdump, start, count)
            elif isinstance(e, EventEntity):
                rows = nsdump(rec.path, e.index)
                events = e.read()
                assert len(events) == len(rows) == e.item_count
                np.testing.assert_allclose(events["time"], _floats(rows, 1), atol=1e-9)
                for ev, row in zip(events, rows, strict=True):
                    assert np.atleast_1d(ev["value"]).tolist() == [int(v) for v in row[2].split()]
            elif isinstance(e, SegmentEntity):
                rows = nsdump(rec.path, e.index)
                seg = e.read()
                assert len(seg) == len(rows) == e.item_count
                assert seg.waveforms.shape == (e.item_count, e.source_count, e.max_sample_count)
                for i, row in enumerate(rows):
                    assert seg.timestamps[i] == pytest.approx(float(row[1]), abs=1e-9)
                    assert int(seg.units[i].astype(np.int32)) == int(row[2])
                    k = int(row[3])
                    assert seg.sample_counts[i] == k
                    np.testing.assert_allclose(seg.waveforms[i, 0, :k], [float(v) for v in row[4:4 + k]], rtol=1e-9)
            elif isinstance(e, NeuralEntity):
                rows = nsdump(rec.path, e.index)
                np.testing.assert_allclose(e.read(), _floats(rows, 1), atol=1e-9)
                assert len(rows) == e.item_count
        expected = {"continuous_mea.qrd": {"analog", "event"}, "spikes.qrd": {"segment", "event", "analog"},
                    "triggered_sweeps.qrd": {"event", "analog", "segment"}, "version4.qrd": {"analog"},
                    "sample.map": {"analog", "segment", "event", "neural"}}[name]
        assert kinds == expected


def test_analog_reads_agree_in_any_split(continuous_qrd):
    # one whole read equals the same samples read in odd pieces and through out=
    with nsread.open(continuous_qrd) as rec:
        e = rec.entity(3)
        whole = e.read()
        assert whole.dtype == np.float64 and whole.shape == (e.item_count,)
        pieces = np.concatenate([e.read(a, min(7919, e.item_count - a)) for a in range(0, e.item_count, 7919)])
        np.testing.assert_array_equal(whole, pieces)
        out = np.full(1000, np.nan)
        assert e.read(40_000, 1000, out=out) is out
        np.testing.assert_array_equal(out, whole[40_000:41_000])
        assert e.read(e.item_count, 0).shape == (0,)


def test_file_and_entity_information(continuous_qrd, map_sample):
    with nsread.open(continuous_qrd) as rec:
        info = rec.info
        assert info.file_type == "MEA cont El,Di"
        assert info.application.startswith("Vantrel ")
        assert info.time_span == pytest.approx(3.0)
        assert info.time_stamp_resolution == pytest.approx(1 / 25000)
        assert info.start_time.utcoffset().total_seconds() == 0 and info.start_time_zone_known
        assert info.comment_raw == info.comment.encode()
        assert rec.library.kind == "qrdshare" and rec.library.info.creator == "Quorvane"
        e = rec.entity(0)
        assert isinstance(e, AnalogEntity) and e.sample_rate == 25000 and e.units == "V"
        assert e.physical and e.is_electrode
        assert e.location == (e.location_x, e.location_y, e.location_z, e.location_user)
        assert rec.entity(e.label) is e
        digital = rec.entity(60)
        assert digital.units == "raw" and not digital.is_electrode
        bit = rec.entity(61)
        assert isinstance(bit, EventEntity) and bit.value_dtype() == np.uint8
    with nsread.open(map_sample) as rec:
        assert rec.library.kind == "mapshare"
        assert not rec.info.start_time_zone_known
        a = rec.entity("Analog 1")
        assert not a.physical and a.resolution == pytest.approx(5 / 32767)
        np.testing.assert_allclose(a.read(0, 10, physical=True), a.read(0, 10) * a.resolution)
        neural = rec.entity("Level 3 Unit 1")
        assert isinstance(neural, NeuralEntity) and neural.source_entity_id == 2 and neural.source_unit_id == 1
        port = rec.entity("Port 2")
        assert port.value_dtype() == np.uint16


def test_time_and_index_lookups(continuous_qrd, map_sample):
    with nsread.open(continuous_qrd) as rec:
        e = rec.entity(0)
        assert e.time_of(25) == pytest.approx(0.001)
        assert e.index_of(0.00103, "before") == 25
        assert e.index_of(0.00103, "after") == 26
        assert e.index_of(0.00103) == 26
        assert e.index_of(0.00101, "closest") == 25
        np.testing.assert_array_equal(e.read_seconds(0.001, 0.002), e.read(25, 26))
    with nsread.open(map_sample) as rec:
        e = rec.entity(0)
        assert e.index_of(e.time_of(100) + 1e-7, "before") == 100
