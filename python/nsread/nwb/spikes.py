"""Segment entities (spike cut-outs, sweeps) and neural entities (sorted units).

* Items without a unit id (unit 0) of a segment entity form a
  ``SpikeEventSeries`` with their times, waveforms and an electrodes region.
* Items with a unit id form one row of the ``Units`` table per segment entity
  and unit id (``spike_times``, ``waveforms``, ``electrodes``).
* A neural entity whose times are those of such a row is named on that row
  (column ``neural_entity``); any other neural entity gets a row of its own,
  whose waveforms are NaN and whose electrodes are those of its source entity.

Items without a unit id at a constant interval (the sweeps of triggered
recordings) go into a ``TimeIntervals`` table instead: NWB asks for a
starting time and rate for regular times, which ``SpikeEventSeries`` cannot take.

Only the sources that carry samples become waveform channels.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any

import numpy as np
from hdmf.backends.hdf5 import H5DataIO
from pynwb import NWBFile
from pynwb.ecephys import SpikeEventSeries
from pynwb.epoch import TimeIntervals
from pynwb.misc import Units

from .electrodes import ElectrodeTable
from .names import Names
from .progress import Progress
from .signals import compressed
from .storage import ChannelScale, LossyStorage, plan_storage, wider
from .stub import items_before

UNIT_COLUMNS = {
    "label": "Neuroshare label of the segment or neural entity the unit comes from",
    "entity_index": "Neuroshare entity index of that segment or neural entity",
    "unit_id": "Neuroshare unit id of the segment items (-1 for a neural entity without segments)",
    "neural_entity": "label of the Neuroshare neural entity with these spike times ('' if none)",
    "neural_source_entity": "dwSourceEntityID of that neural entity (-1 if none)",
    "neural_source_unit": "dwSourceUnitID of that neural entity (-1 if none)",
    "neural_probe_info": "szProbeInfo of that neural entity ('' if none)",
    "waveform_sampling_rate": "sampling rate of this unit's waveforms in Hz (0 without waveforms)",
}


@dataclass
class UnitRow:
    label: str
    entity_index: int
    unit_id: int
    times: np.ndarray
    waveforms: np.ndarray | None   # (spikes, sources, samples), volts
    electrodes: list[int]
    rate: float
    neural_entity: str = ""
    neural_source_entity: int = -1
    neural_source_unit: int = -1
    neural_probe_info: str = ""


def segment_physical(recording: Any, entity: Any) -> bool:
    """Whether segment values are in the entity's units (else raw counts, as mapshare returns)."""
    return bool(getattr(entity, "physical", recording.library.kind != "mapshare"))


def segment_factor(recording: Any, entity: Any, source: Any) -> float:
    """Multiplies a waveform value of ``source`` into volts."""
    from .convert import value_factor  # one rule for analog and segment values

    return value_factor(segment_physical(recording, entity), source.resolution, entity.units)


def write_segments(nwbfile: NWBFile, recording: Any, segments: list[Any], electrodes: ElectrodeTable,
                   names: Names, stub: float | None, compression: str | None,
                   progress: Progress) -> list[UnitRow]:
    """Write the unsorted items of every segment entity; return the sorted ones as unit rows."""
    rows: list[UnitRow] = []
    for entity in segments:
        data = entity.read(0, items_before(entity, stub))
        times = np.asarray(data.timestamps, dtype=np.float64)
        waves = np.asarray(data.waveforms, dtype=np.float64)
        units = np.asarray(data.units)
        sources = list(entity.sources_with_samples)
        waves = waves[:, sources, :] if waves.ndim == 3 else waves[:, None, :]
        source_info = [entity.sources[s] for s in sources]
        factors = np.array([segment_factor(recording, entity, s) for s in source_info])
        rows_of_sources = [electrodes.add_source(entity, s, entity.sources[s], "spike_sources") for s in sources]
        progress.advance(int(waves.size))
        unsorted = units == 0
        if unsorted.sum() > 2 and _regular(times[unsorted]):
            _segment_intervals(nwbfile, entity, names, times[unsorted], waves[unsorted] * factors[None, :, None],
                               rows_of_sources, compression)
        elif unsorted.any():
            _spike_event_series(nwbfile, entity, names, times[unsorted], waves[unsorted], source_info,
                                factors, rows_of_sources, segment_physical(recording, entity), compression)
        for unit in sorted({int(u) for u in units[~unsorted]}):
            pick = units == unit
            rows.append(UnitRow(entity.label, entity.index, unit, times[pick],
                                waves[pick] * factors[None, :, None], rows_of_sources, float(entity.sample_rate)))
    return rows


def _regular(times: np.ndarray) -> bool:
    """Items at a constant interval (sweeps): NWB asks for a rate there, which SpikeEventSeries cannot take."""
    return len(np.unique(np.diff(times).round(9))) == 1


