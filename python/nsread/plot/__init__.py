"""Looking at a recording: overview, traces, spike cut-outs and events as matplotlib figures.

Each function draws into the axes it is given (or a new pyplot figure) and
returns the matplotlib objects it drew, so notebooks can arrange them::

    import nsread
    from nsread import plot

    with nsread.open("rec.qrd") as rec:
        plot.overview(rec)                  # every analog channel, min/max envelope
        plot.array_grid(rec)                # the same on the electrode array
        plot.traces(rec, 1.0, 1.5)          # a window, stacked, with a scale bar
        plot.spikes(rec)                    # cut-outs by unit, with their means
        plot.events(rec)                    # raster of events and spike trains
        fig = plot.recording_figure(rec)    # all four parts in one figure
        plot.save_figure(fig, "rec.png")    # written under a temporary name, then renamed

Without a display matplotlib's Agg backend is used.  Input that cannot be
drawn raises :class:`PlotError`.
"""

from __future__ import annotations

from .envelope import ChannelEnvelope, envelopes
from .errors import PlotError
from .events import events
from .figure import recording_figure, save_figure, use_agg_without_display
from .overview import array_grid, overview
from .spikes import spikes
from .traces import traces

use_agg_without_display()

__all__ = [
    "ChannelEnvelope",
    "PlotError",
    "array_grid",
    "envelopes",
    "events",
    "overview",
    "recording_figure",
    "save_figure",
    "spikes",
    "traces",
]
