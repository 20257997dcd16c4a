"""NWB conversion of Neuroshare recordings (``nsread convert``, ``Recording.to_nwb``).

>>> import nsread
>>> with nsread.open("rec.qrd") as rec:
...     rec.to_nwb("rec.nwb", metadata="meta.yaml")
"""

from __future__ import annotations

from .convert import ConversionError, ConversionResult, convert
from .metadata import MetadataError, load_metadata, missing_dandi_fields
from .target import TargetError

__all__ = [
    "ConversionError",
    "ConversionResult",
    "MetadataError",
    "TargetError",
    "convert",
    "load_metadata",
    "missing_dandi_fields",
]
