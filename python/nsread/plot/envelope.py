"""Min/max envelopes of analog channels, read once, window by window.

An envelope splits a channel into bins of ``k`` consecutive samples and keeps
the smallest and largest value of each bin: drawn as a band, it shows every
spike, artefact and dead stretch of a long recording at the width of a
figure.  The samples are read through the recording's signal blocks (all
channels of a block for one window, then the next window), so the file is
read once, in file order, and memory stays at one window of samples (two
where a core is free and a helper thread reads the next window while the
current one is reduced) whatever the length of the recording.
"""

from __future__ import annotations

import math
import os
from collections.abc import Iterator, Sequence
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from typing import Any

import numpy as np

#: Bins per channel: a little more than the pixel width of a wide figure.
DEFAULT_BINS = 2000

#: Read the next window on a helper thread while the current one is reduced:
#: True, False, or None to do so when the machine has a core to spare.
READ_AHEAD: bool | None = None


def _read_ahead() -> bool:
    """Whether to read ahead on a helper thread.

    On a machine with an idle core the next window's read and the current
    one's reduction run side by side (about 1.1x the time of the read alone,
    against about 2x one after the other).  On a busy machine every
    hand-over between the two threads waits for the scheduler, which costs
    more than it saves, so there one thread does both.
    """
    if READ_AHEAD is not None:
        return READ_AHEAD
    try:
        cores = len(os.sched_getaffinity(0))
    except (AttributeError, OSError):
        cores = os.cpu_count() or 1
    try:
        load = os.getloadavg()[0]
    except (AttributeError, OSError):
        return cores > 1
    # The load average counts this process too once it has run for a while,
    # so "a core to spare" is less than half a core's work besides one's own.
    return cores > 1 and load < cores - 0.5


#: Upper bound on the samples held in memory at once (all channels of a
#: window): 16 MiB, about what one second of 64 channels at 25 kHz takes.
WINDOW_VALUES = 1 << 21


@dataclass
class ChannelEnvelope:
    """The envelope of one analog entity.

    Attributes
    ----------
    entity
        The ``AnalogEntity``.
    starts
        Time in seconds of the first sample of each bin.
    stops
        Time in seconds of the last sample of each bin.
    low, high
        Smallest and largest value of each bin, in ``entity.units``.
    samples_per_bin
        Samples in every bin but the last, which may hold fewer.
    """

    entity: Any
    starts: np.ndarray
    stops: np.ndarray
    low: np.ndarray
    high: np.ndarray
    samples_per_bin: int

    @property
    def label(self) -> str:
        return str(self.entity.label).strip()

    @property
    def units(self) -> str:
        return str(self.entity.units)


def _bin_times(entity: Any, offset: int, n: int, k: int) -> tuple[np.ndarray, np.ndarray]:
    """Times of the first and last sample of each bin of samples offset to offset + n.

    A stretch whose last sample lies where the rate puts it has no gaps and
    its times follow from the rate.  Otherwise (sweeps of a triggered
    recording) the library is asked for every bin's times, so gaps show.
    """
    nbins = math.ceil(n / k)
    firsts = offset + np.arange(nbins, dtype=np.int64) * k
    lasts = np.minimum(firsts + k, offset + n) - 1
    t0 = float(entity.time_of(offset))
    rate = float(entity.sample_rate)
    if rate > 0 and abs(float(entity.time_of(offset + n - 1)) - t0 - (n - 1) / rate) < 0.5 / rate:
        return t0 + (firsts - offset) / rate, t0 + (lasts - offset) / rate
    starts = np.array([entity.time_of(int(i)) for i in firsts], dtype=np.float64)
    stops = np.array([entity.time_of(int(i)) for i in lasts], dtype=np.float64)
    return starts, stops


def _to_units(entity: Any, low: np.ndarray, high: np.ndarray) -> tuple[np.ndarray, np.ndarray]:
    """Scale an envelope of raw counts into the entity's units."""
    if getattr(entity, "physical", True):
        return low, high
    step = float(entity.resolution)
    low, high = low * step, high * step
    return (high, low) if step < 0 else (low, high)


