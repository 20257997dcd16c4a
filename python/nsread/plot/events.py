"""The event raster: every event (and sorted spike train) on the recording's time axis."""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any

import numpy as np
from matplotlib.axes import Axes

from .. import NeuralEntity
from . import style
from .errors import PlotError
from .selection import resolve, timed_entities

#: Values are written beside the ticks of rows with at most this many events.
MAX_VALUE_LABELS = 40

#: Rows with more events than this show how many fall in each of DENSITY_BINS
#: stretches of time instead of one tick each (a tick per event of a long
#: recording would not fit a figure, nor memory).
MAX_TICKS = 20_000
DENSITY_BINS = 1000

_EVENT_COLOUR = "#b03a2e"
_SPIKE_COLOUR = "#1f3b73"


def format_value(value: Any) -> str:
    """An event value as text: numbers as they are, several words side by side."""
    if isinstance(value, str):
        return value
    arr = np.asarray(value)
    if arr.ndim == 0:
        return str(arr.item())
    return " ".join(str(v) for v in arr.ravel().tolist())


def _labels_fit(times: np.ndarray, limit: int, span: float) -> bool:
    """Few enough events, far enough apart (2 % of the axis) for their values to be read."""
    if len(times) > limit:
        return False
    return len(times) < 2 or span <= 0 or float(np.min(np.diff(np.sort(times)))) >= 0.02 * span


def _density(ax: Axes, row: int, times: np.ndarray, span: float, colour: str, index: int) -> None:
    """A row of many events as the count per stretch of time, the fullest stretch filling the row."""
    end = span if span > 0 else float(times.max())
    counts, edges = np.histogram(times, bins=DENSITY_BINS, range=(0.0, max(end, float(times.max()))))
    heights = 0.8 * counts / max(1, counts.max())
    ax.stairs(row + 0.4 - heights, edges, baseline=row + 0.4, fill=True, color=colour, lw=0,
              gid=f"entity {index} density")


def event_times(entity: Any) -> tuple[np.ndarray, np.ndarray | None]:
    """Times of an entity's items and, for event entities, their values."""
    if isinstance(entity, NeuralEntity):
        return np.asarray(entity.read(), dtype=np.float64), None
    items = entity.read()
    return np.asarray(items["time"], dtype=np.float64), items["value"]


def events(
    rec: Any,
    ax: Axes | None = None,
    *,
    channels: str | Sequence[Any] | None = None,
    window: tuple[float, float] | None = None,
    max_value_labels: int = MAX_VALUE_LABELS,
) -> Axes:
    """Draw a raster of every event entity, and of every sorted unit's spike times, one row each.

    Rows hold a tick at each item's time on the recording's time axis (0 to
    its time span, in seconds, widened to items that lie beyond it).  Rows of event entities with at most
    ``max_value_labels`` events carry each event's value (trigger words,
    edge values) beside its tick.  Entities without items get no row; the
    title says how many there are.  Each row is an ``EventCollection`` whose
    ``gid`` is ``"entity <index>"`` and whose positions are the item times.

    Parameters
    ----------
    rec
        An open ``Recording``.
    ax
        Axes to draw in; a new figure when ``None``.
    channels
        A ``--channels`` selection or a sequence of entities, indexes or
        labels to choose the rows from; every event and neural entity by
        default.
    window
        A time window ``(t0, t1)`` to mark, such as the one of the traces.

    Returns
    -------
    matplotlib.axes.Axes

    Raises
    ------
    PlotError
        No event or neural entity has items.
    """
    timed = timed_entities(resolve(rec, channels))
    if not timed:
        raise PlotError("no events to draw: the recording or the channel selection has no event entity")
    rows = []
    for entity in timed:
        if entity.item_count > 0:
            times, values = event_times(entity)
            rows.append((entity, times, values))
    empty = len(timed) - len(rows)
    if not rows:
        raise PlotError(f"no events to draw: {style.all_empty(timed, 'event entity', 'event entities')}")
    if ax is None:
        from .figure import new_axes

        ax = new_axes(figsize=(12, 1.2 + 0.35 * len(rows)))
    span = float(rec.info.time_span)
    labels = []
    for row, (entity, times, values) in enumerate(rows):
        spikes = values is None
        colour = _SPIKE_COLOUR if spikes else _EVENT_COLOUR
        label = style.short_label(entity.label)
        labels.append(f"{label} (spikes)" if spikes else label)
        if len(times) > MAX_TICKS:
            _density(ax, row, times, span, colour, entity.index)
            labels[-1] += f": {len(times)} events, density"
            continue
        (coll,) = ax.eventplot([times], lineoffsets=row, linelengths=0.7, colors=colour,
                               linewidths=0.6 if spikes or len(times) > 200 else 1.2)
        coll.set_gid(f"entity {entity.index}")
        if values is not None and _labels_fit(times, max_value_labels, span):
            for t, v in zip(times, values, strict=True):
                ax.text(t, row - 0.38, " " + format_value(v), fontsize=6, va="bottom", ha="left",
                        color="0.2", clip_on=True)
    style.label_rows(ax, labels, fontsize=6 if len(rows) > 24 else 8, min_rows=8)
    # The recording's time axis, widened where items lie beyond its stated span.
    first = min(float(t.min()) for _, t, _ in rows if t.size)
    last = max(float(t.max()) for _, t, _ in rows if t.size)
    ax.set_xlim(min(0.0, first), max(span, last))
    ax.set_xlabel("time (s)")
    if window is not None and not (window[0] <= 0 and window[1] >= span):  # a window that is not everything
        ax.axvspan(window[0], window[1], color="#f4b942", alpha=0.25, lw=0, gid="window", zorder=0)
    note = f"; {empty} without items not shown" if empty else ""
    ax.set_title(f"Events: {style.plural(len(rows), 'entity', 'entities')} with items{note}", fontsize=10, loc="left")
    return ax
