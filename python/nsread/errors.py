"""The exception every failed Neuroshare call raises."""

from __future__ import annotations

from ._records import RESULT_NAMES, RESULT_TEXTS, ns_BADFILE


class NeuroshareError(Exception):
    """A Neuroshare call failed.

    Attributes
    ----------
    code : int
        The result code (``ns_BADINDEX`` is -7 and so on; 0 never appears).
    call : str
        The name of the call that failed, for example ``"ns_GetAnalogData"``,
        or of the nsread method that refused its arguments before calling the
        library.
    message : str
        The library's last-error text where the library keeps one, else a
        description of the code.
    """

    def __init__(self, code: int, call: str, message: str = "") -> None:
        self.code = int(code)
        self.call = str(call)
        self.message = message or RESULT_TEXTS.get(self.code, "unknown result code")
        super().__init__(self.code, self.call, self.message)

    @property
    def code_name(self) -> str:
        """The symbolic name of :attr:`code`, e.g. ``"ns_BADINDEX"``."""
        return RESULT_NAMES.get(self.code, "unknown code")

    def __str__(self) -> str:
        return f"{self.call} failed: {self.code_name} ({self.code}): {self.message}"

    def __reduce__(self):
        return (type(self), (self.code, self.call, self.message))


class RecordingClosedError(NeuroshareError, ValueError):
    """A recording (or an entity or block of it) was used after ``close()``.

    It is a :class:`NeuroshareError` with code ``ns_BADFILE`` and also a
    :class:`ValueError`, as for operations on a closed Python file.
    """

    def __init__(self, call: str, message: str = "") -> None:
        super().__init__(ns_BADFILE, call, message or "the recording is closed")

    def __reduce__(self):
        return (type(self), (self.call, self.message))
