"""How the samples of one signal group are stored in the NWB file.

A group of channels (one ``ElectricalSeries`` or ``TimeSeries``) is stored in
the smallest of three types that holds every value without loss:

* ``int16`` counts, with ``conversion`` and ``offset`` (and ``channel_conversion``
  where the channels differ in resolution),
* ``float32`` values,
* ``float64`` values.

The choice is made from what the library reports (resolution, value range) and
then checked on every chunk while it is written: a chunk whose values do not
come back exactly raises :class:`LossyStorage`, and the converter writes the
group again one type wider.
"""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np

INT16_MIN = -32768
INT16_MAX = 32767

#: Storage types in the order they are tried.
LADDER = ("int16", "float32", "float64")


class LossyStorage(Exception):
    """A chunk would not come back exactly in the chosen storage type."""

    def __init__(self, series: str, dtype: str) -> None:
        super().__init__(f"{series}: values do not fit {dtype} exactly")
        self.series = series
        self.dtype = dtype


@dataclass(frozen=True)
class ChannelScale:
    """What a channel's library values mean.

    Attributes
    ----------
    step:
        The library value of one count (the channel's resolution when the
        library returns physical values, 1 when it returns raw counts);
        0 or less when unknown.
    factor:
        Multiplies a library value into the series' unit (volts for
        electrodes): 1 for physical values in volts, the resolution for raw
        counts, 1e-3 for millivolts.
    low, high:
        The value range the library states, in library values.
    """

    step: float
    factor: float
    low: float
    high: float


@dataclass(frozen=True)
class StoragePlan:
    """How the values of a group are written and turned back into physical values.

    Physical value = ``stored * conversion * channel_conversion[ch] + offset``
    (``channel_conversion`` is None when every channel shares ``conversion``).
    """

    dtype: str
    conversion: float
    offset: float
    channel_conversion: tuple[float, ...] | None
    steps: tuple[float, ...]
    counts_offset: int
    factors: tuple[float, ...]

    def encode(self, values: np.ndarray) -> np.ndarray:
        """Turn library values (samples x channels) into stored values.

        Raises
        ------
        LossyStorage
            When the stored values would not give back exactly
            ``values * factor`` (checked element by element).
        """
        values = np.asarray(values, dtype=np.float64)
        if self.dtype == "int16":
            steps = self.steps[0] if len(set(self.steps)) == 1 else np.asarray(self.steps, dtype=np.float64)
            with np.errstate(invalid="ignore", divide="ignore"):
                counts = values / steps
            np.rint(counts, out=counts)
            if self.counts_offset:
                counts -= self.counts_offset
            # NaN fails both comparisons, so it is refused here as well.
            if counts.size and not (counts.min() >= INT16_MIN and counts.max() <= INT16_MAX):
                raise LossyStorage("", "int16")
            stored = counts.astype(np.int16)
            # counts holds the stored values as float64: turn it into the physical values in
            # place (as decode does) rather than converting stored again.
            counts *= self._scale()
            if self.offset:
                counts += self.offset
            if not np.array_equal(counts, self._expected(values)):
                raise LossyStorage("", "int16")
            return stored
        elif self.dtype == "float32":
            stored = values.astype(np.float32)
        else:
            stored = values
        if not self._exact(stored, values):
            raise LossyStorage("", self.dtype)
        return stored

    def _expected(self, values: np.ndarray) -> np.ndarray:
        if all(f == 1.0 for f in self.factors):
            return values
        return values * np.asarray(self.factors, dtype=np.float64)

    def _scale(self) -> np.float64 | np.ndarray:
        scale = np.float64(self.conversion)
        if self.channel_conversion is not None:
            scale = scale * np.asarray(self.channel_conversion, dtype=np.float64)
        return scale

    def _exact(self, stored: np.ndarray, values: np.ndarray) -> bool:
        """Whether ``stored`` gives back ``values * factor`` exactly (NaN where values are NaN)."""
        expected = self._expected(values)
        back = self.decode(stored)
        return bool(np.array_equal(back, expected) or np.array_equal(back, expected, equal_nan=True))

    def decode(self, stored: np.ndarray) -> np.ndarray:
        """Physical values of stored values, computed as a reader of the file does."""
        return np.asarray(stored, dtype=np.float64) * self._scale() + self.offset


def plan_storage(scales: list[ChannelScale], dtype: str | None = None) -> StoragePlan:
    """Choose how a group of channels is stored.

    Parameters
    ----------
    scales:
        One entry per channel, in column order.
    dtype:
        Force a type of :data:`LADDER` (used after a :class:`LossyStorage`);
        None picks the narrowest type the stated resolutions allow.
    """
    factors = tuple(float(s.factor) for s in scales)
    if dtype is None:
        dtype = "int16" if _int16_possible(scales) else "float32"
    if dtype == "int16":
        steps = tuple(float(s.step) for s in scales)
        counts_offset = _counts_offset(scales)
        per_channel = [step * factor for step, factor in zip(steps, factors, strict=True)]
        if len(set(per_channel)) == 1:
            conversion = per_channel[0]
            offset = counts_offset * conversion
            return StoragePlan("int16", conversion, offset, None, steps, counts_offset, factors)
        # Channels differ in resolution: per-channel factors, no common offset.
        return StoragePlan("int16", 1.0, 0.0, tuple(per_channel), steps, 0, factors)
    if len(set(factors)) == 1:
        return StoragePlan(dtype, factors[0], 0.0, None, (), 0, factors)
    return StoragePlan(dtype, 1.0, 0.0, factors, (), 0, factors)


def wider(dtype: str) -> str | None:
    """The next wider storage type, or None after float64."""
    i = LADDER.index(dtype)
    return LADDER[i + 1] if i + 1 < len(LADDER) else None


def _int16_possible(scales: list[ChannelScale]) -> bool:
    if not scales or any(not (s.step > 0 and np.isfinite(s.step)) for s in scales):
        return False
    if len({s.step * s.factor for s in scales}) > 1:
        # Per-channel conversion allows no offset: each range must fit as it is.
        return all(_fits(s, 0) for s in scales)
    offset = _counts_offset(scales)
    return all(_fits(s, offset) for s in scales)


def _counts_range(s: ChannelScale) -> tuple[float, float]:
    return s.low / s.step, s.high / s.step


def _fits(s: ChannelScale, offset: int) -> bool:
    lo, hi = _counts_range(s)
    # A stated maximum one count above the int16 range is common (a 16-bit
    # converter states +32768 counts but never delivers it); the chunk check
    # catches a value that really lies outside.
    return lo - offset >= INT16_MIN - 0.5 and hi - offset <= INT16_MAX + 1.5


def _counts_offset(scales: list[ChannelScale]) -> int:
    """A whole number of counts that moves every stated range into int16."""
    ranges = [_counts_range(s) for s in scales]
    lo = min(r[0] for r in ranges)
    hi = max(r[1] for r in ranges)
    if not (np.isfinite(lo) and np.isfinite(hi)):
        return 0
    if lo >= INT16_MIN - 0.5 and hi <= INT16_MAX + 1.5:
        return 0
    return int(np.floor((lo + hi) / 2.0))
