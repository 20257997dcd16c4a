"""The ``--channels`` selection: which entities a plot draws.

A selection is a comma-separated list of items, each one of

``N``
    the entity with index ``N`` (the numbering of ``nsread info`` and
    ``nsdump``);
``N-M``
    the entities ``N`` to ``M``, both included;
anything else
    a label pattern in shell style (``*``, ``?``, ``[...]``), matched against
    the whole label and against the label's last word.  QRD labels end with
    the electrode name, so ``12`` would be an index but ``*12`` picks the
    analog channel and the spike cut-outs of electrode 12, and ``A1`` the
    analog input A1.

Items may repeat or overlap; the result keeps the recording's entity order.
"""

from __future__ import annotations

import fnmatch
import re
from collections.abc import Sequence
from typing import Any

from .errors import PlotError

_RANGE = re.compile(r"^(\d+)\s*-\s*(\d+)$")


def _label_matches(pattern: str, label: str) -> bool:
    label = label.strip()
    words = label.split()
    last = words[-1] if words else ""
    return fnmatch.fnmatchcase(label, pattern) or fnmatch.fnmatchcase(last, pattern)


def select_entities(entities: Sequence[Any], selection: str | None) -> list[Any]:
    """Return the entities that ``selection`` names, in the recording's order.

    Parameters
    ----------
    entities
        Every entity of the recording (``Recording.entities``).
    selection
        The selection (see the module documentation); ``None`` or an empty
        string selects every entity.

    Raises
    ------
    PlotError
        An index beyond the recording, a reversed range, an empty item, or a
        selection that names no entity at all.
    """
    if selection is None or not selection.strip():
        return list(entities)
    count = len(entities)
    chosen: set[int] = set()
    for raw in selection.split(","):
        item = raw.strip()
        if not item:
            raise PlotError(f"channel selection {selection!r} has an empty item")
        if item.isdigit():
            first = last = int(item)
        elif (m := _RANGE.match(item)) is not None:
            first, last = int(m.group(1)), int(m.group(2))
            if last < first:
                raise PlotError(f"channel range {item!r} runs backwards")
        else:
            hits = {i for i, e in enumerate(entities) if _label_matches(item, e.label)}
            if not hits:
                raise PlotError(f"channel selection item {item!r} names no entity")
            chosen |= hits
            continue
        if last >= count:
            raise PlotError(f"entity {last} does not exist: the recording has entities 0 to {count - 1}")
        chosen.update(range(first, last + 1))
    return [entities[i] for i in sorted(chosen)]
