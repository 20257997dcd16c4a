"""The four kinds of entity and reading their items as numpy arrays."""

from __future__ import annotations

import ctypes
import operator
from dataclasses import dataclass, field
from typing import TYPE_CHECKING

import numpy as np

from . import _records as R
from .errors import NeuroshareError
from .text import decode

if TYPE_CHECKING:
    from .library import Library
    from .recording import Recording

_MODES = {"before": R.ns_BEFORE, "closest": R.ns_CLOSEST, "after": R.ns_AFTER}
_U32_MAX = 0xFFFFFFFF
# Largest event payload and segment buffer (values per item) read at once: a
# damaged record cannot make nsread allocate without bound.
_MAX_EVENT_BYTES = 1 << 16
_MAX_SEGMENT_VALUES = 1 << 24


def _as_int(value: object, what: str, call: str) -> int:
    try:
        return operator.index(value)  # type: ignore[arg-type]
    except TypeError:
        raise NeuroshareError(R.ns_BADINDEX, call, f"{what} must be an integer, not {value!r}") from None


class Entity:
    """An entity of a recording (base class; unknown entity types use it as is).

    Attributes
    ----------
    recording : Recording
        The recording it belongs to.
    index : int
        Its entity index in the library.
    label : str
        Its label (``label_raw`` holds the bytes).
    item_count : int
        Number of items (samples, events, segments or spikes).
    entity_type : int
        The library's entity type code.
    """

    kind = "unknown"

    def __init__(self, recording: Recording, index: int, label_raw: bytes, entity_type: int, item_count: int):
        self.recording = recording
        self.index = index
        self.label_raw = label_raw
        self.label = decode(label_raw)
        self.entity_type = entity_type
        self.item_count = item_count

    def __repr__(self) -> str:
        return f"<{type(self).__name__} {self.index} {self.label!r}, {self.item_count} items>"

    def _load_info(self, lib: Library, handle: int) -> None:
        """Read the info record of the entity's type (subclasses)."""

    # -- ranges ---------------------------------------------------------------

    def _range(self, start: int, count: int | None, call: str) -> tuple[int, int]:
        start = _as_int(start, "start", call)
        n = self.item_count
        if count is None:
            count = n - start
        count = _as_int(count, "count", call)
        if start < 0 or count < 0 or start + count > n:
            raise NeuroshareError(
                R.ns_BADINDEX, call, f"items {start} to {start + count} are outside the entity's {n} items"
            )
        return start, count

    # -- index and time ---------------------------------------------------------

    def time_of(self, index: int) -> float:
        """Time in seconds of item ``index`` (``ns_GetTimeByIndex``)."""
        index = _as_int(index, "index", "ns_GetTimeByIndex")
        if not 0 <= index <= _U32_MAX:
            raise NeuroshareError(R.ns_BADINDEX, "ns_GetTimeByIndex", f"index {index} out of range")
        t = ctypes.c_double()
        lib = self.recording.library
        with self.recording._use("ns_GetTimeByIndex") as h:
            lib.call("ns_GetTimeByIndex", h, self.index, index, ctypes.byref(t), context=f"entity {self.index}")
        return t.value

    def index_of(self, time: float, mode: str = "closest") -> int:
        """Index of the item at ``time`` seconds (``ns_GetIndexByTime``).

        Parameters
        ----------
        time : float
            Seconds from the recording's time origin.
        mode : {"closest", "before", "after"}
            Which item to choose when ``time`` lies between two items.
        """
        try:
            flag = _MODES[mode]
        except (KeyError, TypeError):
            raise ValueError(f"mode must be 'closest', 'before' or 'after', not {mode!r}") from None
        idx = ctypes.c_uint32()
        lib = self.recording.library
        with self.recording._use("ns_GetIndexByTime") as h:
            lib.call(
                "ns_GetIndexByTime", h, self.index, float(time), flag, ctypes.byref(idx),
                context=f"entity {self.index}, {time} s, {mode}",
            )
        return idx.value

    def read(self, start: int = 0, count: int | None = None):
        """Entities of an unknown type have no items to read."""
        raise NeuroshareError(
            R.ns_BADENTITY, "Entity.read", f"entity {self.index} has the unknown type {self.entity_type}"
        )