def block_envelopes(
    block: Any, bins: int = DEFAULT_BINS, *, start: int = 0, stop: int | None = None, progress: Any = None
) -> list[ChannelEnvelope]:
    """Envelopes of every channel of one signal block.

    Parameters
    ----------
    block
        A ``SignalBlock`` (or any object with its ``shape``, ``entities`` and
        ``read(start, stop, out=...)``).
    bins
        Bins per channel; a channel shorter than ``bins`` samples gets one
        bin per sample.
    start, stop
        The samples to cover (the whole block by default).
    progress
        Called with the number of samples of each window read (for a
        progress bar), or ``None``.
    """
    total, channels = block.shape
    stop = total if stop is None else min(stop, total)
    offset = max(0, start)
    n = stop - offset
    if n <= 0 or channels == 0:
        return []
    k = max(1, math.ceil(n / max(1, bins)))
    first_entity = block.entities[0]
    gaps = _gaps(first_entity, offset, n)
    if gaps.size:
        low, high, starts, stops = _binned_runs(block, offset, n, k, gaps, progress)
    else:
        low, high = _binned_uniform(block, offset, n, k, progress)
        starts, stops = _bin_times(first_entity, offset, n, k)
    # The channels of a block share their sample times.
    result = []
    for c, entity in enumerate(block.entities):
        lo, hi = _to_units(entity, low[c].copy(), high[c].copy())
        result.append(ChannelEnvelope(entity, starts, stops, lo, hi, k))
    return result


def _gaps(entity: Any, offset: int, n: int) -> np.ndarray:
    """Sample numbers (from ``offset``) where a new run of contiguous samples begins."""
    find = getattr(entity, "gaps", None)
    if find is None or n < 2:
        return np.empty(0, dtype=np.int64)
    return np.asarray(find(offset, n), dtype=np.int64) - offset


