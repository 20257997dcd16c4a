"""Loading a Neuroshare library and calling its seventeen functions."""

from __future__ import annotations

import ctypes
import os
import sys
import threading
from dataclasses import dataclass, field
from pathlib import Path

from . import _records as R
from .errors import NeuroshareError
from .text import decode

_u32 = ctypes.c_uint32
_i32 = ctypes.c_int32
_f64 = ctypes.c_double
_vp = ctypes.c_void_p
_p = ctypes.POINTER

# Name -> argument types of every export.  Output records and arrays are passed
# as plain addresses (c_void_p) so that numpy buffers go straight through.
_SIGNATURES: dict[str, tuple] = {
    "ns_GetLibraryInfo": (_vp, _u32),
    "ns_OpenFile": (ctypes.c_char_p, _p(_u32)),
    "ns_GetFileInfo": (_u32, _vp, _u32),
    "ns_CloseFile": (_u32,),
    "ns_GetEntityInfo": (_u32, _u32, _vp, _u32),
    "ns_GetEventInfo": (_u32, _u32, _vp, _u32),
    "ns_GetEventData": (_u32, _u32, _u32, _p(_f64), _vp, _u32, _p(_u32)),
    "ns_GetAnalogInfo": (_u32, _u32, _vp, _u32),
    "ns_GetAnalogData": (_u32, _u32, _u32, _u32, _p(_u32), _vp),
    "ns_GetSegmentInfo": (_u32, _u32, _vp, _u32),
    "ns_GetSegmentSourceInfo": (_u32, _u32, _u32, _vp, _u32),
    "ns_GetSegmentData": (_u32, _u32, _i32, _p(_f64), _vp, _u32, _p(_u32), _p(_u32)),
    "ns_GetNeuralInfo": (_u32, _u32, _vp, _u32),
    "ns_GetNeuralData": (_u32, _u32, _u32, _u32, _vp),
    "ns_GetIndexByTime": (_u32, _u32, _f64, _i32, _p(_u32)),
    "ns_GetTimeByIndex": (_u32, _u32, _u32, _p(_f64)),
    "ns_GetLastErrorMsg": (ctypes.c_char_p, _u32),
}

if sys.platform == "win32":
    _LIBRARY_FILES = {"qrd": "qrdshare.dll", "map": "mapshare.dll"}
elif sys.platform == "darwin":
    _LIBRARY_FILES = {"qrd": "libqrdshare.dylib", "map": "libmapshare.dylib"}
else:
    _LIBRARY_FILES = {"qrd": "libqrdshare.so", "map": "libmapshare.so"}


@dataclass(frozen=True)
class FileDescription:
    """One file type a library reads (an ``ns_FILEDESC`` record)."""

    description: str
    extension: str
    mac_codes: str
    magic_code: str


@dataclass(frozen=True)
class LibraryInfo:
    """The library record (``ns_LIBRARYINFO``) of a Neuroshare library."""

    library_version: tuple[int, int]
    api_version: tuple[int, int]
    description: str
    creator: str
    date: tuple[int, int, int]
    flags: int
    max_files: int
    file_types: list[FileDescription]
    raw: dict[str, bytes] = field(default_factory=dict, repr=False)


