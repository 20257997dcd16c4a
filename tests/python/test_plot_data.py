"""What the figures hold is what nsread reads: traces, envelopes, cut-outs, events, array layout."""

from __future__ import annotations

import importlib
import math

import numpy as np
import pytest
from matplotlib.collections import EventCollection, LineCollection, PolyCollection
from matplotlib.figure import Figure

import nsread
from nsread import plot
from nsread.plot import envelope as envelope_module
from nsread.plot.overview import electrode_positions


def new_ax():
    return Figure(figsize=(8, 6)).add_subplot()


def by_gid(ax, kind=None) -> dict[str, object]:
    """Artists of an axes by gid (lines and collections), scale bars left out."""
    found = {}
    for artist in [*ax.lines, *ax.collections]:
        gid = artist.get_gid()
        if gid and gid != "scale bar" and (kind is None or isinstance(artist, kind)):
            found[gid] = artist
    return found


def entity_by_gid(rec, gid: str):
    return rec.entities[int(gid.split()[-1])]


# ---- traces ------------------------------------------------------------------------------------------------------


def test_trace_lines_hold_the_values_nsread_reads(continuous_qrd):
    with nsread.open(continuous_qrd) as rec:
        ax = plot.traces(rec, 0.5, 0.7, channels="0-2,60", ax=new_ax())
        lines = by_gid(ax)
        assert sorted(lines) == ["entity 0", "entity 1", "entity 2", "entity 60"]
        for gid, line in lines.items():
            entity = entity_by_gid(rec, gid)
            first = entity.index_of(0.5, "after")
            last = entity.index_of(0.7, "before")
            expected = entity.read(first, last - first + 1, physical=True)
            np.testing.assert_array_equal(line.get_ydata(), expected)
            np.testing.assert_allclose(line.get_xdata(), entity.times(first, last - first + 1), rtol=0, atol=1e-12)
            assert line.get_xdata()[0] >= 0.5 and line.get_xdata()[-1] <= 0.7
        labels = [t.get_text() for t in ax.get_yticklabels()]
        assert labels[0] == "elec0001 0012 0000 12" and labels[-1].startswith("digi0001")
        # One scale bar per unit: volts for the electrodes, raw for the digital word.
        bars = [a for a in ax.lines if a.get_gid() == "scale bar"]
        assert len(bars) == 2
        texts = {t.get_text() for t in ax.texts}
        assert any(t.endswith("µV") for t in texts) and any(t.endswith("raw") for t in texts)


def test_trace_default_channels_are_the_first_sixteen(continuous_qrd):
    with nsread.open(continuous_qrd) as rec:
        ax = plot.traces(rec, 0.0, 0.01, ax=new_ax())
        assert sorted(int(g.split()[-1]) for g in by_gid(ax)) == list(range(16))
        assert "16 of 61 channels" in ax.get_title(loc="left")


def test_traces_across_sweeps_break_at_the_gaps(triggered_qrd):
    with nsread.open(triggered_qrd) as rec:
        ax = plot.traces(rec, 0.1, 1.1, channels="1", ax=new_ax())
        (line,) = by_gid(ax).values()
        entity = rec.entities[1]
        x, y = line.get_xdata(), line.get_ydata()
        breaks = np.isnan(y)
        assert breaks.sum() == 1, "one gap between the first sweep and the second"
        first = entity.index_of(0.1, "after")
        last = entity.index_of(1.1, "before")
        np.testing.assert_array_equal(y[~breaks], entity.read(first, last - first + 1))
        gap = int(np.nonzero(breaks)[0][0])
        assert x[gap - 1] < 0.2 <= 1.0 <= x[gap + 1]


def test_map_traces_are_in_volts(map_sample):
    with nsread.open(map_sample) as rec:
        entity = rec.entities[0]
        assert not entity.physical
        ax = plot.traces(rec, 0.0, 0.05, channels=[entity], ax=new_ax())
        (line,) = by_gid(ax).values()
        raw = entity.read(0, len(line.get_ydata()))
        np.testing.assert_allclose(line.get_ydata(), raw * entity.resolution, rtol=1e-12)
        assert any(t.get_text().endswith(" V") for t in ax.texts), "scale bar in volts"


