"""An open recording: its file information, entities and signal blocks."""

from __future__ import annotations

import ctypes
import datetime as _dt
import os
import threading
from collections import OrderedDict
from collections.abc import Iterator
from contextlib import contextmanager
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any

from . import _records as R
from .errors import NeuroshareError, RecordingClosedError
from .library import Library, bundled_library
from .text import decode

if TYPE_CHECKING:
    from .blocks import SignalBlock
    from .entities import Entity


@dataclass(frozen=True)
class FileInfo:
    """The file record (``ns_FILEINFO``) of a recording.

    ``start_time`` is timezone-aware.  qrdshare reports the start in UTC, so
    its zone is known.  mapshare reports the wall-clock time the acquisition
    system wrote, whose zone the file does not say: the fields are then taken
    as UTC and ``start_time_zone_known`` is False.  The same holds for other
    libraries.  ``start_time`` is None when the record holds no valid date.
    """

    file_type: str
    application: str
    comment: str
    entity_count: int
    time_span: float
    time_stamp_resolution: float
    start_time: _dt.datetime | None
    start_time_zone_known: bool
    raw: dict[str, bytes] = field(default_factory=dict, repr=False)

    @property
    def comment_raw(self) -> bytes:
        """The comment's bytes as the library wrote them."""
        return self.raw["comment"]


def _start_time(rec: R.ns_FILEINFO) -> _dt.datetime | None:
    try:
        return _dt.datetime(
            rec.dwTime_Year,
            rec.dwTime_Month,
            rec.dwTime_Day,
            rec.dwTime_Hour,
            rec.dwTime_Min,
            rec.dwTime_Sec,
            min(rec.dwTime_MilliSec, 999) * 1000,
            tzinfo=_dt.timezone.utc,
        )
    except (ValueError, OverflowError):
        return None


def _resolve_library(path: str, library: Library | str | os.PathLike[str] | None) -> Library:
    if isinstance(library, Library):
        return library
    if library is not None:
        return Library(library)
    extension = os.path.splitext(path)[1].lstrip(".")
    return bundled_library(extension)


# Recordings rebuilt from pickles, per process: the entities and blocks of one
# recording that arrive in many pickles (dask tasks) share one open file.
_RESTORED: OrderedDict[tuple, Recording] = OrderedDict()
_RESTORED_LOCK = threading.Lock()
_RESTORED_MAX = 16


def _restore_recording(path: str, library_path: str) -> Recording:
    key = (os.getpid(), path, library_path)
    with _RESTORED_LOCK:
        rec = _RESTORED.get(key)
        if rec is None or rec.closed:
            rec = Recording(path, library_path, _lazy=True)
            _RESTORED[key] = rec
        _RESTORED.move_to_end(key)
        while len(_RESTORED) > _RESTORED_MAX:
            _RESTORED.popitem(last=False)
        return rec


