"""Convert an open recording into an NWB file.

The work is split into small modules; this one decides what goes where and
drives the writing:

* file fields and the subject from the recording and the metadata,
* electrode channels -> one ``ElectricalSeries`` per signal block (channels
  sharing sample rate and count), other analog channels -> one ``TimeSeries``
  each, all streamed through chunk iterators (:mod:`.signals`),
* segment and neural entities -> ``SpikeEventSeries`` and ``Units`` (:mod:`.spikes`),
* event entities -> ``EventsTable`` (:mod:`.events`).

The file is written under a temporary name beside the target and renamed at
the end (:mod:`.target`). A storage type that turns out not to hold a group's
values exactly makes the converter write the file again with that group one
type wider (:mod:`.storage`).
"""

from __future__ import annotations

import datetime as dt
import math
import os
import sys
from collections.abc import Callable
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any

import numpy as np
from pynwb import NWBHDF5IO, NWBFile, TimeSeries
from pynwb.ecephys import ElectricalSeries
from pynwb.file import Subject

from .electrodes import ElectrodeTable, filtering_text, group_name
from .events import add_event_entity
from .metadata import load_metadata, missing_dandi_fields, new_identifier, parse_timezone
from .names import Names
from .progress import Progress, ProgressCallback, check_interrupt, interruptible
from .signals import SignalIterator, TimesIterator, compressed, regular_timing
from .spikes import add_neural, write_segments, write_units
from .storage import ChannelScale, LossyStorage, plan_storage, wider
from .stub import items_before
from .target import check_target, temporary_beside

COMPRESSIONS = ("gzip", "none")

_VOLTS = {"v": 1.0, "volt": 1.0, "volts": 1.0, "mv": 1e-3, "uv": 1e-6, "µv": 1e-6, "μv": 1e-6, "nv": 1e-9}


class ConversionError(Exception):
    """A conversion that cannot be done; nothing was written."""


@dataclass
class ConversionResult:
    """What a conversion wrote and decided."""

    path: Path
    identifier: str
    session_start_time: dt.datetime
    timezone_source: str
    missing_dandi: list[str]
    series: dict[str, str] = field(default_factory=dict)   # name -> storage type
    values_written: int = 0


def volts_per_unit(units: str) -> float | None:
    """Volts per unit of ``units`` (V, mV, uV, ...), None when it is not a voltage."""
    return _VOLTS.get(units.strip().lower())


def value_factor(physical: bool, resolution: float, units: str) -> float:
    """Multiplies a library value into volts: counts times resolution for raw counts."""
    scale = volts_per_unit(units) or 1.0
    return scale if physical else resolution * scale


