"""Traces: the analog channels of a time window, stacked, with a scale bar."""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any

import numpy as np
from matplotlib.axes import Axes

from . import style
from .envelope import band, block_envelopes, subset
from .errors import PlotError
from .selection import analog_entities, resolve

#: Channels drawn when none are chosen: more would crowd a figure.
DEFAULT_CHANNELS = 16

#: Above this many samples per channel a window is drawn as its min/max
#: envelope (the samples of a long window would not fit a figure, nor memory).
MAX_POINTS = 200_000


def window_indexes(entity: Any, t0: float, t1: float) -> tuple[int, int]:
    """The samples ``start`` to ``stop`` (excluded) of ``entity`` between ``t0`` and ``t1``.

    Both ends are included when a sample lies exactly on them; ``start ==
    stop`` when the window holds no sample of the entity.
    """
    n = int(entity.item_count)
    if n == 0 or t1 < t0:
        return 0, 0
    first, last = float(entity.time_of(0)), float(entity.time_of(n - 1))
    if t0 > last or t1 < first:
        return 0, 0
    start = 0 if t0 <= first else int(entity.index_of(t0, "after"))
    stop = n if t1 >= last else int(entity.index_of(t1, "before")) + 1
    return start, max(start, stop)


def check_window(rec: Any, t0: float, t1: float) -> None:
    """Refuse a window that is empty or lies outside the recording."""
    span = float(rec.info.time_span)
    if not (np.isfinite(t0) and np.isfinite(t1)):
        raise PlotError(f"the time window {t0} to {t1} s is not a pair of numbers")
    if t1 <= t0:
        raise PlotError(f"the time window {t0:g} to {t1:g} s is empty: it must end after it starts")
    if t0 > span:  # samples may lie beyond the span a recording states
        span = max([span] + [float(e.time_of(e.item_count - 1)) for e in analog_entities(rec.entities)
                             if e.item_count > 0])
    if t1 < 0 or t0 > span:
        raise PlotError(f"the time window {t0:g} to {t1:g} s lies outside the recording (0 to {span:g} s)")


def _gaps_to_nan(times: np.ndarray, values: np.ndarray, rate: float) -> tuple[np.ndarray, np.ndarray]:
    """Insert NaN between samples further apart than two sample periods, so sweeps are not joined."""
    if rate <= 0 or times.size < 2:
        return times, values
    breaks = np.nonzero(np.diff(times) > 2.0 / rate)[0] + 1
    if breaks.size == 0:
        return times, values
    return np.insert(times, breaks, np.nan), np.insert(values, breaks, np.nan)


def traces(
    rec: Any,
    t0: float,
    t1: float,
    channels: str | Sequence[Any] | None = None,
    ax: Axes | None = None,
    *,
    max_channels: int = DEFAULT_CHANNELS,
    max_points: int = MAX_POINTS,
) -> Axes:
    """Draw the analog channels of a time window stacked one above the other.

    Each channel gets a row labelled with its entity label; channels of one
    unit share a vertical scale, shown by a scale bar in that unit at the
    right.  Every line holds the channel's samples as ``nsread`` reads them
    (values in the channel's units, ``physical=True``) against their times
    in seconds; rows are placed by the line's transform, not by changing
    its data.  A line's ``gid`` is ``"entity <index>"``.

    Parameters
    ----------
    rec
        An open ``Recording``.
    t0, t1
        The window in seconds from the recording's start.
    channels
        A ``--channels`` selection string, or a sequence of entities, entity
        indexes or labels; non-analog entities in it are left out.  By
        default the first ``max_channels`` analog entities.
    ax
        Axes to draw in; a new figure when ``None``.
    max_channels
        How many channels to draw when ``channels`` is ``None``.
    max_points
        Windows with more samples per channel than this are drawn as their
        min/max envelope (``max_points // 2`` bins) instead of sample by sample.

    Returns
    -------
    matplotlib.axes.Axes
        The axes drawn in.

    Raises
    ------
    PlotError
        No analog channel chosen, or a window outside the recording or with
        no sample of any chosen channel.
    """
    t0, t1 = float(t0), float(t1)
    check_window(rec, t0, t1)
    chosen = analog_entities(resolve(rec, channels))
    if not chosen:
        raise PlotError("no analog channel to draw: the recording or the channel selection has none")
    total = len(chosen)
    if channels is None and total > max_channels:
        chosen = chosen[:max_channels]
    if ax is None:
        from .figure import new_axes

        ax = new_axes(figsize=(12, 1.0 + 0.45 * len(chosen)))

    rows = _read_rows(rec, chosen, t0, t1, max_points)
    if all(r is None for r in rows):
        raise PlotError(f"none of the chosen channels has a sample between {t0:g} and {t1:g} s")
    spans = [0.0 if r is None else style.robust_span([v for v in r[1:] if v is not None]) for r in rows]
    gains = style.stack_gains(chosen, spans)
    last_row: dict[str, int] = {}
    for row, (entity, data) in enumerate(zip(chosen, rows, strict=True)):
        units = style.short_units(str(entity.units))
        last_row[units] = row
        if data is None:
            ax.text(t0, row, "  no samples in this window", va="center", fontsize=7, color="0.4")
            continue
        times, low, high = data
        centre = float(np.nanmedian(low if high is None else (low + high) / 2))  # NaN: gaps between sweeps
        tr = style.row_transform(ax, row, gains[units], centre)
        if high is None:
            x, y = _gaps_to_nan(times, low, float(entity.sample_rate))
            ax.plot(x, y, transform=tr, color=style.TRACE_COLOUR, lw=0.6, gid=f"entity {entity.index}")
        else:
            ax.fill_between(times, low, high, transform=tr, color=style.TRACE_COLOUR, lw=0.4,
                            gid=f"entity {entity.index}")
    style.label_rows(ax, [style.short_label(e.label) for e in chosen])
    ax.set_xlim(t0, t1)
    ax.set_xlabel("time (s)")
    for i, (units, row) in enumerate(last_row.items()):
        value = style.nice_length(0.8 / gains[units])
        style.draw_scale_bar(ax, value * gains[units], style.format_quantity(value, units), y0=row + 0.4,
                             x=1.005 + 0.03 * i)
    shown = f"{len(chosen)} of {total} channels" if len(chosen) < total else style.plural(total, "channel")
    ax.set_title(f"Traces {t0:g} to {t1:g} s ({shown})", fontsize=10, loc="left")
    return ax


def _read_rows(rec: Any, chosen: list[Any], t0: float, t1: float, max_points: int) -> list[Any]:
    """Per channel ``(times, values, None)``, an envelope's ``band`` or ``None`` (no samples)."""
    blocks = {e.index: b for b in rec.blocks() for e in b.entities}
    rows: list[Any] = []
    for entity in chosen:
        start, stop = window_indexes(entity, t0, t1)
        if stop <= start:
            rows.append(None)
        elif stop - start <= max_points:
            values = entity.read(start, stop - start, physical=True)
            rows.append((entity.times(start, stop - start), np.asarray(values, dtype=np.float64), None))
        else:
            block = subset(blocks[entity.index], [entity.index])
            (env,) = block_envelopes(block, max(1, max_points // 2), start=start, stop=stop)
            rows.append(band(env))
    return rows
