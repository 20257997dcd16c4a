"""Signal blocks: analog channels of one rate and length as a lazy 2-D array."""

from __future__ import annotations

import ctypes
import operator
from collections.abc import Sequence
from concurrent.futures import ThreadPoolExecutor

import numpy as np

from . import _records as R
from .entities import AnalogEntity, read_analog
from .errors import NeuroshareError

# Samples per call when a channel is read into a strided column of ``out``:
# the samples go through a buffer of this many doubles (512 KiB).
_STAGING = 1 << 16
# Reads smaller than this many values are not worth a thread pool.
_PARALLEL_MIN = 1 << 16


class SignalBlock:
    """Analog entities of one sample rate and length as a (samples, channels) array.

    Nothing is read until values are asked for: ``block[a:b, [0, 5]]``,
    ``np.asarray(block)`` and :meth:`read` read just the samples and channels
    asked for.  It works with ``dask.array.from_array(block, chunks=...)``.

    A block pickles as the recording's path, the library's path and the
    entity indexes (with its metadata); the copy opens the recording again when
    it first reads, in the process that unpickled it.

    Arrays that the block allocates are in Fortran order (each channel's
    samples contiguous), so every channel is read straight into its column.
    """

    ndim = 2
    dtype = np.dtype(np.float64)

    def __init__(self, entities: Sequence[AnalogEntity]) -> None:
        entities = list(entities)
        if not entities:
            raise ValueError("a signal block needs at least one analog entity")
        first = entities[0]
        for e in entities:
            if not isinstance(e, AnalogEntity):
                raise TypeError(f"{e!r} is not an analog entity")
            if e.recording is not first.recording:
                raise ValueError("all entities of a block must belong to one recording")
            if e.item_count != first.item_count or e.sample_rate != first.sample_rate:
                raise ValueError("all entities of a block must share sample rate and item count")
        self.entities: list[AnalogEntity] = entities
        self.recording = first.recording
        self.sample_rate: float = first.sample_rate
        self.shape: tuple[int, int] = (first.item_count, len(entities))

    def __repr__(self) -> str:
        return (f"<nsread.SignalBlock {self.shape[0]} samples x {self.shape[1]} channels "
                f"at {self.sample_rate:g} Hz>")

    @property
    def channel_labels(self) -> list[str]:
        """Labels of the channels, in column order."""
        return [e.label for e in self.entities]

    @property
    def size(self) -> int:
        return self.shape[0] * self.shape[1]

    @property
    def nbytes(self) -> int:
        return self.size * 8

    def __len__(self) -> int:
        return self.shape[0]

    # -- reading -----------------------------------------------------------------

    def _channels(self, channels: object) -> list[int]:
        nch = self.shape[1]
        if channels is None:
            return list(range(nch))
        if isinstance(channels, slice):
            return list(range(nch))[channels]
        if isinstance(channels, (int, np.integer)):
            channels = [channels]
        arr = np.asarray(channels)
        if arr.dtype == bool:
            if arr.shape != (nch,):
                raise IndexError(f"boolean channel mask of shape {arr.shape} for {nch} channels")
            return np.flatnonzero(arr).tolist()
        if arr.ndim != 1 or (arr.size and arr.dtype.kind not in "iu"):
            raise IndexError(f"channels must be integers, a slice or a mask, not {channels!r}")
        out = []
        for c in arr.tolist():
            if not -nch <= c < nch:
                raise IndexError(f"channel {c} out of range for {nch} channels")
            out.append(c % nch)
        return out

    def read(
        self,
        start: int = 0,
        stop: int | None = None,
        channels: Sequence[int] | slice | None = None,
        *,
        out: np.ndarray | None = None,
        workers: int | None = None,
        physical: bool = False,
    ) -> np.ndarray:
        """Read samples ``start`` to ``stop`` of some channels.

        Parameters
        ----------
        start, stop : int
            Sample range (``stop`` defaults to the end).
        channels : sequence of int, slice or None
            Column positions in this block (all by default).
        out : numpy.ndarray, optional
            float64 array of shape (stop - start, len(channels)) to fill.  A
            Fortran-ordered array is filled in place without any copy; for
            other layouts each channel passes through a bounded buffer.
        workers : int, optional
            Read the channels on this many threads.
        physical : bool
            Scale raw converter counts to the channels' units (see
            :attr:`AnalogEntity.physical`).

        Returns
        -------
        numpy.ndarray
            ``out``, or a new Fortran-ordered array.
        """
        nsamp = self.shape[0]
        try:
            start = operator.index(start)
            stop = nsamp if stop is None else operator.index(stop)
        except TypeError:
            raise NeuroshareError(R.ns_BADINDEX, "SignalBlock.read", "start and stop must be integers") from None
        if not 0 <= start <= stop <= nsamp:
            raise NeuroshareError(
                R.ns_BADINDEX, "SignalBlock.read", f"samples {start} to {stop} outside the block's {nsamp} samples"
            )
        cols = self._channels(channels)
        n = stop - start
        shape = (n, len(cols))
        if out is None:
            out = np.empty(shape, dtype=np.float64, order="F")
        else:
            if not isinstance(out, np.ndarray) or out.dtype != np.float64:
                raise TypeError("out must be a float64 numpy array")
            if out.shape != shape:
                raise ValueError(f"out has shape {out.shape}, the read needs {shape}")
            if not out.flags.writeable:
                raise ValueError("out must be writeable")
        if n == 0 or not cols:
            return out
        entities = [self.entities[c] for c in cols]
        if workers and workers > 1 and n * len(cols) >= _PARALLEL_MIN:
            # Each worker reads every channel asked for over its own stretch of
            # samples, through a handle of its own: the libraries serve
            # different open files in parallel, and each file's cache then
            # decodes only its own stretch of the recording.
            with self.recording._use_many(workers, "ns_GetAnalogData") as handles:
                bounds = np.linspace(0, n, len(handles) + 1).astype(int).tolist()
                with ThreadPoolExecutor(len(handles)) as pool:
                    futures = [
                        pool.submit(self._read_columns, h, entities, range(len(cols)), start + a, b - a, out[a:b])
                        for h, a, b in zip(handles, bounds[:-1], bounds[1:], strict=True)
                        if b > a
                    ]
                    for f in futures:
                        f.result()
        else:
            with self.recording._use("ns_GetAnalogData") as h:
                self._read_columns(h, entities, range(len(cols)), start, n, out)
        if physical:
            for j, e in enumerate(entities):
                if not e.physical:
                    out[:, j] *= e.resolution
        return out

    def _read_columns(self, h: int, entities, positions, start: int, n: int, out: np.ndarray) -> None:
        """Read channels ``positions`` of ``entities`` into those columns of ``out`` through handle ``h``."""
        lib = self.recording.library
        fn = lib.analog_data_unchecked
        cont = ctypes.c_uint32()
        pcont = ctypes.byref(cont)
        base = out.ctypes.data
        s0, s1 = out.strides
        void_p = ctypes.c_void_p
        staging = None
        for j in positions:
            e = entities[j]
            if s0 == 8:  # the column is contiguous: read straight into it
                address = base + j * s1
                rc = fn(h, e.index, start, n, pcont, void_p(address))
                if rc != R.ns_OK:
                    raise lib.fail(rc, "ns_GetAnalogData", f"entity {e.index}, samples {start} to {start + n}")
                if cont.value < n and not e._whole_reads:
                    read_analog(e, h, start, n, address)
                continue
            if staging is None:
                staging = np.empty(min(n, _STAGING))
            for a in range(0, n, len(staging)):
                m = min(len(staging), n - a)
                read_analog(e, h, start + a, m, staging.ctypes.data)
                out[a:a + m, j] = staging[:m]

    def times(self, start: int = 0, stop: int | None = None) -> np.ndarray:
        """Times in seconds of samples ``start`` to ``stop`` (gaps included)."""
        stop = self.shape[0] if stop is None else stop
        return self.entities[0].times(start, stop - start)

    def __dask_tokenize__(self):
        # what the block names: the same channels of the same file read the same
        return ("nsread.SignalBlock", self.recording.path, self.recording.library.path,
                tuple(e.index for e in self.entities), self.shape)

    # -- numpy protocol -----------------------------------------------------------

    def __array__(self, dtype=None, copy=None) -> np.ndarray:
        data = self.read()
        return data if dtype is None else data.astype(dtype, copy=False)

    def __getitem__(self, key) -> np.ndarray:
        if not isinstance(key, tuple):
            key = (key,)
        if any(k is Ellipsis for k in key):
            i = next(i for i, k in enumerate(key) if k is Ellipsis)
            fill = (slice(None),) * (2 - (len(key) - 1))
            key = key[:i] + fill + key[i + 1:]
        if len(key) > 2:
            raise IndexError("a signal block has two dimensions (samples, channels)")
        rows = key[0] if key else slice(None)
        cols = key[1] if len(key) > 1 else slice(None)
        nsamp = self.shape[0]

        row_scalar = isinstance(rows, (int, np.integer))
        if row_scalar:
            r = operator.index(rows)
            if not -nsamp <= r < nsamp:
                raise IndexError(f"sample {r} out of range for {nsamp} samples")
            r %= nsamp
            lo, hi, pick = r, r + 1, None
        elif isinstance(rows, slice):
            rng = range(*rows.indices(nsamp))
            lo, hi = (min(rng[0], rng[-1]), max(rng[0], rng[-1]) + 1) if len(rng) else (0, 0)
            # rows of the read span [lo, hi) in the order and step asked for
            pick = None if rng.step == 1 else np.arange(len(rng)) * rng.step + (rng[0] - lo if len(rng) else 0)
        else:
            raise IndexError("samples take an integer or a slice (basic slicing)")

        col_scalar = isinstance(cols, (int, np.integer))
        chans = self._channels(cols)
        data = self.read(lo, hi, chans)
        if pick is not None:
            data = data[pick]
        if row_scalar:
            data = data[0]
        if col_scalar:
            data = data[..., 0]
        return data
