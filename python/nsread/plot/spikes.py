"""Spike cut-outs: the waveforms of segment entities overlaid, coloured by unit, with their means."""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import Any

import numpy as np
from matplotlib import patheffects
from matplotlib.axes import Axes
from matplotlib.collections import LineCollection

from . import style
from .errors import PlotError
from .selection import find_entity, resolve, segment_entities

#: Waveforms drawn per entity; the count and the means always cover every item.
MAX_WAVEFORMS = 500

#: Panels laid out when every segment entity is drawn.
MAX_ENTITIES = 16

#: Items read at once, so that entities with millions of cut-outs stay in bounded memory.
READ_ITEMS = 4096

_UNIT_COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf", "#8c564b", "#e377c2",
                 "#bcbd22", "#7f7f7f"]


def unit_colour(unit: int) -> str:
    """Unit 0 (not sorted) is grey; sorted units take distinct colours."""
    return "#9a9a9a" if unit == 0 else _UNIT_COLOURS[(unit - 1) % len(_UNIT_COLOURS)]


def values_are_physical(entity: Any) -> bool:
    """True when a segment entity's samples are in its units already.

    mapshare hands out its 16-bit samples unscaled (as for its analog
    channels); each source's resolution is then the step of one count.
    """
    stated = getattr(entity, "physical", None)
    if stated is not None:
        return bool(stated)
    return getattr(entity.recording.library, "kind", "") != "mapshare"


def _pick(n: int, limit: int) -> np.ndarray:
    """Up to ``limit`` item numbers spread evenly over ``n`` items."""
    if n <= limit:
        return np.arange(n)
    return np.unique(np.linspace(0, n - 1, limit).round().astype(np.int64))


class _Gathered:
    """What one pass over an entity's items gives: per-unit counts and sums, and the drawn waveforms."""

    def __init__(self, entity: Any, sources: list[int], max_waveforms: int) -> None:
        self.entity = entity
        self.sources = sources
        self.counts: dict[int, int] = {}
        self.sums: dict[int, np.ndarray] = {}
        self.valid: dict[int, np.ndarray] = {}
        self.drawn: list[tuple[int, np.ndarray]] = []
        n = int(entity.item_count)
        wanted = _pick(n, max_waveforms)
        scale = np.ones(len(sources))
        if not values_are_physical(entity):
            scale = np.array([float(entity.sources[s].resolution) for s in sources])
        for first in range(0, n, READ_ITEMS):
            count = min(READ_ITEMS, n - first)
            seg = entity.read(first, count)
            waves = seg.waveforms[:, sources, :] * scale[None, :, None]
            for unit in np.unique(seg.units):
                mine = seg.units == unit
                u = int(unit)
                self.counts[u] = self.counts.get(u, 0) + int(mine.sum())
                part = waves[mine]
                total = np.nansum(part, axis=0)
                valid = np.sum(np.isfinite(part), axis=0)
                self.sums[u] = self.sums.get(u, 0) + total
                self.valid[u] = self.valid.get(u, 0) + valid
            picked = wanted[(wanted >= first) & (wanted < first + count)] - first
            self.drawn.extend((int(seg.units[i]), waves[i]) for i in picked)

    def mean(self, unit: int) -> np.ndarray:
        with np.errstate(invalid="ignore", divide="ignore"):
            return self.sums[unit] / np.where(self.valid[unit] > 0, self.valid[unit], np.nan)


def _x_axis(samples: int, nsources: int, rate: float) -> np.ndarray:
    """Milliseconds of each sample, sources side by side with a gap of a quarter width, NaN between."""
    period = 1000.0 / rate if rate > 0 else 1.0
    t = np.arange(samples) * period
    width = samples * period * 1.25
    parts = [np.append(t + s * width, np.nan) for s in range(nsources)]
    return np.concatenate(parts)[:-1]


def _joined(wave: np.ndarray) -> np.ndarray:
    """A (sources, samples) waveform as one line, NaN between sources (matching :func:`_x_axis`)."""
    parts = [np.append(w, np.nan) for w in wave]
    return np.concatenate(parts)[:-1]