class Library:
    """A loaded Neuroshare library.

    Parameters
    ----------
    path : str or os.PathLike
        Path of the shared library (``libqrdshare.so``, ``libmapshare.so`` or
        any other Neuroshare 1.3 library).

    Notes
    -----
    A library is loaded once per process and path: ``Library(p)`` twice
    returns the same object.  Its functions may be called from any thread;
    ctypes releases the interpreter lock during each call.
    """

    _loaded: dict[str, Library] = {}
    _loaded_lock = threading.Lock()

    def __new__(cls, path: str | os.PathLike[str]) -> Library:
        resolved = os.path.realpath(os.fspath(path))
        with cls._loaded_lock:
            lib = cls._loaded.get(resolved)
            if lib is None:
                lib = super().__new__(cls)
                lib._load(resolved)
                cls._loaded[resolved] = lib
            return lib

    def __init__(self, path: str | os.PathLike[str]) -> None:  # loading happens in __new__
        pass

    def _load(self, path: str) -> None:
        if not os.path.isfile(path):
            raise NeuroshareError(R.ns_LIBERROR, "load library", f"no library file at {path}")
        try:
            if sys.platform == "win32" and ctypes.sizeof(ctypes.c_void_p) == 4:
                cdll = ctypes.WinDLL(path)  # 32-bit Windows DLLs are __stdcall
            else:
                cdll = ctypes.CDLL(path, mode=getattr(os, "RTLD_LOCAL", 0) | getattr(os, "RTLD_NOW", 0))
        except OSError as exc:
            raise NeuroshareError(R.ns_LIBERROR, "load library", f"{path}: {exc}") from None
        self.path = path
        self._cdll = cdll
        self._functions: dict[str, ctypes._CFuncPtr] = {}
        missing = []
        for name, argtypes in _SIGNATURES.items():
            try:
                fn = getattr(cdll, name)
            except AttributeError:
                missing.append(name)
                continue
            fn.argtypes = argtypes
            fn.restype = ctypes.c_int32
            self._functions[name] = fn
        # The sample reads are the calls made most often (one per channel and
        # window): a second function object without argtypes skips ctypes'
        # argument checks, about half of the cost of a call.  Its callers pass
        # integers below 2**32 and the buffer as a c_void_p.
        if "ns_GetAnalogData" in self._functions:
            self.analog_data_unchecked = cdll["ns_GetAnalogData"]
            self.analog_data_unchecked.restype = ctypes.c_int32
        if missing:
            raise NeuroshareError(
                R.ns_LIBERROR, "load library", f"{path} does not export {', '.join(missing)}"
            )
        self.info = self._read_info()
        self.kind = _kind_of(self.info)

    def __repr__(self) -> str:
        return f"<nsread.Library {self.kind} {self.path!r}>"

    def __reduce__(self):
        return (Library, (self.path,))

    def function(self, name: str):
        """The ctypes function object of the export ``name``."""
        return self._functions[name]

    def last_error(self) -> str:
        """The library's last-error text of this thread ('' when it keeps none)."""
        buf = ctypes.create_string_buffer(256)
        if self._functions["ns_GetLastErrorMsg"](buf, len(buf)) != R.ns_OK:
            return ""
        return decode(buf.value)

    def fail(self, code: int, call: str, context: str = "") -> NeuroshareError:
        """Build the error for a call that returned ``code`` (read the last-error text now)."""
        text = self.last_error()
        if not text:
            text = R.RESULT_TEXTS.get(code, "unknown result code")
        if context:
            text = f"{text} ({context})"
        return NeuroshareError(code, call, text)

    def call(self, name: str, *args, context: str = "") -> None:
        """Call the export ``name``; raise :class:`NeuroshareError` unless it returns ns_OK."""
        rc = self._functions[name](*args)
        if rc != R.ns_OK:
            raise self.fail(rc, name, context)

    def _read_info(self) -> LibraryInfo:
        rec = R.ns_LIBRARYINFO()
        self.call("ns_GetLibraryInfo", ctypes.addressof(rec), ctypes.sizeof(rec))
        count = min(rec.dwFileDescCount, 16)
        types = [
            FileDescription(
                decode(d.szDescription), decode(d.szExtension), decode(d.szMacCodes), decode(d.szMagicCode)
            )
            for d in rec.FileDesc[:count]
        ]
        raw = {"description": R.raw_text(rec, "szDescription"), "creator": R.raw_text(rec, "szCreator")}
        return LibraryInfo(
            library_version=(rec.dwLibVersionMaj, rec.dwLibVersionMin),
            api_version=(rec.dwAPIVersionMaj, rec.dwAPIVersionMin),
            description=decode(raw["description"]),
            creator=decode(raw["creator"]),
            date=(rec.dwTime_Year, rec.dwTime_Month, rec.dwTime_Day),
            flags=rec.dwFlags,
            max_files=rec.dwMaxFiles,
            file_types=types,
            raw=raw,
        )


def _kind_of(info: LibraryInfo) -> str:
    """Tell our two libraries apart by what their library record says."""
    extensions = {t.extension.lower().lstrip("*.") for t in info.file_types}
    if info.creator == "Quorvane" and "qrd" in extensions:
        return "qrdshare"
    if info.creator == "Velmora" and "map" in extensions:
        return "mapshare"
    return "other"


def library_dir() -> Path:
    """Folder of the bundled libraries: ``$NSREAD_LIBRARY_DIR`` if set, else ``nsread/lib``."""
    env = os.environ.get("NSREAD_LIBRARY_DIR")
    if env:
        return Path(env)
    return Path(__file__).resolve().parent / "lib"


def bundled_library_path(extension: str) -> Path:
    """Path of the bundled library that reads files with ``extension`` ('qrd' or 'map')."""
    name = _LIBRARY_FILES.get(extension.lower())
    if name is None:
        what = f"'.{extension}' files" if extension else "files without an extension"
        raise NeuroshareError(
            R.ns_TYPEERROR, "nsread.open", f"no bundled library reads {what}; pass library= with a Neuroshare library"
        )
    return library_dir() / name


def bundled_library(extension: str) -> Library:
    """The bundled library for ``extension``, loaded once."""
    return Library(bundled_library_path(extension))
