"""The overview: every analog channel over the whole recording, and the electrode array."""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any

import numpy as np
from matplotlib import transforms
from matplotlib.axes import Axes
from matplotlib.patches import Rectangle

from . import style
from .envelope import DEFAULT_BINS, ChannelEnvelope, band, envelopes
from .errors import PlotError
from .selection import analog_entities, resolve

#: A grid wider or taller than this is laid out by rank instead of by pitch.
MAX_GRID = 32


def _channel_envelopes(
    rec: Any, channels: Any, given: Sequence[ChannelEnvelope] | None, bins: int
) -> list[ChannelEnvelope]:
    chosen = analog_entities(resolve(rec, channels))
    if not chosen:
        raise PlotError("no analog channel to draw: the recording or the channel selection has none")
    if given is not None:
        wanted = {e.index for e in chosen}
        return [env for env in given if env.entity.index in wanted]
    return envelopes(rec, chosen, bins)


def overview(
    rec: Any,
    ax: Axes | None = None,
    *,
    channels: str | Sequence[Any] | None = None,
    envelopes: Sequence[ChannelEnvelope] | None = None,
    bins: int = DEFAULT_BINS,
    window: tuple[float, float] | None = None,
) -> Axes:
    """Draw every analog channel over the whole recording as a min/max envelope, one row each.

    The recording is read once, window by window, in bounded memory (see
    :mod:`nsread.plot.envelope`).  Channels of one unit share a vertical
    scale, shown by a scale bar.  Each band's ``gid`` is ``"entity <index>"``
    and its data are the envelope's values in the channel's units.

    Parameters
    ----------
    rec
        An open ``Recording``.
    ax
        Axes to draw in; a new figure when ``None``.
    channels
        A ``--channels`` selection or a sequence of entities, indexes or
        labels; every analog entity by default.
    envelopes
        Envelopes already computed (by :func:`nsread.plot.envelope.envelopes`),
        so that the overview and :func:`array_grid` read the recording once.
    bins
        Bins per channel when the envelopes are computed here.
    window
        A time window ``(t0, t1)`` to mark, such as the one of the traces.

    Returns
    -------
    matplotlib.axes.Axes
    """
    envs = _channel_envelopes(rec, channels, envelopes, bins)
    if ax is None:
        from .figure import new_axes

        ax = new_axes(figsize=(12, 1.0 + 0.22 * len(envs)))
    spans = [float(np.max(e.high) - np.min(e.low)) if e.low.size else 0.0 for e in envs]
    gains = style.stack_gains([e.entity for e in envs], spans, rows_per_span=0.95)
    last_row: dict[str, int] = {}
    for row, env in enumerate(envs):
        units = style.short_units(env.units)
        last_row[units] = row
        times, low, high = band(env)
        centre = float((np.min(env.low) + np.max(env.high)) / 2)
        ax.fill_between(times, low, high, transform=style.row_transform(ax, row, gains[units], centre),
                        color=style.TRACE_COLOUR, lw=0.3, gid=f"entity {env.entity.index}")
    style.label_rows(ax, [style.short_label(e.label) for e in envs], fontsize=6 if len(envs) > 24 else 8)
    span = float(rec.info.time_span)
    ax.set_xlim(0.0, max([span] + [float(e.stops[-1]) for e in envs]))  # samples past the stated span too
    ax.set_xlabel("time (s)")
    for i, (units, row) in enumerate(last_row.items()):
        value = style.nice_length(0.9 / gains[units])
        style.draw_scale_bar(ax, value * gains[units], style.format_quantity(value, units), y0=row + 0.45,
                             x=1.005 + 0.03 * i)
    if window is not None and not (window[0] <= 0 and window[1] >= span):  # a window that is not everything
        ax.axvspan(window[0], window[1], color="#f4b942", alpha=0.25, lw=0, gid="window", zorder=0)
    k = max(e.samples_per_bin for e in envs)
    what = "each sample" if k == 1 else f"min/max of every {k} samples"
    ax.set_title(f"Overview: {style.plural(len(envs), 'analog channel')}, {what}", fontsize=10, loc="left")
    return ax


def _cells(values: np.ndarray) -> tuple[np.ndarray, int]:
    """Grid column (or row) of each coordinate, and how many there are.

    By the array's pitch, so that missing electrodes (the corners of a
    square array) leave empty cells; by rank when the pitch would make the
    grid too large.
    """
    distinct = np.unique(np.round(values, 9))
    if distinct.size == 1:
        return np.zeros(values.size, dtype=int), 1
    pitch = float(np.min(np.diff(distinct)))
    cells = np.rint((values - distinct[0]) / pitch).astype(int)
    if cells.max() + 1 > MAX_GRID:
        cells = np.searchsorted(distinct, np.round(values, 9))
    return cells, int(cells.max()) + 1


