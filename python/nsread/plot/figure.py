"""Figures: the backend, new axes for notebooks, the combined figure, and saving it safely."""

from __future__ import annotations

import os
import sys
import tempfile
from collections.abc import Sequence
from pathlib import Path
from typing import Any

import matplotlib

#: The image formats ``save_figure`` writes, by file extension.
FORMATS = ("png", "svg", "pdf")

#: The four parts of the combined figure, in drawing order.
KINDS = ("overview", "traces", "spikes", "events")


def use_agg_without_display() -> None:
    """Switch matplotlib to Agg where there is no display to show figures on.

    A backend chosen by the user (``MPLBACKEND``, or a notebook's inline
    backend) and one already in use are left alone.
    """
    if os.environ.get("MPLBACKEND") or "matplotlib.pyplot" in sys.modules:
        return
    headless = sys.platform.startswith("linux") and not (os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"))
    if headless:
        matplotlib.use("Agg")


def new_axes(figsize: tuple[float, float]) -> Any:
    """One axes on a new pyplot figure, which a notebook shows."""
    use_agg_without_display()
    import matplotlib.pyplot as plt

    _, ax = plt.subplots(figsize=figsize, layout="constrained")
    return ax


def save_figure(fig: Any, path: str | os.PathLike[str], *, dpi: float | None = None) -> Path:
    """Write ``fig`` to ``path`` in the format its extension names, never half-way.

    The image is written under a temporary name beside ``path`` and renamed
    over it when complete, so readers see the old file or the new one; a
    failure removes the temporary file and leaves ``path`` as it was.

    Raises
    ------
    ValueError
        The extension is not one of :data:`FORMATS`.
    OSError
        The image cannot be written there.
    """
    target = Path(path)
    fmt = target.suffix.lower().lstrip(".")
    if fmt not in FORMATS:
        raise ValueError(f"cannot write {target.name!r}: the file name must end in .png, .svg or .pdf")
    folder = target.parent if str(target.parent) else Path(".")
    fd, temp = tempfile.mkstemp(prefix=f".{target.name}.", suffix=".part", dir=folder)
    try:
        with os.fdopen(fd, "wb") as out:
            fig.savefig(out, format=fmt, dpi=dpi if dpi is not None else "figure")
        os.chmod(temp, 0o666 & ~_umask())
        os.replace(temp, target)
    except BaseException:
        try:
            os.unlink(temp)
        except FileNotFoundError:
            pass
        raise
    return target


def _umask() -> int:
    mask = os.umask(0)
    os.umask(mask)
    return mask


def _grid_rows(kinds: Sequence[str], analog: bool, n_analog: int, n_shown: int) -> list[tuple[str, float]]:
    rows: list[tuple[str, float]] = []
    if "overview" in kinds:
        rows.append(("overview", max(2.5, 0.16 * n_analog) if analog else 1.0))
    if "traces" in kinds:
        rows.append(("traces", max(2.5, 0.3 * n_shown) if analog else 1.0))
    if "spikes" in kinds or "events" in kinds:
        rows.append(("bottom", 5.0))
    return rows


def recording_figure(
    rec: Any,
    kinds: Sequence[str] = KINDS,
    *,
    t0: float | None = None,
    t1: float | None = None,
    channels: str | Sequence[Any] | None = None,
    size: tuple[int, int] = (1600, 2000),
    dpi: float = 100,
    title: str | None = None,
) -> Any:
    """A figure of a recording with the parts ``kinds`` (all four by default).

    Parts with nothing to draw say so in their place when the figure has
    several parts; a figure of one part raises :class:`PlotError` instead.

    Parameters
    ----------
    rec
        An open ``Recording``.
    kinds
        Any of ``"overview"``, ``"traces"``, ``"spikes"``, ``"events"``.
    t0, t1
        The traces' window in seconds (by default from the start, one second
        long); the overview and events mark it when the traces are drawn or
        a window is given.
    channels
        A ``--channels`` selection (or sequence of entities, indexes or
        labels): each part draws the chosen entities of its kind.
    size
        Width and height in pixels; ``dpi`` pixels per inch.
    title
        Text above the parts; by default the file name, type and span.

    Returns
    -------
    matplotlib.figure.Figure
        A figure not registered with pyplot (nothing to close).
    """
    from matplotlib.figure import Figure

    from .envelope import envelopes
    from .errors import PlotError
    from .events import events
    from .overview import array_grid, has_array_layout, overview
    from .selection import analog_entities, resolve
    from .spikes import spikes
    from .style import message
    from .traces import DEFAULT_CHANNELS, check_window, traces

    unknown = [k for k in kinds if k not in KINDS]
    if unknown:
        raise ValueError(f"unknown plot kind {unknown[0]!r}: choose from {', '.join(KINDS)}")
    if not rec.entities:
        raise PlotError("the recording has no entities")
    single = len(kinds) == 1
    chosen = resolve(rec, channels)
    analog = analog_entities(chosen)
    span = float(rec.info.time_span)
    w0 = 0.0 if t0 is None else float(t0)
    w1 = min(span, w0 + 1.0) if t1 is None else float(t1)
    if t1 is None and w1 <= w0:
        w1 = w0 + 1.0  # the window check reports a start beyond the recording
    window = (w0, w1)
    # The overview and the raster mark the window the traces show, or the one asked for.
    marked = window if "traces" in kinds or t0 is not None or t1 is not None else None
    shown = min(len(analog), DEFAULT_CHANNELS) if channels is None else len(analog)

    fig = Figure(figsize=(size[0] / dpi, size[1] / dpi), dpi=dpi, layout="constrained")
    rows = _grid_rows(kinds, bool(analog), len(analog), shown)
    grid = fig.add_gridspec(len(rows), 2, height_ratios=[h for _, h in rows], width_ratios=[3, 2])

    def attempt(ax: Any, draw: Any) -> None:
        try:
            draw(ax)
        except PlotError as err:
            if single:
                raise
            ax.clear()
            message(ax, str(err))

    if "traces" in kinds or t0 is not None or t1 is not None:
        check_window(rec, *window)
    envs = envelopes(rec, analog) if analog and "overview" in kinds else None
    for r, (part, _) in enumerate(rows):
        if part == "overview":
            grid_layout = bool(analog) and has_array_layout(rec, analog)
            main = fig.add_subplot(grid[r, 0] if grid_layout else grid[r, :])
            attempt(main, lambda ax: overview(rec, ax, channels=chosen, envelopes=envs, window=marked))
            if grid_layout:
                attempt(fig.add_subplot(grid[r, 1]), lambda ax: array_grid(rec, ax, channels=analog, envelopes=envs))
        elif part == "traces":
            attempt(fig.add_subplot(grid[r, :]),
                    lambda ax: traces(rec, w0, w1, channels=None if channels is None else chosen, ax=ax))
        else:
            both = "spikes" in kinds and "events" in kinds
            if "spikes" in kinds:
                attempt(fig.add_subplot(grid[r, 0] if both else grid[r, :]),
                        lambda ax: spikes(rec, None, ax, channels=chosen))
            if "events" in kinds:
                attempt(fig.add_subplot(grid[r, 1] if both else grid[r, :]),
                        lambda ax: events(rec, ax, channels=chosen, window=marked))
    name = Path(str(getattr(rec, "path", ""))).name
    info = rec.info
    fig.suptitle(title if title is not None else
                 f"{name}: {info.file_type.strip()}, {span:g} s, {len(rec.entities)} entities",
                 fontsize=12, x=0.01, ha="left")
    return fig