def test_long_window_is_drawn_as_an_envelope_of_the_samples(continuous_qrd):
    with nsread.open(continuous_qrd) as rec:
        ax = plot.traces(rec, 0.0, 3.0, channels="5", ax=new_ax(), max_points=1000)
        (band,) = by_gid(ax, PolyCollection).values()
        values = rec.entities[5].read()
        top = band.get_paths()[0].vertices
        assert len(top) < 2 * 1000 + 10
        # The band's data (in the entity's units) span exactly the channel's range.
        (env,) = envelope_module.block_envelopes(envelope_module.subset(rec.blocks()[0], [5]), 500)
        assert env.low.min() == values.min() and env.high.max() == values.max()


# ---- overview envelopes ------------------------------------------------------------------------------------------


def reference_envelope(values: np.ndarray, k: int) -> tuple[np.ndarray, np.ndarray]:
    n = len(values)
    low = np.array([values[i : i + k].min() for i in range(0, n, k)])
    high = np.array([values[i : i + k].max() for i in range(0, n, k)])
    return low, high


@pytest.mark.parametrize("read_ahead", [True, False])
@pytest.mark.parametrize("window_values", [1 << 20, 7_777])  # one window, and many windows that end mid-recording
def test_envelope_is_min_and_max_of_every_bin(continuous_qrd, monkeypatch, window_values, read_ahead):
    monkeypatch.setattr(envelope_module, "WINDOW_VALUES", window_values)
    monkeypatch.setattr(envelope_module, "READ_AHEAD", read_ahead)
    with nsread.open(continuous_qrd) as rec:
        chosen = [rec.entities[i] for i in (0, 31, 60)]
        envs = plot.envelopes(rec, chosen, bins=700)
        assert [e.entity.index for e in envs] == [0, 31, 60]
        for env in envs:
            values = env.entity.read()
            k = env.samples_per_bin
            assert k == math.ceil(len(values) / 700)
            low, high = reference_envelope(values, k)
            np.testing.assert_array_equal(env.low, low)
            np.testing.assert_array_equal(env.high, high)
            np.testing.assert_allclose(env.starts, np.arange(0, len(values), k) / env.entity.sample_rate)


@pytest.mark.parametrize("read_ahead", [True, False])
@pytest.mark.parametrize("window_values", [1 << 20, 3_000])  # one read, and reads that end mid-sweep
def test_envelope_bins_never_reach_across_sweeps(triggered_qrd, monkeypatch, window_values, read_ahead):
    monkeypatch.setattr(envelope_module, "WINDOW_VALUES", window_values)
    monkeypatch.setattr(envelope_module, "READ_AHEAD", read_ahead)
    with nsread.open(triggered_qrd) as rec:
        (env,) = plot.envelopes(rec, [rec.entities[3]], bins=64)
        entity = env.entity
        values = entity.read()
        times = entity.times()
        # Each bin lies within one sweep (no bin is longer than its samples at the rate).
        assert np.all(env.stops - env.starts <= (env.samples_per_bin - 1) / entity.sample_rate + 1e-9)
        for start, stop, lo, hi in zip(env.starts, env.stops, env.low, env.high, strict=True):
            inside = (times >= start - 1e-9) & (times <= stop + 1e-9)
            assert lo == values[inside].min() and hi == values[inside].max()
        assert np.count_nonzero(np.diff(env.starts) > 0.5) == 4, "five sweeps"


def test_map_envelope_is_in_volts_and_overview_draws_every_channel(map_sample):
    with nsread.open(map_sample) as rec:
        envs = plot.envelopes(rec)
        assert [e.entity.label for e in envs] == ["Analog 1", "Analog 2"]
        for env in envs:
            raw = env.entity.read()
            low, high = reference_envelope(raw, env.samples_per_bin)
            np.testing.assert_allclose(env.low, low * env.entity.resolution)
            np.testing.assert_allclose(env.high, high * env.entity.resolution)
        ax = plot.overview(rec, ax=new_ax(), envelopes=envs)
        assert sorted(by_gid(ax, PolyCollection)) == ["entity 0", "entity 1"]


