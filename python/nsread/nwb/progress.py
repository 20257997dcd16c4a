"""Progress of a conversion: samples written, shown with tqdm on a terminal."""

from __future__ import annotations

import signal
import sys
import threading
from collections.abc import Callable, Iterator
from contextlib import contextmanager

from tqdm import tqdm

#: Called with the number of samples just written (channels x samples).
ProgressCallback = Callable[[int], None]


class Progress:
    """Counts samples written and shows a bar when asked to.

    Parameters
    ----------
    total:
        Samples to write in all (channels x samples, waveforms and events count
        their values too).
    show:
        Show a tqdm bar (only when standard error is a terminal).
    callback:
        Also called after each step with the samples written in it; an
        exception it raises (KeyboardInterrupt included) ends the conversion.
    """

    def __init__(self, total: int, show: bool, callback: ProgressCallback | None = None) -> None:
        self.done = 0
        self.total = total
        self._callback = callback
        self._bar = None
        if show and sys.stderr.isatty():
            self._bar = tqdm(total=total, unit="sample", unit_scale=True, desc="nsread convert",
                             file=sys.stderr, leave=False)

    def set_total(self, total: int) -> None:
        """The number of values the conversion writes, once it is known."""
        self.total = total
        if self._bar is not None:
            self._bar.total = total
            self._bar.refresh()

    def advance(self, samples: int) -> None:
        """Record ``samples`` more values written; stop here if Ctrl-C was pressed."""
        check_interrupt()
        self.done += samples
        if self._bar is not None:
            self._bar.update(samples)
        if self._callback is not None:
            self._callback(samples)

    def close(self) -> None:
        """Remove the bar."""
        if self._bar is not None:
            self._bar.close()
            self._bar = None


_interrupted = threading.Event()


def check_interrupt() -> None:
    """Raise KeyboardInterrupt if Ctrl-C was pressed during :func:`interruptible`."""
    if _interrupted.is_set():
        _interrupted.clear()
        raise KeyboardInterrupt


@contextmanager
def interruptible() -> Iterator[None]:
    """Turn Ctrl-C into a KeyboardInterrupt at the next step of the conversion.

    Python raises KeyboardInterrupt wherever the interpreter happens to be,
    and where that is a weak-reference callback or a destructor inside hdmf or
    h5py the exception is printed and dropped, so the conversion would go on.
    Here the first Ctrl-C only sets a flag that every written window checks;
    a second one interrupts at once. Outside the main thread nothing changes.
    """
    if threading.current_thread() is not threading.main_thread():
        yield
        return

    def handler(signum: int, frame: object) -> None:
        if _interrupted.is_set():
            raise KeyboardInterrupt
        _interrupted.set()

    _interrupted.clear()
    previous = signal.signal(signal.SIGINT, handler)
    try:
        yield
        check_interrupt()
    finally:
        signal.signal(signal.SIGINT, previous)
        _interrupted.clear()