class Recording:
    """A recording opened through a Neuroshare library.

    Use :func:`nsread.open` to make one.  A recording is a context manager;
    :meth:`close` may be called more than once, and any use after it raises
    :class:`nsread.RecordingClosedError` (a :class:`NeuroshareError` and a
    :class:`ValueError`).

    A recording pickles as its path and its library's path; the copy opens the
    file again when it is first used, in the process that unpickled it.
    """

    def __init__(
        self,
        path: str | os.PathLike[str],
        library: Library | str | os.PathLike[str] | None = None,
        *,
        _lazy: bool = False,
    ) -> None:
        self.path: str = os.path.abspath(os.fspath(path))
        self._cond = threading.Condition()
        self._active = 0
        self._closed = False
        self._handle: int | None = None
        self._extra_handles: list[int] = []
        self._info: FileInfo | None = None
        self._entities: list[Entity] | None = None
        self._library = _resolve_library(self.path, library)
        if not _lazy:
            with self._cond:
                self._open_locked()

    # -- opening and closing -------------------------------------------------

    def _open_locked(self) -> None:
        lib = self._library
        handle = ctypes.c_uint32(0)
        try:
            encoded = os.fsencode(self.path)
        except (UnicodeError, TypeError) as exc:
            raise NeuroshareError(R.ns_FILEERROR, "ns_OpenFile", f"{self.path!r}: {exc}") from None
        if b"\0" in encoded:
            raise NeuroshareError(R.ns_FILEERROR, "ns_OpenFile", f"{self.path!r}: path holds a NUL byte")
        lib.call("ns_OpenFile", encoded, ctypes.byref(handle), context=self.path)
        try:
            info = self._read_file_info(handle.value)
            from .entities import make_entities

            entities = make_entities(self, lib, handle.value, info.entity_count)
        except BaseException:
            lib.function("ns_CloseFile")(handle.value)
            raise
        self._handle = handle.value
        self._info = info
        self._entities = entities

    def _read_file_info(self, handle: int) -> FileInfo:
        rec = R.ns_FILEINFO()
        self._library.call("ns_GetFileInfo", handle, ctypes.addressof(rec), ctypes.sizeof(rec), context=self.path)
        raw = {
            "file_type": R.raw_text(rec, "szFileType"),
            "application": R.raw_text(rec, "szAppName"),
            "comment": R.raw_text(rec, "szFileComment"),
        }
        return FileInfo(
            file_type=decode(raw["file_type"]),
            application=decode(raw["application"]),
            comment=decode(raw["comment"]),
            entity_count=rec.dwEntityCount,
            time_span=rec.dTimeSpan,
            time_stamp_resolution=rec.dTimeStampResolution,
            start_time=_start_time(rec),
            start_time_zone_known=self._library.kind == "qrdshare",
            raw=raw,
        )

    def _ensure_open(self, call: str) -> None:
        with self._cond:
            if self._closed:
                raise RecordingClosedError(call, f"{self.path} is closed")
            if self._handle is None:
                self._open_locked()

    @contextmanager
    def _use(self, call: str) -> Iterator[int]:
        """Hold the file open for the duration of one operation.

        ``close()`` waits for operations in progress, so a handle is never
        used after the library has released it (qrdshare hands the same
        identifier to the next file it opens).
        """
        with self._cond:
            if self._closed:
                raise RecordingClosedError(call, f"{self.path} is closed")
            if self._handle is None:
                self._open_locked()
            self._active += 1
            handle = self._handle
        try:
            yield handle  # type: ignore[misc]
        finally:
            with self._cond:
                self._active -= 1
                if self._active == 0:
                    self._cond.notify_all()

    @contextmanager
    def _use_many(self, count: int, call: str) -> Iterator[list[int]]:
        """Like :meth:`_use`, with up to ``count`` handles on the same file.

        Calls on one open file run one after another in the libraries; calls
        on different open files run in parallel.  Parallel readers therefore
        get the file opened once more each (kept until :meth:`close`).  Where
        a further open fails, fewer handles are handed out.
        """
        with self._use(call) as main:
            with self._cond:
                while len(self._extra_handles) < count - 1:
                    handle = ctypes.c_uint32(0)
                    rc = self._library.function("ns_OpenFile")(os.fsencode(self.path), ctypes.byref(handle))
                    if rc != R.ns_OK:
                        break
                    self._extra_handles.append(handle.value)
                handles = [main, *self._extra_handles[: count - 1]]
            yield handles

    def close(self) -> None:
        """Close the file.  Calling it again does nothing."""
        with self._cond:
            if self._closed:
                return
            self._closed = True
            while self._active:
                self._cond.wait()
            handle, self._handle = self._handle, None
            extra, self._extra_handles = self._extra_handles, []
        for h in ([handle] if handle is not None else []) + extra:
            self._library.function("ns_CloseFile")(h)

    @property
    def closed(self) -> bool:
        """True once :meth:`close` was called."""
        return self._closed

    def __enter__(self) -> Recording:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            if not self._closed:
                self._closed = True
                for h in ([self._handle] if self._handle is not None else []) + self._extra_handles:
                    self._library.function("ns_CloseFile")(h)
        except Exception:
            pass

    def __reduce__(self):
        return (_restore_recording, (self.path, self._library.path))

    def __repr__(self) -> str:
        state = "closed" if self._closed else "open"
        return f"<nsread.Recording {self.path!r} ({self._library.kind}, {state})>"

    # -- contents --------------------------------------------------------------

    @property
    def library(self) -> Library:
        """The library that reads this recording."""
        return self._library

    @property
    def info(self) -> FileInfo:
        """The file information."""
        self._ensure_open("Recording.info")
        return self._info  # type: ignore[return-value]

    @property
    def entities(self) -> list[Entity]:
        """Every entity, in the library's order (the list index is the entity index)."""
        self._ensure_open("Recording.entities")
        return list(self._entities)  # type: ignore[arg-type]

    def entity(self, label_or_index: str | int) -> Entity:
        """The entity with this index, or the first one with this label.

        Raises
        ------
        NeuroshareError
            ``ns_BADENTITY`` when no entity has that index or label.
        """
        entities = self.entities
        if isinstance(label_or_index, str):
            for e in entities:
                if e.label == label_or_index:
                    return e
            raise NeuroshareError(R.ns_BADENTITY, "Recording.entity", f"no entity labelled {label_or_index!r}")
        try:
            index = int(label_or_index)
        except (TypeError, ValueError):
            raise NeuroshareError(
                R.ns_BADENTITY, "Recording.entity", f"not an entity label or index: {label_or_index!r}"
            ) from None
        if not 0 <= index < len(entities):
            raise NeuroshareError(
                R.ns_BADENTITY, "Recording.entity", f"entity {index} out of range 0..{len(entities) - 1}"
            )
        return entities[index]

    def blocks(self) -> list[SignalBlock]:
        """The analog entities grouped into :class:`SignalBlock` objects.

        Entities share a block when they have the same sample rate, item
        count and units; blocks are ordered by their first entity.
        """
        from .blocks import SignalBlock
        from .entities import AnalogEntity

        groups: dict[tuple, list[AnalogEntity]] = {}
        for e in self.entities:
            if isinstance(e, AnalogEntity):
                groups.setdefault((e.sample_rate, e.item_count, e.units), []).append(e)
        return [SignalBlock(members) for members in groups.values()]

    def to_nwb(self, path: str | os.PathLike[str], metadata: dict[str, Any] | None = None, **options: Any):
        """Write this recording as an NWB file (see :mod:`nsread.nwb`)."""
        from .nwb import convert

        return convert(self, path, metadata=metadata, **options)


def open(path: str | os.PathLike[str], library: Library | str | os.PathLike[str] | None = None) -> Recording:  # noqa: A001
    """Open a recording.

    Parameters
    ----------
    path : str or os.PathLike
        The recording.
    library : Library, str, os.PathLike or None
        The Neuroshare library to read it with.  By default the bundled
        qrdshare reads ``.qrd`` files and mapshare ``.map`` files (the
        extension in any letter case).

    Returns
    -------
    Recording

    Raises
    ------
    NeuroshareError
        When the library cannot be loaded or refuses the file.
    """
    return Recording(path, library)
