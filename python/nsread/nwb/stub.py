"""The items of an entity that a stub (``--stub SECONDS``) keeps."""

from __future__ import annotations

from typing import Any


def items_before(entity: Any, seconds: float | None) -> int:
    """How many of the entity's items start before ``seconds`` (all when ``seconds`` is None).

    Item times never decrease, so a bisection over the entity's item times
    finds the count without reading any item's data.
    """
    n = int(entity.item_count)
    if seconds is None or n == 0:
        return n
    lo, hi = 0, n
    while lo < hi:
        mid = (lo + hi) // 2
        if entity.time_of(mid) < seconds:
            lo = mid + 1
        else:
            hi = mid
    return lo
