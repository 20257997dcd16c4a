"""Shared drawing helpers: stacked rows, value scales, scale bars, units."""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import Any

import numpy as np
from matplotlib import transforms
from matplotlib.axes import Axes

#: Rows labelled at most; more rows get every second (third ...) label.
MAX_ROW_LABELS = 64

#: Colour of traces and envelopes.
TRACE_COLOUR = "#1f3b73"

_PREFIXES = [(1e-12, "p"), (1e-9, "n"), (1e-6, "µ"), (1e-3, "m"), (1.0, ""), (1e3, "k"), (1e6, "M")]
_LONG_UNITS = {"volts": "V", "volt": "V", "amps": "A", "amperes": "A", "amp": "A"}


def short_units(units: str) -> str:
    """The SI symbol for a unit name a library spells out ("Volts" -> "V")."""
    text = units.strip()
    return _LONG_UNITS.get(text.lower(), text)


def _prefixable(units: str) -> bool:
    return short_units(units) in ("V", "A")


def format_quantity(value: float, units: str) -> str:
    """``value`` with an SI prefix where the units take one (50e-6 V -> "50 µV")."""
    symbol = short_units(units)
    if not _prefixable(units) or value == 0:
        return f"{value:.3g} {symbol}".strip()
    for factor, prefix in reversed(_PREFIXES):
        if abs(value) >= factor * 0.999:
            return f"{value / factor:.3g} {prefix}{symbol}"
    factor, prefix = _PREFIXES[0]
    return f"{value / factor:.3g} {prefix}{symbol}"


def nice_length(limit: float) -> float:
    """The largest 1, 2 or 5 times a power of ten not above ``limit``."""
    if not math.isfinite(limit) or limit <= 0:
        return 1.0
    exponent = math.floor(math.log10(limit))
    for mantissa in (5.0, 2.0, 1.0):
        value = mantissa * 10.0**exponent
        if value <= limit * (1 + 1e-9):
            return value
    return 10.0**exponent


def robust_span(values: Sequence[np.ndarray]) -> float:
    """Peak-to-peak of a set of arrays, ignoring the outer 0.1 % at each end.

    Rows are scaled by this so that one artefact does not flatten a channel.
    """
    parts = [np.asarray(v, dtype=np.float64).ravel() for v in values]
    parts = [p[np.isfinite(p)] for p in parts if p.size]
    if not parts:
        return 0.0
    data = np.concatenate(parts)
    if data.size == 0:
        return 0.0
    lo, hi = np.percentile(data, [0.1, 99.9])
    span = float(hi - lo)
    if span <= 0:
        span = float(np.max(data) - np.min(data))
    return span


def row_transform(ax: Axes, offset: float, gain: float, centre: float = 0.0) -> transforms.Transform:
    """A data transform that draws value ``y`` in row ``offset``, ``gain`` rows per unit above it.

    Rows are counted from the top (the y axis points down, see
    :func:`label_rows`), so larger values are drawn higher.  Artists drawn
    through it keep the channel's own values as their data, so what a figure
    holds is exactly what was read.
    """
    return transforms.Affine2D().translate(0.0, -centre).scale(1.0, -gain).translate(0.0, offset) + ax.transData


def draw_scale_bar(ax: Axes, length_rows: float, text: str, *, x: float = 1.005, y0: float | None = None) -> Any:
    """A vertical bar ``length_rows`` rows high just right of the axes, with its label.

    ``y0`` is the row where the bar starts (its lower end); by default the
    bottom row.
    """
    blend = transforms.blended_transform_factory(ax.transAxes, ax.transData)
    if y0 is None:
        y0 = max(ax.get_ylim()) - 0.4
    (bar,) = ax.plot([x, x], [y0, y0 - length_rows], color="black", lw=2.5, transform=blend, clip_on=False,
                     solid_capstyle="butt", gid="scale bar")
    ax.text(x + 0.006, y0 - length_rows / 2, text, transform=blend, va="center", ha="left", fontsize=8,
            rotation=90, clip_on=False)
    return bar


def stack_gains(channels: Sequence[Any], spans: Sequence[float], rows_per_span: float = 0.9) -> dict[str, float]:
    """One gain per unit: the widest channel of each unit fills ``rows_per_span`` rows.

    Channels of one unit share a gain, so their traces compare directly and
    one scale bar serves them all.
    """
    widest: dict[str, float] = {}
    for entity, span in zip(channels, spans, strict=True):
        units = short_units(str(entity.units))
        widest[units] = max(widest.get(units, 0.0), span)
    return {u: (rows_per_span / s if s > 0 else 1.0) for u, s in widest.items()}


def label_rows(ax: Axes, labels: Sequence[str], *, fontsize: float = 8, min_rows: int = 1) -> None:
    """Row ``i`` (from the top) labelled ``labels[i]``; y grows downwards.

    The axes hold at least ``min_rows`` rows, so a single row is not
    stretched over the whole height.  Beyond :data:`MAX_ROW_LABELS` rows
    only every few rows are labelled, so labels never overlap.
    """
    n = len(labels)
    every = max(1, -(-n // MAX_ROW_LABELS))  # more rows than fit a label each: label every few
    ax.set_yticks(range(0, n, every))
    ax.set_yticklabels(labels[::every], fontsize=fontsize)
    ax.set_ylim(max(n, min_rows) - 0.4, -0.6)
    ax.tick_params(axis="y", length=0)
    for side in ("top", "right", "left"):
        ax.spines[side].set_visible(False)


def short_label(label: str) -> str:
    """A label without the padding libraries put between its words."""
    return " ".join(str(label).split())


def message(ax: Axes, text: str) -> None:
    """Fill an axes that has nothing to draw with a line saying why."""
    ax.text(0.5, 0.5, text, transform=ax.transAxes, ha="center", va="center", fontsize=10, color="0.35",
            wrap=True)
    ax.set_axis_off()


def value_formatter(units: str) -> Any:
    """A tick formatter that writes values with an SI prefix (40 µV) where the units take one."""
    from matplotlib.ticker import EngFormatter, ScalarFormatter

    if _prefixable(units):
        return EngFormatter(unit=short_units(units), sep=" ")
    return ScalarFormatter()


def plural(count: int, word: str, many: str | None = None) -> str:
    """``"1 channel"``, ``"3 channels"``."""
    return f"{count} {word if count == 1 else (many or word + 's')}"


def all_empty(entities: list[Any], word: str, many: str) -> str:
    """Says that ``entities`` are all empty, naming the entity when there is one."""
    if len(entities) == 1:
        e = entities[0]
        return f"entity {e.index} ({short_label(e.label)}) is empty: it has no items"
    return f"the {plural(len(entities), word, many)} chosen are all empty"