def test_overview_reads_the_recording_once(continuous_qrd, monkeypatch):
    reads = []
    original = nsread.SignalBlock.read

    def counting(self, start=0, stop=None, *args, **kwargs):
        reads.append((self.shape[1], start, stop))
        return original(self, start, stop, *args, **kwargs)

    monkeypatch.setattr(nsread.SignalBlock, "read", counting)
    monkeypatch.setattr(envelope_module, "WINDOW_VALUES", 600_000)
    with nsread.open(continuous_qrd) as rec:
        plot.overview(rec, ax=new_ax())
        blocks = {block for block, _, _ in reads}  # by channel count
        assert blocks == {60, 1}  # the electrodes (volts) and the digital word (raw)
        for block in blocks:
            covered = [(start, stop) for b, start, stop in reads if b == block]
            # Windows one after the other, in file order, no sample read twice, the whole recording covered.
            assert covered[0][0] == 0 and covered[-1][1] == rec.entities[0].item_count
            assert all(a[1] == b[0] for a, b in zip(covered, covered[1:], strict=False))
            assert max(stop - start for start, stop in covered) * block <= 600_000, "memory stays bounded"
            assert len(covered) > 1 or block == 1


# ---- the electrode array ----------------------------------------------------------------------------------------


def test_array_grid_places_electrodes_by_location(continuous_qrd):
    with nsread.open(continuous_qrd) as rec:
        envs = plot.envelopes(rec, bins=50)
        placed = {env.entity.label.split()[-1]: (col, row) for env, col, row in electrode_positions(envs)}
        assert len(placed) == 60, "every electrode, not the digital channel"
        # Electrode "CR" sits in column C, row R of an 8 x 8 array without its corners.
        for name, (col, row) in placed.items():
            assert (col + 1, row + 1) == (int(name[0]), int(name[1]))
        assert {(0, 0), (7, 0), (0, 7), (7, 7)}.isdisjoint(placed.values())
        ax = plot.array_grid(rec, ax=new_ax(), envelopes=envs)
        assert len(by_gid(ax, PolyCollection)) == 60
        assert ax.get_xlim() == (0, 8) and ax.get_ylim() == (8, 0)


def test_no_array_where_locations_coincide(version4_qrd):
    with nsread.open(version4_qrd) as rec:
        with pytest.raises(plot.PlotError, match="no locations"):
            plot.array_grid(rec, ax=new_ax())


# ---- spike cut-outs ------------------------------------------------------------------------------------------------


def waveform_count(ax) -> int:
    return sum(len(c.get_segments()) for c in by_gid(ax, LineCollection).values())


def test_one_waveform_per_item_and_the_mean_of_each_unit(spikes_qrd):
    with nsread.open(spikes_qrd) as rec:
        for entity in [e for e in rec.entities if isinstance(e, nsread.SegmentEntity)]:
            (ax,) = plot.spikes(rec, entity, ax=new_ax())
            assert waveform_count(ax) == entity.item_count
            seg = entity.read()
            for unit in np.unique(seg.units):
                mean = by_gid(ax)[f"mean unit {unit}"]
                np.testing.assert_allclose(mean.get_ydata(), seg.waveforms[seg.units == unit, 0].mean(axis=0))
                waves = by_gid(ax)[f"waveforms unit {unit}"].get_segments()
                assert len(waves) == np.count_nonzero(seg.units == unit)
            assert f"n = {entity.item_count}" in ax.get_title(loc="left")


def test_map_cut_outs_draw_their_written_source_in_volts(map_sample):
    with nsread.open(map_sample) as rec:
        entity = rec.entity("Level 3")
        assert entity.source_count == 2 and entity.sources_with_samples == [0]
        (ax,) = plot.spikes(rec, entity, ax=new_ax())
        seg = entity.read()
        step = entity.sources[0].resolution
        assert waveform_count(ax) == entity.item_count == 12
        for unit in (1, 2):
            drawn = np.array([s[:, 1] for s in by_gid(ax)[f"waveforms unit {unit}"].get_segments()])
            np.testing.assert_allclose(drawn, seg.waveforms[seg.units == unit, 0] * step)
        legend = [t.get_text() for t in ax.get_legend().get_texts()]
        assert legend == ["unit 1: 6", "unit 2: 6"]


def test_drawn_waveforms_are_capped_but_counts_cover_every_item(spikes_qrd):
    with nsread.open(spikes_qrd) as rec:
        entity = rec.entities[1]
        (ax,) = plot.spikes(rec, entity, ax=new_ax(), max_waveforms=3)
        assert waveform_count(ax) == 3
        assert f"n = {entity.item_count}, 3 drawn" in ax.get_title(loc="left")


