"""Event entities (trigger words, digital edges, text events) as ``EventsTable`` objects.

Each entity becomes one table (pynwb's core ``EventsTable``, NWB 2.10 and newer)
with its times in ``timestamp`` and its values in ``value`` (numbers; one
row of words for events longer than one value) or in ``annotation`` (text and
CSV events). An entity without items gets no table (an empty table is
flagged by the DANDI checks); the file's notes name it.
"""

from __future__ import annotations

from typing import Any

import numpy as np
from hdmf.common import VectorData
from pynwb import NWBFile
from pynwb.event import EventsTable, TimestampVectorData

from .names import Names
from .stub import items_before

EVENT_TYPES = {0: "text", 1: "CSV", 2: "byte", 3: "word", 4: "double word"}


def add_event_entity(nwbfile: NWBFile, entity: Any, names: Names, stub: float | None,
                     time_resolution: float) -> EventsTable | None:
    """Write one event entity as an EventsTable and return it (None when it has no items)."""
    items = entity.read(0, items_before(entity, stub))
    times = np.asarray(items["time"], dtype=np.float64)
    values = items["value"]
    if not len(times):
        return None
    description = (
        f"Neuroshare event entity {entity.index} '{entity.label}': "
        f"{EVENT_TYPES.get(getattr(entity, 'event_type', -1), 'unknown')} events, "
        f"data length {getattr(entity, 'min_data_length', '?')} to {getattr(entity, 'max_data_length', '?')} bytes"
    )
    csv = getattr(entity, "csv_description", "")
    if csv:
        description += f"; CSV fields: {csv}"
    timestamp = TimestampVectorData(name="timestamp", description="event time in seconds from the session start",
                                    data=times, resolution=float(time_resolution) if time_resolution > 0 else -1.0)
    columns = [timestamp]
    if values.dtype.kind in "USO" or getattr(entity, "is_text", False):
        columns.append(VectorData(name="annotation", description="text of the event as the library returns it",
                                  data=[str(v) for v in values]))
    else:
        columns.append(VectorData(name="value", description="value of the event as the library returns it",
                                  data=np.asarray(values)))
    table = EventsTable(name=names.take(entity.label), description=description,
                        source_description="acquisition system", columns=columns)
    nwbfile.add_events_table(table)
    return table
