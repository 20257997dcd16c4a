"""nsread: Neuroshare recordings as numpy arrays.

>>> import nsread
>>> with nsread.open("rec.qrd") as rec:
...     block = rec.blocks()[0]
...     data = block[0:25_000, [0, 5, 7]]
"""

from __future__ import annotations

from .blocks import SignalBlock
from .entities import AnalogEntity, Entity, EventEntity, NeuralEntity, SegmentEntity, Segments, SourceInfo
from .errors import NeuroshareError, RecordingClosedError
from .library import Library, LibraryInfo
from .recording import FileInfo, Recording, open

try:
    from importlib.metadata import version

    __version__ = version("nsread")
except Exception:  # running from the source tree
    __version__ = "0+unknown"

__all__ = [
    "AnalogEntity",
    "Entity",
    "EventEntity",
    "FileInfo",
    "Library",
    "LibraryInfo",
    "NeuralEntity",
    "NeuroshareError",
    "Recording",
    "RecordingClosedError",
    "SegmentEntity",
    "Segments",
    "SignalBlock",
    "SourceInfo",
    "__version__",
    "open",
]