class EventEntity(Entity):
    """Events: time stamps with a value each (text, byte, word or double word)."""

    kind = "event"

    def _load_info(self, lib: Library, handle: int) -> None:
        rec = R.ns_EVENTINFO()
        lib.call("ns_GetEventInfo", handle, self.index, ctypes.addressof(rec), ctypes.sizeof(rec),
                 context=f"entity {self.index}")
        self.event_type: int = rec.dwEventType
        self.min_data_length: int = rec.dwMinDataLength
        self.max_data_length: int = rec.dwMaxDataLength
        self.csv_desc_raw: bytes = R.raw_text(rec, "szCSVDesc")
        self.csv_desc: str = decode(self.csv_desc_raw)

    @property
    def is_text(self) -> bool:
        """True for text and CSV events, whose values are ``str``."""
        return self.event_type in (R.ns_EVENT_TEXT, R.ns_EVENT_CSV)

    def value_dtype(self) -> np.dtype:
        """The numpy dtype of the ``value`` field that :meth:`read` returns.

        Text events give ``object`` (Python ``str``).  Numeric events give
        uint8, uint16 or uint32 by event type; an item longer than one such
        value (a 4-byte word event holds two words) gives a sub-array of them.
        """
        if self.is_text:
            return np.dtype(object)
        width = {R.ns_EVENT_BYTE: 1, R.ns_EVENT_WORD: 2, R.ns_EVENT_DWORD: 4}.get(self.event_type, 1)
        base = np.dtype(f"<u{width}")
        n = max(1, min(self.max_data_length, _MAX_EVENT_BYTES) // width)
        return base if n == 1 else np.dtype((base, (n,)))

    def read(self, start: int = 0, count: int | None = None) -> np.ndarray:
        """Read events ``start`` to ``start + count`` (all by default).

        Returns
        -------
        numpy.ndarray
            A structured array with fields ``time`` (float64 seconds) and
            ``value`` (see :meth:`value_dtype`).  Bytes beyond the size an
            event reports are zero.
        """
        start, count = self._range(start, count, "EventEntity.read")
        vdtype = self.value_dtype()
        text_values = self.is_text
        out = np.zeros(count, dtype=[("time", "<f8"), ("value", vdtype)])
        size = max(1, min(self.max_data_length, _MAX_EVENT_BYTES))
        if not text_values:
            size = max(size, vdtype.itemsize)
        buf = ctypes.create_string_buffer(size)
        t = ctypes.c_double()
        ret = ctypes.c_uint32()
        lib = self.recording.library
        fn = lib.function("ns_GetEventData")
        values = out["value"]
        text = self.is_text
        with self.recording._use("ns_GetEventData") as h:
            for i in range(count):
                ctypes.memset(buf, 0, size)
                rc = fn(h, self.index, start + i, ctypes.byref(t), buf, size, ctypes.byref(ret))
                if rc != R.ns_OK:
                    raise lib.fail(rc, "ns_GetEventData", f"entity {self.index}, item {start + i}")
                out["time"][i] = t.value
                n = min(ret.value, size)
                data = buf.raw[:n]
                if text:
                    end = data.find(b"\0")
                    values[i] = decode(data if end < 0 else data[:end])
                else:
                    padded = data[: vdtype.itemsize].ljust(vdtype.itemsize, b"\0")
                    values[i] = np.frombuffer(padded, dtype=vdtype.base).reshape(vdtype.shape)
        return out


class AnalogEntity(Entity):
    """A continuously sampled channel.

    ``physical`` tells whether :meth:`read` returns values in ``units``
    already (qrdshare: volts) or the converter's raw counts (mapshare returns
    the 16-bit samples as they are; ``resolution`` is the size of one count in
    ``units``).  ``read(..., physical=True)`` always gives values in ``units``.

    ``is_electrode`` is True for channels that record from electrodes rather
    than from analog inputs or digital lines.  It is decided from the records:
    qrdshare labels start with the stream tag (``elec``, ``filt`` and ``chtl``
    are electrode streams, ``anlg`` analog inputs, ``digi`` digital words, whose
    units are ``raw``); mapshare's Continuous channels are electrode channels;
    other libraries' channels count as electrodes when their units are volts.
    """

    kind = "analog"

    def _load_info(self, lib: Library, handle: int) -> None:
        rec = R.ns_ANALOGINFO()
        lib.call("ns_GetAnalogInfo", handle, self.index, ctypes.addressof(rec), ctypes.sizeof(rec),
                 context=f"entity {self.index}")
        self.sample_rate: float = rec.dSampleRate
        self.min_value: float = rec.dMinVal
        self.max_value: float = rec.dMaxVal
        self.units_raw: bytes = R.raw_text(rec, "szUnits")
        self.units: str = decode(self.units_raw)
        self.resolution: float = rec.dResolution
        self.location_x: float = rec.dLocationX
        self.location_y: float = rec.dLocationY
        self.location_z: float = rec.dLocationZ
        self.location_user: float = rec.dLocationUser
        self.high_cut: float = rec.dHighFreqCorner
        self.high_order: int = rec.dwHighFreqOrder
        self.high_filter_type: str = decode(R.raw_text(rec, "szHighFilterType"))
        self.low_cut: float = rec.dLowFreqCorner
        self.low_order: int = rec.dwLowFreqOrder
        self.low_filter_type: str = decode(R.raw_text(rec, "szLowFilterType"))
        self.probe_info_raw: bytes = R.raw_text(rec, "szProbeInfo")
        self.probe_info: str = decode(self.probe_info_raw)
        self.physical: bool = lib.kind != "mapshare"
        self.is_electrode: bool = _is_electrode(lib.kind, self.label, self.units, self.probe_info)
        # qrdshare writes every requested sample even where a read crosses the
        # end of a sweep; other libraries may stop at the gap.
        self._whole_reads = lib.kind == "qrdshare"

    @property
    def location(self) -> tuple[float, float, float, float]:
        """(x, y, z, user) location."""
        return (self.location_x, self.location_y, self.location_z, self.location_user)

    def read(
        self, start: int = 0, count: int | None = None, *, physical: bool = False, out: np.ndarray | None = None
    ) -> np.ndarray:
        """Read samples ``start`` to ``start + count`` (all by default) as float64.

        A read that crosses a gap in the recording (the library reports fewer
        contiguous samples than asked for) is split at the gap and continued
        from there, so the result holds exactly the samples asked for, by
        index, and never stale memory.  Use :meth:`gaps` to find where the
        time line jumps.

        Parameters
        ----------
        start, count : int
            The first sample and the number of samples.
        physical : bool
            Scale raw converter counts by ``resolution`` (no effect when
            ``self.physical`` is True).
        out : numpy.ndarray, optional
            A contiguous float64 array of ``count`` elements to fill.
        """
        start, count = self._range(start, count, "AnalogEntity.read")
        out = _check_out(out, (count,))
        with self.recording._use("ns_GetAnalogData") as h:
            read_analog(self, h, start, count, out.ctypes.data)
        if physical and not self.physical:
            out *= self.resolution
        return out

    def read_seconds(self, t0: float, t1: float, *, physical: bool = False) -> np.ndarray:
        """Read the samples from the first at or after ``t0`` to the last at or before ``t1``."""
        first = self.index_of(max(float(t0), 0.0), "after")
        last = self.index_of(float(t1), "before")
        if last < first or self.item_count == 0:
            return np.empty(0)
        return self.read(first, last - first + 1, physical=physical)

    def gaps(self, start: int = 0, count: int | None = None) -> np.ndarray:
        """Indexes in ``start .. start + count`` where a new contiguous run begins.

        Found from the item times: where time_of(i) - time_of(i - 1) differs
        from one sample period by more than half a period.
        """
        start, count = self._range(start, count, "AnalogEntity.gaps")
        found: list[int] = []
        if count < 2 or self.sample_rate <= 0:
            return np.array(found, dtype=np.int64)
        period = 1.0 / self.sample_rate

        def walk(a: int, b: int, ta: float, tb: float) -> None:
            # a < b; items a..b are contiguous when their times are evenly spaced
            if abs((tb - ta) - (b - a) * period) <= 0.5 * period:
                return
            if b == a + 1:
                found.append(b)
                return
            m = (a + b) // 2
            tm = self.time_of(m)
            walk(a, m, ta, tm)
            walk(m, b, tm, tb)

        last = start + count - 1
        walk(start, last, self.time_of(start), self.time_of(last))
        return np.array(found, dtype=np.int64)

    def times(self, start: int = 0, count: int | None = None) -> np.ndarray:
        """Times in seconds of samples ``start`` to ``start + count``, gaps included."""
        start, count = self._range(start, count, "AnalogEntity.times")
        out = np.empty(count)
        if count == 0:
            return out
        bounds = [start, *self.gaps(start, count).tolist(), start + count]
        for a, b in zip(bounds[:-1], bounds[1:], strict=False):
            out[a - start:b - start] = self.time_of(a) + np.arange(b - a) / self.sample_rate
        return out


def _is_electrode(kind: str, label: str, units: str, probe: str) -> bool:
    if kind == "qrdshare":
        return label[:4] in ("elec", "filt", "chtl")
    if kind == "mapshare":
        return True  # its analog entities are the Continuous channels
    return units.strip().lower() in ("v", "mv", "uv", "µv", "μv", "nv", "volt", "volts")


def _check_out(out: np.ndarray | None, shape: tuple[int, ...]) -> np.ndarray:
    if out is None:
        return np.empty(shape, dtype=np.float64)
    if not isinstance(out, np.ndarray) or out.dtype != np.float64:
        raise TypeError("out must be a float64 numpy array")
    if out.shape != shape:
        raise ValueError(f"out has shape {out.shape}, the read needs {shape}")
    if not out.flags.c_contiguous or not out.flags.writeable:
        raise ValueError("out must be C-contiguous and writeable")
    return out


def read_analog(entity: AnalogEntity, handle: int, start: int, count: int, address: int) -> None:
    """Fill ``count`` doubles at ``address`` with samples ``start..`` of ``entity``.

    Runs inside ``Recording._use``.  Where the library reports fewer
    contiguous samples than asked for, the read goes on from the first sample
    after them (qrdshare has written them already; its whole read is kept).  A
    library that stops without any sample leaves the rest as NaN.
    """
    lib = entity.recording.library
    fn = lib.analog_data_unchecked
    cont = ctypes.c_uint32()
    idx = entity.index
    done = 0
    while done < count:
        n = count - done
        rc = fn(handle, idx, start + done, n, ctypes.byref(cont), ctypes.c_void_p(address + 8 * done))
        if rc != R.ns_OK:
            raise lib.fail(rc, "ns_GetAnalogData", f"entity {idx}, samples {start + done} to {start + count}")
        got = cont.value
        if got >= n or entity._whole_reads:
            return
        if got == 0:
            rest = (ctypes.c_double * (count - done)).from_address(address + 8 * done)
            np.frombuffer(rest, dtype=np.float64)[:] = np.nan
            return
        done += got


@dataclass(frozen=True)
class SourceInfo:
    """One source of a segment entity (an ``ns_SEGSOURCEINFO`` record)."""

    min_value: float
    max_value: float
    resolution: float
    sub_sample_shift: float
    location_x: float
    location_y: float
    location_z: float
    location_user: float
    high_cut: float
    high_order: int
    high_filter_type: str
    low_cut: float
    low_order: int
    low_filter_type: str
    probe_info: str
    raw: dict[str, bytes] = field(default_factory=dict, repr=False)

    @property
    def location(self) -> tuple[float, float, float, float]:
        return (self.location_x, self.location_y, self.location_z, self.location_user)


@dataclass
class Segments:
    """Segment items read by :meth:`SegmentEntity.read`.

    Attributes
    ----------
    timestamps : numpy.ndarray
        float64 seconds, shape (n,).
    waveforms : numpy.ndarray
        float64, shape (n, sources, samples), samples = the entity's largest
        sample count.  Samples the library did not write are NaN.
    units : numpy.ndarray
        uint32 unit ids as the library reports them, shape (n,).
    sample_counts : numpy.ndarray
        uint32 sample counts per item as the library reports them.
    """

    timestamps: np.ndarray
    waveforms: np.ndarray
    units: np.ndarray
    sample_counts: np.ndarray

    def __len__(self) -> int:
        return len(self.timestamps)


class SegmentEntity(Entity):
    """Segments (spike cut-outs, sweeps): a time stamp, unit and waveform per item.

    ``sources_with_samples`` lists the sources whose samples the library
    actually writes.  It is found from the first item: the buffer is filled
    with NaN, one item is read, and source s counts as written when its part
    of the buffer (values s*k to (s+1)*k, k the item's sample count) holds a
    number.  mapshare counts one source per sorted unit but writes the
    samples of the first source only, so it gives ``[0]``.
    """

    kind = "segment"

    def _load_info(self, lib: Library, handle: int) -> None:
        rec = R.ns_SEGMENTINFO()
        lib.call("ns_GetSegmentInfo", handle, self.index, ctypes.addressof(rec), ctypes.sizeof(rec),
                 context=f"entity {self.index}")
        self.source_count: int = rec.dwSourceCount
        self.min_sample_count: int = rec.dwMinSampleCount
        self.max_sample_count: int = rec.dwMaxSampleCount
        self.sample_rate: float = rec.dSampleRate
        self.units_raw: bytes = R.raw_text(rec, "szUnits")
        self.units: str = decode(self.units_raw)
        sources = []
        for s in range(min(self.source_count, 1024)):
            src = R.ns_SEGSOURCEINFO()
            lib.call("ns_GetSegmentSourceInfo", handle, self.index, s, ctypes.addressof(src), ctypes.sizeof(src),
                     context=f"entity {self.index}, source {s}")
            raw = {"probe_info": R.raw_text(src, "szProbeInfo")}
            sources.append(SourceInfo(
                src.dMinVal, src.dMaxVal, src.dResolution, src.dSubSampleShift,
                src.dLocationX, src.dLocationY, src.dLocationZ, src.dLocationUser,
                src.dHighFreqCorner, src.dwHighFreqOrder, decode(R.raw_text(src, "szHighFilterType")),
                src.dLowFreqCorner, src.dwLowFreqOrder, decode(R.raw_text(src, "szLowFilterType")),
                decode(raw["probe_info"]), raw,
            ))
        self.sources: list[SourceInfo] = sources
        self._sources_with_samples: list[int] | None = None

    def _buffer_values(self) -> int:
        n = max(self.source_count, 1) * self.max_sample_count
        if n > _MAX_SEGMENT_VALUES:
            raise NeuroshareError(
                R.ns_LIBERROR, "SegmentEntity.read",
                f"entity {self.index} claims {self.source_count} sources of {self.max_sample_count} samples, "
                "more than nsread reads per item",
            )
        return n

    def read(self, start: int = 0, count: int | None = None) -> Segments:
        """Read segments ``start`` to ``start + count`` (all by default)."""
        start, count = self._range(start, count, "SegmentEntity.read")
        return self._read(start, count)

    def _read(self, start: int, count: int) -> Segments:
        nsrc, width = self.source_count, self.max_sample_count
        per_item = self._buffer_values()
        waveforms = np.full((count, nsrc, width), np.nan)
        timestamps = np.empty(count)
        units = np.zeros(count, dtype=np.uint32)
        counts = np.zeros(count, dtype=np.uint32)
        buf = np.empty(max(per_item, 1))
        t = ctypes.c_double()
        k = ctypes.c_uint32()
        unit = ctypes.c_uint32()
        lib = self.recording.library
        fn = lib.function("ns_GetSegmentData")
        address = buf.ctypes.data
        with self.recording._use("ns_GetSegmentData") as h:
            for i in range(count):
                buf.fill(np.nan)
                k.value = 0
                unit.value = 0
                rc = fn(h, self.index, start + i, ctypes.byref(t), address, per_item * 8,
                        ctypes.byref(k), ctypes.byref(unit))
                if rc != R.ns_OK:
                    raise lib.fail(rc, "ns_GetSegmentData", f"entity {self.index}, item {start + i}")
                timestamps[i] = t.value
                units[i] = unit.value
                counts[i] = k.value
                c = min(k.value, width)
                if nsrc and c:
                    waveforms[i, :, :c] = buf[: nsrc * c].reshape(nsrc, c)
        return Segments(timestamps, waveforms, units, counts)

    @property
    def sources_with_samples(self) -> list[int]:
        """Sources whose samples the library writes (see the class notes)."""
        if self._sources_with_samples is None:
            if self.item_count == 0 or self.source_count == 0:
                found = list(range(self.source_count))
            else:
                seg = self._read(0, 1)
                found = [s for s in range(self.source_count) if not np.isnan(seg.waveforms[0, s]).all()]
            self._sources_with_samples = found
        return self._sources_with_samples

    def time_of_all(self) -> np.ndarray:
        """Time stamps of every segment (reads each segment's time only)."""
        return self.read().timestamps


class NeuralEntity(Entity):
    """Sorted spike times of one unit."""

    kind = "neural"

    def _load_info(self, lib: Library, handle: int) -> None:
        rec = R.ns_NEURALINFO()
        lib.call("ns_GetNeuralInfo", handle, self.index, ctypes.addressof(rec), ctypes.sizeof(rec),
                 context=f"entity {self.index}")
        self.source_entity_id: int = rec.dwSourceEntityID
        self.source_unit_id: int = rec.dwSourceUnitID
        self.probe_info_raw: bytes = R.raw_text(rec, "szProbeInfo")
        self.probe_info: str = decode(self.probe_info_raw)

    def read(self, start: int = 0, count: int | None = None) -> np.ndarray:
        """Spike times in seconds of spikes ``start`` to ``start + count`` (float64)."""
        start, count = self._range(start, count, "NeuralEntity.read")
        out = np.full(count, np.nan)
        if count == 0:
            return out
        lib = self.recording.library
        with self.recording._use("ns_GetNeuralData") as h:
            lib.call("ns_GetNeuralData", h, self.index, start, count, out.ctypes.data,
                     context=f"entity {self.index}, spikes {start} to {start + count}")
        return out


_CLASSES: dict[int, type[Entity]] = {
    R.ns_ENTITY_EVENT: EventEntity,
    R.ns_ENTITY_ANALOG: AnalogEntity,
    R.ns_ENTITY_SEGMENT: SegmentEntity,
    R.ns_ENTITY_NEURALEVENT: NeuralEntity,
}


def make_entities(recording: Recording, lib: Library, handle: int, count: int) -> list[Entity]:
    """Read the entity list of an open file."""
    entities: list[Entity] = []
    rec = R.ns_ENTITYINFO()
    for i in range(count):
        lib.call("ns_GetEntityInfo", handle, i, ctypes.addressof(rec), ctypes.sizeof(rec), context=f"entity {i}")
        cls = _CLASSES.get(rec.dwEntityType, Entity)
        e = cls(recording, i, R.raw_text(rec, "szEntityLabel"), rec.dwEntityType, rec.dwItemCount)
        e._load_info(lib, handle)
        entities.append(e)
    return entities