def convert(recording: Any, path: str | os.PathLike[str], metadata: Any = None, *,
            stub: float | None = None, compression: str = "gzip", overwrite: bool = False,
            require_dandi: bool = False, quiet: bool = False, show_progress: bool = False,
            progress: ProgressCallback | None = None,
            log: Callable[[str], None] | None = None) -> ConversionResult:
    """Write ``recording`` as an NWB file at ``path``.

    Parameters
    ----------
    recording:
        An open :class:`nsread.Recording`.
    path:
        The NWB file to write; it appears only once complete.
    metadata:
        Path of a YAML/JSON metadata file, a mapping of the same layout, or None.
    stub:
        Write only the items of every entity before this many seconds.
    compression:
        "gzip" (default) or "none".
    overwrite:
        Replace an existing file.
    require_dandi:
        Stop before writing when fields DANDI requires are missing.
    quiet:
        No messages (time zone used, missing DANDI fields).
    show_progress:
        Show a tqdm bar of the samples written (on a terminal).
    progress:
        Called with the number of values written after each step; an exception
        it raises (KeyboardInterrupt included) stops the conversion and leaves
        no file behind.
    log:
        Where messages go (standard error by default).

    Returns
    -------
    ConversionResult

    Raises
    ------
    nsread.nwb.MetadataError, ConversionError, nsread.NeuroshareError
    """
    say = (lambda _m: None) if quiet else (log or (lambda m: print(m, file=sys.stderr)))
    if compression not in COMPRESSIONS:
        raise ConversionError(f"compression must be one of {', '.join(COMPRESSIONS)}, not {compression!r}")
    if stub is not None and not (stub > 0 and math.isfinite(stub)):
        raise ConversionError(f"the stub length must be a positive number of seconds, not {stub!r}")
    meta = load_metadata(metadata)
    missing = missing_dandi_fields(meta)
    if missing and require_dandi:
        raise ConversionError("fields DANDI requires are missing from the metadata: " + ", ".join(missing))
    target = check_target(Path(path), overwrite)
    start, zone_source = session_start(recording, meta)
    say(f"session start {start.isoformat()} ({zone_source})")
    identifier = new_identifier(meta)
    dtypes: dict[str, str] = {}
    while True:
        writer = _Writer(recording, meta, start, identifier, stub, None if compression == "none" else "gzip",
                         dtypes, Progress(0, show_progress, progress))
        try:
            with interruptible(), temporary_beside(target) as tmp:
                nwbfile = writer.build()
                with NWBHDF5IO(str(tmp), mode="w") as io:
                    io.write(nwbfile)
                check_interrupt()
            break
        except LossyStorage as exc:
            # The group's values are not exact in this type: write again, one type wider.
            current = writer.dtypes_used[exc.series]
            dtypes[exc.series] = wider(current) or "float64"
            if current == "float64":
                raise ConversionError(f"{exc.series}: values cannot be stored exactly") from exc
        finally:
            writer.progress.close()
    if missing:
        say("missing for DANDI: " + ", ".join(missing) + " (add them to the metadata before uploading)")
    return ConversionResult(target, identifier, start, zone_source, missing, dict(writer.dtypes_used),
                            writer.progress.done)


def session_start(recording: Any, meta: dict[str, Any]) -> tuple[dt.datetime, str]:
    """The session start with its zone, and a text saying where the zone came from."""
    given = meta["NWBFile"].get("session_start_time")
    if given is not None:
        return given, "from the metadata"
    info = recording.info
    start = info.start_time
    if start is None:
        raise ConversionError("the recording holds no valid start time; give NWBFile.session_start_time "
                              "in the metadata")
    if info.start_time_zone_known:
        return start, f"time zone {start.tzname()} as the {recording.library.kind} library states it"
    wall = start.replace(tzinfo=None)
    if "timezone" in meta:
        zone = parse_timezone(meta["timezone"])
        return wall.replace(tzinfo=zone), f"time zone {meta['timezone']} from the metadata"
    return wall.replace(tzinfo=dt.timezone.utc), ("time zone unknown to the library, taken as UTC; "
                                                  "give 'timezone' in the metadata to set it")


