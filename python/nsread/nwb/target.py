"""The output file: checks before writing, a temporary name beside it, the final rename.

Nothing is ever left half-written under the target name: the file is written
as ``.<stem>.<random>.partial.nwb`` in the same folder and renamed over the target
only once it is complete; on any failure or interruption the temporary file
is removed.
"""

from __future__ import annotations

import os
import tempfile
from collections.abc import Iterator
from contextlib import contextmanager
from pathlib import Path


class TargetError(Exception):
    """The output path cannot be written."""


def check_target(path: Path, overwrite: bool) -> Path:
    """Check that ``path`` may be written and return it absolute.

    Raises
    ------
    TargetError
        For a folder, an existing file without ``overwrite``, a missing or
        unwritable parent folder.
    """
    path = Path(path).expanduser().absolute()
    if path.is_dir():
        raise TargetError(f"{path} is a folder; give a file name such as {path / 'recording.nwb'}")
    if path.exists() and not overwrite:
        raise TargetError(f"{path} exists; use --overwrite to replace it")
    parent = path.parent
    if not parent.is_dir():
        raise TargetError(f"folder {parent} does not exist")
    if not os.access(parent, os.W_OK | os.X_OK):
        raise TargetError(f"folder {parent} is not writable")
    if path.exists() and not os.access(path, os.W_OK):
        raise TargetError(f"{path} is not writable")
    return path


@contextmanager
def temporary_beside(path: Path) -> Iterator[Path]:
    """Yield a temporary path in ``path``'s folder; rename it to ``path`` on success.

    On any exception (KeyboardInterrupt included) the temporary file is
    removed and the exception passes on; the target is left as it was.
    """
    fd, name = tempfile.mkstemp(prefix=f".{path.stem}.", suffix=".partial.nwb", dir=path.parent)
    os.close(fd)
    tmp = Path(name)
    umask = os.umask(0)
    os.umask(umask)
    os.chmod(tmp, 0o666 & ~umask)  # the finished file gets the usual permissions, not mkstemp's 0600
    try:
        yield tmp
        os.replace(tmp, path)
    except BaseException:
        tmp.unlink(missing_ok=True)
        raise
