"""Decoding of the libraries' 8-bit text fields.

Text is decoded as UTF-8 when it is valid UTF-8, otherwise as Windows-1252
(the code page recording applications on Windows write).  Bytes that
Windows-1252 leaves undefined become U+FFFD.  Decoding never raises; the raw
bytes are always kept next to the decoded text.
"""

from __future__ import annotations


def decode(raw: bytes) -> str:
    """Decode ``raw`` as UTF-8, falling back to cp1252; never raises."""
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp1252", errors="replace")