def _window_bins(k: int, channels: int) -> int:
    """Samples per read: whole bins, at most WINDOW_VALUES values (at least one bin)."""
    return k * max(1, WINDOW_VALUES // (k * channels))


def _windows_read_ahead(
    block: Any, offset: int, spans: Sequence[tuple[int, int]], rows: int
) -> Iterator[tuple[int, int, np.ndarray]]:
    """Yield ``(first, last, samples)`` for each span, the next span read while this one is used.

    Reading ahead (see :func:`_read_ahead`), two buffers of ``rows``
    samples of every channel: a helper thread reads the next window into one
    while the caller reduces the other, so reading (in the library, outside
    the interpreter lock) and numpy's reductions (which release it too) run
    side by side on two cores; the caller is done with a buffer when it asks
    for the next.  Otherwise one buffer, read and reduced in turn.  Fortran
    order: the block reads each channel straight into its column.
    """
    channels = block.shape[1]
    ahead = len(spans) > 1 and _read_ahead()
    count = 2 if ahead else 1
    buffers = [np.empty((rows, channels), dtype=np.float64, order="F") for _ in range(count)]

    def read(i: int) -> np.ndarray:
        first, last = spans[i]
        data = buffers[i % len(buffers)][: last - first]
        block.read(offset + first, offset + last, out=data)
        return data

    if not ahead:
        for i, (first, last) in enumerate(spans):
            yield first, last, read(i)
        return
    with ThreadPoolExecutor(1, thread_name_prefix="nsread-envelope") as pool:
        pending = pool.submit(read, 0)
        for i, (first, last) in enumerate(spans):
            data = pending.result()
            if i + 1 < len(spans):
                pending = pool.submit(read, i + 1)
            yield first, last, data


def _binned_uniform(block: Any, offset: int, n: int, k: int, progress: Any) -> tuple[np.ndarray, np.ndarray]:
    """Min and max of every ``k`` samples: the fast path for channels without gaps."""
    channels = block.shape[1]
    nbins = math.ceil(n / k)
    window = _window_bins(k, channels)
    low = np.empty((channels, nbins), dtype=np.float64)
    high = np.empty((channels, nbins), dtype=np.float64)
    spans = [(first, min(first + window, n)) for first in range(0, n, window)]
    for first, last, data in _windows_read_ahead(block, offset, spans, min(window, n)):
        columns = data.T  # (channels, samples), each row contiguous
        whole = (last - first) // k
        b0 = first // k
        if whole:
            folded = columns[:, : whole * k].reshape(channels, whole, k)
            np.min(folded, axis=2, out=low[:, b0 : b0 + whole])
            np.max(folded, axis=2, out=high[:, b0 : b0 + whole])
        if whole * k < last - first:  # the short last bin
            np.min(columns[:, whole * k :], axis=1, out=low[:, b0 + whole])
            np.max(columns[:, whole * k :], axis=1, out=high[:, b0 + whole])
        if progress is not None:
            progress(last - first)
    return low, high


def _binned_runs(
    block: Any, offset: int, n: int, k: int, gaps: np.ndarray, progress: Any
) -> tuple[np.ndarray, np.ndarray, np.ndarray, np.ndarray]:
    """Min and max of bins of at most ``k`` samples that never reach across a gap.

    For recordings in sweeps: a bin that held the end of one sweep and the
    start of the next would draw a band over the time between them.
    """
    channels = block.shape[1]
    firsts = np.union1d(np.arange(0, n, k, dtype=np.int64), gaps)
    lasts = np.append(firsts[1:], n)  # excluded
    nbins = firsts.size
    low = np.empty((channels, nbins), dtype=np.float64)
    high = np.empty((channels, nbins), dtype=np.float64)
    window = _window_bins(k, channels)
    # Windows of whole bins; the first bin of each window starts it.
    groups = []
    b = 0
    while b < nbins:
        e = max(b + 1, int(np.searchsorted(lasts, firsts[b] + window, side="right")))
        groups.append((b, e))
        b = e
    spans = [(int(firsts[b]), int(lasts[e - 1])) for b, e in groups]
    rows = max(last - first for first, last in spans)
    for (b, e), (first, last, data) in zip(groups, _windows_read_ahead(block, offset, spans, rows), strict=True):
        edges = firsts[b:e] - first
        low[:, b:e] = np.minimum.reduceat(data.T, edges, axis=1)
        high[:, b:e] = np.maximum.reduceat(data.T, edges, axis=1)
        if progress is not None:
            progress(last - first)
    entity = block.entities[0]
    starts = np.array([entity.time_of(int(offset + i)) for i in firsts], dtype=np.float64)
    stops = np.array([entity.time_of(int(offset + i - 1)) for i in lasts], dtype=np.float64)
    return low, high, starts, stops


def envelopes(rec: Any, entities: Sequence[Any] | None = None, bins: int = DEFAULT_BINS) -> list[ChannelEnvelope]:
    """Envelopes of the analog entities of a recording, in entity order.

    Parameters
    ----------
    rec
        An open ``Recording``.
    entities
        The analog entities wanted (all of them when ``None``); blocks with
        none of them are not read, and of the others only the wanted
        channels are read.
    bins
        Bins per channel.
    """
    wanted = None if entities is None else {e.index for e in entities}
    found: dict[int, ChannelEnvelope] = {}
    for block in rec.blocks():
        members = [e.index for e in block.entities]
        if wanted is not None:
            members = [i for i in members if i in wanted]
            if not members:
                continue
        for env in block_envelopes(block if wanted is None else subset(block, members), bins):
            found[env.entity.index] = env
    return [found[i] for i in sorted(found)]


class Subset:
    """The chosen channels of a signal block, read as a block of their own."""

    def __init__(self, block: Any, columns: list[int]) -> None:
        self._block = block
        self._columns = columns
        self.entities = [block.entities[c] for c in columns]
        self.shape = (block.shape[0], len(columns))

    def read(self, start: int, stop: int, *, out: np.ndarray) -> np.ndarray:
        return self._block.read(start, stop, channels=self._columns, out=out)


def subset(block: Any, members: Sequence[int]) -> Any:
    """The channels of ``block`` whose entity indexes are ``members``, as a block."""
    if list(members) == [e.index for e in block.entities]:
        return block
    column = {e.index: c for c, e in enumerate(block.entities)}
    return Subset(block, [column[i] for i in members])


def band(env: ChannelEnvelope) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """Times and limits of an envelope drawn as one band, broken (NaN) at gaps between sweeps."""
    times = (env.starts + env.stops) / 2
    low, high = env.low, env.high
    rate = float(env.entity.sample_rate)
    if times.size > 1 and rate > 0:
        # Bins never reach across a gap, so a gap lies between two bins.
        breaks = np.nonzero(env.starts[1:] - env.stops[:-1] > 1.5 / rate)[0] + 1
        if breaks.size:
            times = np.insert(times, breaks, np.nan)
            low = np.insert(low, breaks, np.nan)
            high = np.insert(high, breaks, np.nan)
    return times, low, high