def test_every_segment_entity_gets_a_panel(triggered_qrd):
    with nsread.open(triggered_qrd) as rec:
        segs = [e for e in rec.entities if isinstance(e, nsread.SegmentEntity)]
        panels = plot.spikes(rec, ax=new_ax())
        assert len(panels) == len(segs) == 8
        assert [waveform_count(p) for p in panels] == [e.item_count for e in segs]
        ax = new_ax()
        assert len(plot.spikes(rec, ax=ax, max_entities=3)) == 3
        assert "5 more not shown" in ax.get_title(loc="left")


def test_spikes_of_an_empty_or_wrong_entity_are_refused(continuous_qrd, spikes_qrd):
    with nsread.open(continuous_qrd) as rec:
        with pytest.raises(plot.PlotError, match="no segment entity"):
            plot.spikes(rec, ax=new_ax())
        with pytest.raises(plot.PlotError, match="not a segment entity"):
            plot.spikes(rec, 0, ax=new_ax())
        with pytest.raises(plot.PlotError, match="no entity 'nothing'"):
            plot.spikes(rec, "nothing", ax=new_ax())
        with pytest.raises(plot.PlotError, match="no entity 500"):
            plot.traces(rec, 0, 1, channels=[0, 500], ax=new_ax())


# ---- events --------------------------------------------------------------------------------------------------------


def test_event_ticks_sit_at_the_event_times(all_samples):
    for path in all_samples:
        with nsread.open(path) as rec:
            timed = [e for e in rec.entities if isinstance(e, (nsread.EventEntity, nsread.NeuralEntity))]
            if not any(e.item_count for e in timed):
                continue
            ax = plot.events(rec, ax=new_ax())
            rows = by_gid(ax, EventCollection)
            assert len(rows) == sum(1 for e in timed if e.item_count), path.name
            for gid, row in rows.items():
                entity = entity_by_gid(rec, gid)
                items = entity.read()
                times = items if isinstance(entity, nsread.NeuralEntity) else items["time"]
                np.testing.assert_array_equal(np.sort(row.get_positions()), np.sort(times))
                low, high = ax.get_xlim()
                assert low <= times.min() and times.max() <= high, "every tick inside the axes"


def test_trigger_values_are_written_beside_their_ticks(spikes_qrd):
    with nsread.open(spikes_qrd) as rec:
        ax = plot.events(rec, ax=new_ax())
        trigger = next(e for e in rec.entities if isinstance(e, nsread.EventEntity))
        values = [" " + " ".join(str(v) for v in np.atleast_1d(item)) for item in trigger.read()["value"]]
        assert sorted(t.get_text() for t in ax.texts) == sorted(values)
        assert ax.get_xlim() == (0.0, rec.info.time_span)


def test_rows_of_very_many_events_show_their_density(spikes_qrd, monkeypatch):
    events_module = importlib.import_module("nsread.plot.events")  # the module, not the function it exports
    monkeypatch.setattr(events_module, "MAX_TICKS", 5)
    monkeypatch.setattr(events_module, "DENSITY_BINS", 10)
    with nsread.open(spikes_qrd) as rec:
        ax = plot.events(rec, ax=new_ax())
        trigger = next(e for e in rec.entities if isinstance(e, nsread.EventEntity))
        assert not by_gid(ax, EventCollection), "no tick per event"
        (patch,) = [p for p in ax.patches if p.get_gid() == f"entity {trigger.index} density"]
        heights, edges, baseline = patch.get_data()
        assert edges[0] == 0.0 and edges[-1] == rec.info.time_span
        counts, _ = np.histogram(trigger.read()["time"], bins=edges)
        np.testing.assert_allclose(baseline - heights, 0.8 * counts / counts.max())


def test_many_rows_are_labelled_without_overlap(continuous_qrd, monkeypatch):
    style = importlib.import_module("nsread.plot.style")
    monkeypatch.setattr(style, "MAX_ROW_LABELS", 20)
    with nsread.open(continuous_qrd) as rec:
        envs = plot.envelopes(rec, bins=20)
        ax = plot.overview(rec, ax=new_ax(), envelopes=envs)
        ticks = ax.get_yticks()
        labels = [t.get_text() for t in ax.get_yticklabels()]
        assert len(ticks) <= 20 and list(ticks) == list(range(0, 61, 4))  # every 4th of 61 rows
        assert labels == [" ".join(envs[int(t)].label.split()) for t in ticks]
        assert len(by_gid(ax, PolyCollection)) == 61, "every row is still drawn"