class _Writer:
    """Builds the NWBFile of one attempt."""

    def __init__(self, recording: Any, meta: dict[str, Any], start: dt.datetime, identifier: str,
                 stub: float | None, compression: str | None, dtypes: dict[str, str], progress: Progress) -> None:
        self.recording = recording
        self.meta = meta
        self.start = start
        self.identifier = identifier
        self.stub = stub
        self.compression = compression
        self.forced = dtypes
        self.progress = progress
        self.dtypes_used: dict[str, str] = {}
        self.names = Names()

    def build(self) -> NWBFile:
        rec = self.recording
        empty = [f"{e.index} '{e.label}'" for e in rec.entities
                 if e.kind == "event" and items_before(e, self.stub) == 0]
        nwbfile = self._file(empty)
        electrodes = ElectrodeTable(nwbfile, self._device(nwbfile), self.meta["Ecephys"])
        by_kind: dict[str, list[Any]] = {}
        for entity in rec.entities:
            by_kind.setdefault(entity.kind, []).append(entity)
        signals = self._plan_signals(electrodes)
        segments = by_kind.get("segment", [])
        for entity in segments:
            for s in entity.sources_with_samples:
                electrodes.add_source(entity, s, entity.sources[s], "spike_sources")
        self.progress.set_total(
            sum(p[0] for p in signals)
            + sum(e.item_count * len(e.sources_with_samples) * e.max_sample_count for e in segments)
            + sum(e.item_count for e in rec.entities if e.kind in ("neural", "event")))
        for _, make in signals:
            nwbfile.add_acquisition(make(nwbfile, electrodes))
        unit_rows = write_segments(nwbfile, rec, segments, electrodes, self.names, self.stub,
                                   self.compression, self.progress)
        add_neural(rec, by_kind.get("neural", []), unit_rows, electrodes, self.stub, self.progress)
        resolution = float(rec.info.time_stamp_resolution)
        write_units(nwbfile, unit_rows, resolution if math.isfinite(resolution) else 0.0)
        for entity in by_kind.get("event", []):
            add_event_entity(nwbfile, entity, self.names, self.stub, resolution if math.isfinite(resolution) else 0.0)
            self.progress.advance(entity.item_count)
        return nwbfile

    # -- file and device -----------------------------------------------------------

    def _file(self, empty_events: list[str]) -> NWBFile:
        rec, info = self.recording, self.recording.info
        given = dict(self.meta["NWBFile"])
        given.pop("identifier", None)
        given.pop("session_start_time", None)
        lib = rec.library.info
        source = (f"Converted with nsread from {os.path.basename(rec.path)}: file type '{info.file_type}', "
                  f"written by '{info.application}', read with the Neuroshare library '{lib.description}' "
                  f"by {lib.creator}, version {lib.library_version[0]}.{lib.library_version[1]}.")
        comment = info.comment.strip()
        description = given.pop("session_description", None) or comment or \
            f"Recording {os.path.basename(rec.path)} ({info.file_type}, {info.application})"
        notes = [f"Neuroshare file comment: {comment}" if comment else "Neuroshare file comment: (empty)",
                 f"time span {info.time_span:g} s, time stamp resolution {info.time_stamp_resolution:g} s"]
        if self.stub is not None:
            notes.append(f"stub: only the first {self.stub:g} s of every entity")
        if empty_events:
            notes.append("event entities without items (no table written): " + ", ".join(empty_events))
        if "notes" in given:
            notes.insert(0, given.pop("notes"))
        collection = given.pop("data_collection", None)
        nwbfile = NWBFile(
            session_description=description, identifier=self.identifier, session_start_time=self.start,
            data_collection=f"{collection}\n{source}" if collection else source, notes="\n".join(notes),
            **given)
        subject = self.meta["Subject"]
        if subject:
            nwbfile.subject = Subject(**subject)
        return nwbfile

    def _device(self, nwbfile: NWBFile):
        info = self.recording.info
        devices = self.meta["Ecephys"].get("Device", [])
        if devices:
            return nwbfile.create_device(**devices[0])
        return nwbfile.create_device(
            name=(info.application or "recording system").replace("/", "_"),
            description=f"acquisition system that wrote the {info.file_type} recording")

    # -- analog signals ----------------------------------------------------------------

    def _plan_signals(self, electrodes: ElectrodeTable) -> list[tuple[int, Callable[..., Any]]]:
        """(values to write, builder) for every series, electrode rows made in entity order."""
        plans: list[tuple[int, Callable[..., Any]]] = []
        blocks = self.recording.blocks()
        electrical = sum(1 for b in blocks if any(self._is_volts(e) for e in b.entities))
        for k, block in enumerate(blocks):
            rows = self._rows(block)
            columns = list(range(len(block.entities)))
            volts = [c for c in columns if self._is_volts(block.entities[c])]
            others = [c for c in columns if c not in volts]
            if volts:
                name = group_name([block.entities[c].label for c in volts], f"group{k}")
                group = electrodes.group(name, f"electrode channels of {name}")
                for c in volts:
                    electrodes.add_analog(block.entities[c], group)
                series = "ElectricalSeries" if electrical == 1 else f"ElectricalSeries {name}"
                plans.append((rows * len(volts), self._electrical(block, volts, rows, name, series)))
            for c in others:
                plans.append((rows, self._timeseries(block, c, rows)))
        return plans

    @staticmethod
    def _is_volts(entity: Any) -> bool:
        """An electrode channel whose units NWB's volts can hold."""
        return bool(entity.is_electrode) and volts_per_unit(entity.units) is not None

    def _rows(self, block: Any) -> int:
        """Samples to write: all, or those before the stub length."""
        return min(int(block.shape[0]), items_before(block.entities[0], self.stub))

    def _scales(self, entities: list[Any]) -> list[ChannelScale]:
        scales = []
        for e in entities:
            factor = value_factor(e.physical, e.resolution, e.units)
            step = e.resolution if e.physical else 1.0
            scales.append(ChannelScale(step, factor, e.min_value, e.max_value))
        return scales

    def _storage(self, name: str, entities: list[Any]):
        plan = plan_storage(self._scales(entities), self.forced.get(name))
        self.dtypes_used[name] = plan.dtype
        return plan

    def _timing(self, block: Any, rows: int) -> dict[str, Any]:
        def times(a: int, b: int) -> np.ndarray:
            return block.times(a, b)

        start = regular_timing(times, rows, float(block.sample_rate))
        if start is not None:
            return {"starting_time": start, "rate": float(block.sample_rate)}
        stamps = TimesIterator(times, rows)
        return {"timestamps": compressed(stamps, self.compression)}

    def _data(self, name: str, read: Callable[[int, int], np.ndarray], rows: int, channels: int, plan,
              flat: bool = False) -> Any:
        if rows == 0:
            return np.zeros((0,) if flat else (0, channels), dtype=plan.dtype)
        it = SignalIterator(name, read, rows, channels, plan, self.progress, flat=flat)
        return compressed(it, self.compression)

    def _electrical(self, block: Any, columns: list[int], rows: int, group: str, series: str) -> Callable[..., Any]:
        def make(nwbfile: NWBFile, electrodes: ElectrodeTable) -> ElectricalSeries:
            entities = [block.entities[c] for c in columns]
            name = self.names.take(series)
            plan = self._storage(name, entities)
            region = nwbfile.create_electrode_table_region(
                [electrodes.rows.analog[e.index] for e in entities], f"electrode channels of {group}")
            def read(a: int, b: int) -> np.ndarray:
                return block.read(a, b, channels=columns)

            filters = {filtering_text(e) for e in entities}
            kwargs: dict[str, Any] = {}
            if plan.channel_conversion is not None:
                kwargs["channel_conversion"] = list(plan.channel_conversion)
            return ElectricalSeries(
                name=name, data=self._data(name, read, rows, len(columns), plan), electrodes=region,
                conversion=plan.conversion, offset=plan.offset,
                resolution=plan.conversion if plan.dtype == "int16" and plan.channel_conversion is None else -1.0,
                filtering=filters.pop() if len(filters) == 1 else "per channel: see the electrodes table",
                description=(f"Neuroshare analog entities {[e.index for e in entities]} at "
                             f"{block.sample_rate:g} Hz, stored as {plan.dtype} "
                             f"({'values as the library returns them' if entities[0].physical else 'raw counts'})"),
                **kwargs, **self._timing(block, rows))
        return make

    def _timeseries(self, block: Any, column: int, rows: int) -> Callable[..., Any]:
        def make(nwbfile: NWBFile, electrodes: ElectrodeTable) -> TimeSeries:
            e = block.entities[column]
            name = self.names.take(e.label)
            plan = self._storage(name, [e])
            def read(a: int, b: int) -> np.ndarray:
                return block.read(a, b, channels=[column])

            data = self._data(name, read, rows, 1, plan, flat=True)
            unit = e.units or "unknown"
            return TimeSeries(
                name=name, data=data, unit=unit, conversion=plan.conversion, offset=plan.offset,
                resolution=plan.conversion if plan.dtype == "int16" else -1.0,
                description=(f"Neuroshare analog entity {e.index} '{e.label}': {e.sample_rate:g} Hz, "
                             f"range {e.min_value:g} to {e.max_value:g} {e.units}, resolution {e.resolution:g}, "
                             f"location ({e.location_x:g}, {e.location_y:g}, {e.location_z:g}, user "
                             f"{e.location_user:g}), {filtering_text(e)}, probe '{e.probe_info}'"),
                **self._timing(block, rows))
        return make