def _segment_intervals(nwbfile: NWBFile, entity: Any, names: Names, times: np.ndarray, volts: np.ndarray,
                       rows: list[int], compression: str | None) -> TimeIntervals:
    """Items at a constant interval as a table of intervals with their waveforms in volts."""
    rate = float(entity.sample_rate)
    samples = volts.shape[2]
    table = TimeIntervals(
        name=names.take(f"Segments {entity.label}"),
        description=(f"Neuroshare segment entity {entity.index} '{entity.label}': items without a unit id at a "
                     f"constant interval (sweeps); {rate:g} Hz, units '{entity.units}', {entity.source_count} "
                     f"source(s), sources with samples {list(entity.sources_with_samples)}; start_time is the "
                     "item time, stop_time the time of its last sample; waveforms in volts (items, sources, "
                     "samples), NaN marks samples an item does not have"))
    table.add_column(name="waveforms", description="samples of the item in volts (sources, samples)")
    table.add_column(name="electrodes", description="electrodes of the sources", table=nwbfile.electrodes,
                     index=True)
    duration = (samples - 1) / rate if rate > 0 else 0.0
    for t, w in zip(times, volts, strict=True):
        table.add_row(start_time=float(t), stop_time=float(t) + duration, waveforms=w, electrodes=rows)
    if compression and volts.size:
        table["waveforms"].set_data_io(H5DataIO, {"compression": compression, "shuffle": True})
    nwbfile.add_time_intervals(table)
    return table


def _spike_event_series(nwbfile: NWBFile, entity: Any, names: Names, times: np.ndarray, waves: np.ndarray,
                        sources: list[Any], factors: np.ndarray, rows: list[int], physical: bool,
                        compression: str | None) -> SpikeEventSeries:
    # Stored as (items, sources, samples); encoded with one column per source.
    values = np.ascontiguousarray(np.transpose(waves, (0, 2, 1)))
    flat = values.reshape(-1, values.shape[2])
    scales = [ChannelScale(s.resolution if physical else 1.0, f, s.min_value, s.max_value)
              for s, f in zip(sources, factors, strict=True)]
    dtype = None
    while True:
        plan = plan_storage(scales, dtype)
        try:
            stored = np.ascontiguousarray(np.transpose(plan.encode(flat).reshape(values.shape), (0, 2, 1)))
            break
        except LossyStorage:
            dtype = wider(plan.dtype)
    region = nwbfile.create_electrode_table_region(rows, f"spike sources of {entity.label}")
    kwargs: dict[str, Any] = {}
    if plan.channel_conversion is not None:
        kwargs["channel_conversion"] = list(plan.channel_conversion)
    data = compressed(stored, compression) if stored.size else stored
    series = SpikeEventSeries(
        name=names.take(f"SpikeEvents {entity.label}"), data=data, timestamps=times, electrodes=region,
        conversion=plan.conversion, offset=plan.offset,
        description=(f"Neuroshare segment entity {entity.index} '{entity.label}': items without a unit id; "
                     f"{entity.sample_rate:g} Hz, units '{entity.units}', "
                     f"{entity.source_count} source(s), sources with samples {list(entity.sources_with_samples)}; "
                     f"data (items, sources, samples); "
                     "NaN marks samples an item does not have"),
        **kwargs)
    nwbfile.add_acquisition(series)
    return series


def add_neural(recording: Any, neural: list[Any], rows: list[UnitRow], electrodes: ElectrodeTable,
               stub: float | None, progress: Progress) -> None:
    """Join each neural entity to the unit row with its times, or give it a row."""
    for entity in neural:
        times = np.asarray(entity.read(0, items_before(entity, stub)), dtype=np.float64)
        progress.advance(int(times.size))
        match = next((r for r in rows if r.entity_index == entity.source_entity_id and not r.neural_entity
                      and r.times.shape == times.shape and np.array_equal(r.times, times)), None)
        if match is not None:
            match.neural_entity = entity.label
            match.neural_source_entity = int(entity.source_entity_id)
            match.neural_source_unit = int(entity.source_unit_id)
            match.neural_probe_info = entity.probe_info
            continue
        source_rows = [row for (seg, _), row in electrodes.rows.sources.items() if seg == entity.source_entity_id]
        if entity.source_entity_id in electrodes.rows.analog:
            source_rows = [electrodes.rows.analog[entity.source_entity_id]]
        rows.append(UnitRow(entity.label, entity.index, -1, times, None, source_rows, 0.0, entity.label,
                            int(entity.source_entity_id), int(entity.source_unit_id), entity.probe_info))


def write_units(nwbfile: NWBFile, rows: list[UnitRow], resolution: float) -> None:
    """The Units table, one row per sorted unit (waveforms padded with NaN to one length)."""
    if not rows:
        return
    samples = max((r.waveforms.shape[2] for r in rows if r.waveforms is not None), default=0)
    rates = {r.rate for r in rows if r.waveforms is not None}
    kwargs: dict[str, Any] = {"resolution": resolution} if resolution > 0 else {}
    if len(rates) == 1:
        kwargs["waveform_rate"] = rates.pop()
        kwargs["waveform_unit"] = "volts"
    units = Units(name="units", description="sorted units read through Neuroshare", **kwargs)
    nwbfile.units = units
    for name, description in UNIT_COLUMNS.items():
        units.add_column(name=name, description=description)
    for r in rows:
        extra: dict[str, Any] = {}
        if samples:
            if r.waveforms is None:
                # One NaN waveform per spike keeps the count of waveforms that of the spikes.
                extra["waveforms"] = np.full((r.times.size, 1, samples), np.nan)
            else:
                w = r.waveforms
                if w.shape[2] < samples:
                    w = np.concatenate([w, np.full(w.shape[:2] + (samples - w.shape[2],), np.nan)], axis=2)
                extra["waveforms"] = w
        units.add_unit(spike_times=r.times, electrodes=r.electrodes, label=r.label, entity_index=r.entity_index,
                       unit_id=r.unit_id, neural_entity=r.neural_entity, neural_source_entity=r.neural_source_entity,
                       neural_source_unit=r.neural_source_unit, neural_probe_info=r.neural_probe_info,
                       waveform_sampling_rate=r.rate, **extra)