def _draw_entity(ax: Axes, entity: Any, max_waveforms: int, *, compact: bool) -> None:
    sources = list(entity.sources_with_samples) or list(range(max(1, entity.source_count)))
    data = _Gathered(entity, sources, max_waveforms)
    samples = int(entity.max_sample_count)
    x = _x_axis(samples, len(sources), float(entity.sample_rate))
    for unit in sorted(data.counts):
        lines = [np.column_stack([x, _joined(w)]) for u, w in data.drawn if u == unit]
        colour = unit_colour(unit)
        if lines:
            alpha = max(0.08, min(0.6, 8.0 / math.sqrt(len(lines))))
            ax.add_collection(LineCollection(lines, colors=colour, linewidths=0.5, alpha=alpha,
                                             gid=f"waveforms unit {unit}"))
        name = "not sorted" if unit == 0 else f"unit {unit}"
        ax.plot(x, _joined(data.mean(unit)), color=colour, lw=1.5, gid=f"mean unit {unit}",
                label=f"{name}: {data.counts[unit]}",
                path_effects=[patheffects.Stroke(linewidth=2.5, foreground="black"), patheffects.Normal()])
    ax.autoscale_view()
    total = sum(data.counts.values())
    shown = f", {len(data.drawn)} drawn" if len(data.drawn) < total else ""
    ax.set_title(f"{style.short_label(entity.label)}  n = {total}{shown}", fontsize=8 if compact else 10, loc="left")
    ax.legend(fontsize=6 if compact else 8, loc="lower right", frameon=False, handlelength=1.2)
    ax.tick_params(labelsize=6 if compact else 8)
    ax.yaxis.set_major_formatter(style.value_formatter(str(entity.units)))
    if not compact:
        ax.set_xlabel("time in the segment (ms)")
    ax.spines["top"].set_visible(False)
    ax.spines["right"].set_visible(False)


def _entity(rec: Any, entity: Any) -> Any:
    found = find_entity(rec, entity)
    if not segment_entities([found]):
        raise PlotError(f"entity {found.index} ({style.short_label(found.label)}) holds no spike cut-outs: "
                        "it is not a segment entity")
    if found.item_count == 0:
        raise PlotError(f"entity {found.index} ({style.short_label(found.label)}) is empty: it has no items")
    return found


def spikes(
    rec: Any,
    entity: Any = None,
    ax: Axes | None = None,
    *,
    channels: str | Sequence[Any] | None = None,
    max_waveforms: int = MAX_WAVEFORMS,
    max_entities: int = MAX_ENTITIES,
) -> list[Axes]:
    """Draw the waveforms of segment entities overlaid, coloured by unit, with each unit's mean.

    Every item is read (in pieces of :data:`READ_ITEMS`, so memory stays
    bounded) to count the items of each unit and average their waveforms;
    up to ``max_waveforms`` items per entity, spread evenly, are drawn.
    Sources that carry samples are drawn side by side.  Values are in the
    entity's units (raw counts are scaled by each source's resolution).
    The waveforms of unit ``u`` form one ``LineCollection`` with ``gid``
    ``"waveforms unit u"``, one segment per item; the mean is a line with
    ``gid`` ``"mean unit u"``.

    Parameters
    ----------
    rec
        An open ``Recording``.
    entity
        One segment entity (object, index or label); ``None`` draws every
        segment entity with items, one panel each (at most ``max_entities``).
    ax
        Axes to draw in; a new figure when ``None``.  For several entities
        its area is divided into one panel per entity.
    channels
        With ``entity=None``: a ``--channels`` selection or sequence of
        entities, indexes or labels to choose the segment entities from.
    max_waveforms, max_entities
        Limits on what is drawn (counts and means cover all items).

    Returns
    -------
    list of matplotlib.axes.Axes
        One axes per entity drawn.

    Raises
    ------
    PlotError
        An entity that is empty or not a segment entity; no segment entity
        with items.
    """
    if entity is not None:
        chosen = [_entity(rec, entity)]
        skipped = 0
    else:
        segs = segment_entities(resolve(rec, channels))
        if not segs:
            raise PlotError("no spike cut-outs to draw: the recording or the channel selection has no segment entity")
        chosen = [e for e in segs if e.item_count > 0]
        if not chosen:
            raise PlotError(f"no spike cut-outs to draw: {style.all_empty(segs, 'segment entity', 'segment entities')}")
        skipped = len(chosen) - min(len(chosen), max_entities)
        chosen = chosen[:max_entities]
    if len(chosen) == 1:
        if ax is None:
            from .figure import new_axes

            ax = new_axes(figsize=(6, 4.5))
        _draw_entity(ax, chosen[0], max_waveforms, compact=False)
        return [ax]
    ncols = math.ceil(math.sqrt(len(chosen)))
    nrows = math.ceil(len(chosen) / ncols)
    if ax is None:
        from .figure import new_axes

        ax = new_axes(figsize=(3.2 * ncols, 2.6 * nrows))
    ax.set_axis_off()
    panels = []
    gap = 0.06
    w = (1.0 - gap * (ncols - 1)) / ncols
    h = (1.0 - gap * 1.6 * (nrows - 1) - 0.05) / nrows
    for i, e in enumerate(chosen):
        r, c = divmod(i, ncols)
        panel = ax.inset_axes([c * (w + gap), 1.0 - 0.05 - (r + 1) * h - r * gap * 1.6, w, h])
        _draw_entity(panel, e, max_waveforms, compact=True)
        panels.append(panel)
    more = f"; {skipped} more not shown (choose with channels)" if skipped else ""
    ax.set_title(f"Segments (spike cut-outs, sweeps): {len(chosen)} entities, time in the segment in ms{more}",
                 fontsize=10, loc="left")
    return panels
