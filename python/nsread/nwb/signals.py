"""Chunk iterators that stream samples and times from the recording into the NWB file.

Samples are read window by window through a signal block's lazy reads, turned
into the chosen storage type (checked for exactness, see
:mod:`nsread.nwb.storage`) and handed to hdmf, so the whole recording is never
held in memory.
"""

from __future__ import annotations

from collections.abc import Callable, Sequence
from typing import Any

import numpy as np
from hdmf.backends.hdf5 import H5DataIO
from hdmf.data_utils import GenericDataChunkIterator

from .progress import Progress
from .storage import LossyStorage, StoragePlan

#: Bytes per chunk on disk (NWB's advice: about 10 MB).
CHUNK_BYTES = 10 * 1024 * 1024
#: Bytes of float64 values read at once (bounds the memory of a conversion).
BUFFER_BYTES = 48 * 1024 * 1024
#: gzip level: 4 of 9, the usual balance of speed and size.
GZIP_LEVEL = 4
#: Channels per chunk: enough for whole-probe reads, few enough for single-channel ones.
CHUNK_CHANNELS = 64
#: Values turned into stored values at once inside a buffer (bounds temporaries).
ENCODE_VALUES = 1 << 21

ReadWindow = Callable[[int, int], np.ndarray]


def compressed(data: Any, compression: str | None) -> Any:
    """``data`` wrapped for gzip with the byte shuffle (which lets gzip see the slowly
    changing high bytes of neighbouring samples together), or as it is."""
    if not compression:
        return data
    return H5DataIO(data, compression=compression, compression_opts=GZIP_LEVEL, shuffle=True)


def window_rows(channels: int, itemsize: int, rows: int) -> int:
    """Rows per chunk and buffer for a ``rows`` x ``channels`` dataset."""
    chunk_channels = min(channels, CHUNK_CHANNELS)
    by_chunk = CHUNK_BYTES // max(1, chunk_channels * itemsize)
    by_buffer = BUFFER_BYTES // max(1, channels * 8)
    return int(max(1, min(rows, by_chunk, by_buffer)))


class SignalIterator(GenericDataChunkIterator):
    """Stored values of a group of channels, one time window per step.

    Parameters
    ----------
    name:
        Series name, for messages.
    read:
        ``read(start, stop)`` returns the library values of samples
        ``start:stop`` of every channel of the group, shape (stop - start, channels).
    rows, channels:
        Shape of the dataset.
    plan:
        Storage type and scaling; every window is checked against it.
    progress:
        Counts the values written.
    """

    def __init__(self, name: str, read: ReadWindow, rows: int, channels: int,
                 plan: StoragePlan, progress: Progress, flat: bool = False) -> None:
        self._flat = flat and channels == 1
        self._name = name
        self._read = read
        self._rows = rows
        self._channels = channels
        self._plan = plan
        self._progress = progress
        step = window_rows(channels, np.dtype(plan.dtype).itemsize, rows)
        if self._flat:
            super().__init__(chunk_shape=(step,), buffer_shape=(step,), display_progress=False)
        else:
            super().__init__(chunk_shape=(step, min(channels, CHUNK_CHANNELS)),
                             buffer_shape=(step, channels), display_progress=False)

    def _get_data(self, selection: tuple[slice, ...]) -> np.ndarray:
        rows, cols = selection if not self._flat else (selection[0], slice(0, 1))
        values = self._read(rows.start, rows.stop)
        if values.ndim == 1:
            values = values[:, None]
        if cols.start != 0 or cols.stop != self._channels:
            values = values[:, cols]
        out = np.empty(values.shape, dtype=self._plan.dtype)
        # Reads come channel-major (Fortran order): encode a few whole columns at a time,
        # which keeps every piece contiguous and the temporaries small.
        width = max(1, ENCODE_VALUES // max(1, values.shape[0]))
        for j in range(0, values.shape[1], width):
            part = slice(j, min(j + width, values.shape[1]))
            try:
                plan = _columns(self._plan, slice(cols.start + part.start, cols.start + part.stop))
                out[:, part] = plan.encode(values[:, part])
            except LossyStorage as exc:
                raise LossyStorage(self._name, exc.dtype) from None
        self._progress.advance(values.size)
        return out[:, 0] if self._flat else out

    def _get_maxshape(self) -> tuple[int, ...]:
        return (self._rows,) if self._flat else (self._rows, self._channels)

    def _get_dtype(self) -> np.dtype:
        return np.dtype(self._plan.dtype)


class TimesIterator(GenericDataChunkIterator):
    """Sample times of a group whose channels have gaps, read window by window."""

    def __init__(self, times: Callable[[int, int], np.ndarray], rows: int) -> None:
        self._times = times
        self._rows = rows
        step = int(max(1, min(rows, CHUNK_BYTES // 8)))
        super().__init__(chunk_shape=(step,), buffer_shape=(step,), display_progress=False)

    def _get_data(self, selection: tuple[slice, ...]) -> np.ndarray:
        (rows,) = selection
        return np.asarray(self._times(rows.start, rows.stop), dtype=np.float64)

    def _get_maxshape(self) -> tuple[int]:
        return (self._rows,)

    def _get_dtype(self) -> np.dtype:
        return np.dtype(np.float64)


def _columns(plan: StoragePlan, cols: slice) -> StoragePlan:
    """The plan restricted to columns ``cols`` (per-channel entries are sliced)."""
    def part(values: Sequence[float] | None) -> tuple[float, ...] | None:
        return None if values is None else tuple(values[cols]) if len(values) else tuple(values)

    return StoragePlan(plan.dtype, plan.conversion, plan.offset, part(plan.channel_conversion),
                       part(plan.steps) or (), plan.counts_offset, part(plan.factors) or ())


def regular_timing(times: Callable[[int, int], np.ndarray], rows: int, rate: float) -> float | None:
    """The start time when the samples follow each other at ``rate`` without a gap, else None.

    Times never run backwards and a gap only adds time, so the times of the
    first and last sample (and a few in between, for safety) decide it.
    """
    if rows == 0 or not (rate > 0):
        return 0.0 if rows == 0 else None
    start = float(times(0, 1)[0])
    tolerance = 0.25 / rate
    probes = sorted({rows - 1, rows // 2, rows // 4, (3 * rows) // 4})
    for i in probes:
        if abs(float(times(i, i + 1)[0]) - (start + i / rate)) > tolerance + abs(start) * 1e-12:
            return None
    return start