def electrode_positions(envs: Sequence[ChannelEnvelope]) -> list[tuple[ChannelEnvelope, int, int]]:
    """The electrode channels with a location, each with its grid column and row.

    Empty when fewer than two electrodes have distinct (x, y) locations:
    then the entities carry no usable layout.
    """
    placed = [e for e in envs if getattr(e.entity, "is_electrode", False)]
    if len(placed) < 2:
        return []
    xy = np.array([[float(e.entity.location_x), float(e.entity.location_y)] for e in placed])
    if len({(round(x, 12), round(y, 12)) for x, y in xy}) < len(placed):
        return []
    cols, _ = _cells(xy[:, 0])
    rows, _ = _cells(xy[:, 1])
    return [(e, int(c), int(r)) for e, c, r in zip(placed, cols, rows, strict=True)]


def has_array_layout(rec: Any, channels: Any = None) -> bool:
    """True when the chosen electrode channels have locations that form an array."""
    chosen = [e for e in analog_entities(resolve(rec, channels)) if getattr(e, "is_electrode", False)]
    points = {(round(float(e.location_x), 12), round(float(e.location_y), 12)) for e in chosen}
    return len(chosen) >= 2 and len(points) == len(chosen)


def array_grid(
    rec: Any,
    ax: Axes | None = None,
    *,
    channels: str | Sequence[Any] | None = None,
    envelopes: Sequence[ChannelEnvelope] | None = None,
    bins: int = DEFAULT_BINS,
) -> Axes:
    """Draw each electrode's envelope in its place on the array, as array viewers lay them out.

    Columns follow the entities' x locations and rows their y locations
    (row 1 at the top), one cell per pitch of the array, so missing
    electrodes leave empty cells.  All cells share one vertical scale,
    given in the title.  Each band's ``gid`` is ``"entity <index>"``.

    Raises
    ------
    PlotError
        When fewer than two electrode channels have distinct locations.
    """
    envs = _channel_envelopes(rec, channels, envelopes, bins)
    placed = electrode_positions(envs)
    if not placed:
        raise PlotError("the electrode channels have no locations that form an array")
    if ax is None:
        from .figure import new_axes

        ax = new_axes(figsize=(8, 8))
    ncols = max(c for _, c, _ in placed) + 1
    nrows = max(r for _, _, r in placed) + 1
    units = style.short_units(placed[0][0].units)
    span = max(float(np.max(e.high) - np.min(e.low)) for e, _, _ in placed) or 1.0
    gain = 0.85 / span
    t_first = min(float(e.starts[0]) for e, _, _ in placed)
    t_last = max(float(e.stops[-1]) for e, _, _ in placed)
    t_scale = 0.9 / (t_last - t_first) if t_last > t_first else 1.0
    for env, col, row in placed:
        centre = float((np.min(env.low) + np.max(env.high)) / 2)
        cell = (transforms.Affine2D().translate(-t_first, -centre).scale(t_scale, -gain)
                .translate(col + 0.05, row + 0.5) + ax.transData)
        times, low, high = band(env)
        ax.add_patch(Rectangle((col + 0.02, row + 0.02), 0.96, 0.96, fc="white", ec="0.75", lw=0.5))
        ax.fill_between(times, low, high, transform=cell, color=style.TRACE_COLOUR, lw=0.3,
                        gid=f"entity {env.entity.index}")
        name = str(env.entity.label).split()[-1] if str(env.entity.label).split() else str(env.entity.index)
        ax.text(col + 0.05, row + 0.05, name, fontsize=6, va="top", ha="left", color="0.15", zorder=5,
                bbox={"boxstyle": "square,pad=0.1", "fc": "white", "ec": "none", "alpha": 0.8})
    ax.set_xlim(0, ncols)
    ax.set_ylim(nrows, 0)
    ax.set_aspect("equal")
    ax.set_xticks([])
    ax.set_yticks([])
    for side in ax.spines.values():
        side.set_visible(False)
    ax.set_title(f"Electrode array\ncell: {style.format_quantity(span / 0.85, units)} by {t_last - t_first:.3g} s",
                 fontsize=10, loc="left")
    return ax


