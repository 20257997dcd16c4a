"""Choosing entities: by selection string, by index, label or object, and by kind."""

from __future__ import annotations

from collections.abc import Iterable, Sequence
from typing import Any

from .. import AnalogEntity, EventEntity, NeuralEntity, NeuroshareError, SegmentEntity
from .channels import select_entities
from .errors import PlotError


def find_entity(rec: Any, item: Any) -> Any:
    """The entity ``item`` names: an entity itself, an entity index or a label."""
    if hasattr(item, "index") and hasattr(item, "label"):
        return item
    try:
        return rec.entity(item)
    except (NeuroshareError, LookupError, ValueError) as err:
        raise PlotError(f"the recording has no entity {item!r}") from err


def resolve(rec: Any, channels: str | Sequence[Any] | None) -> list[Any]:
    """The entities ``channels`` names, in the recording's order.

    ``None`` names every entity; a string is a ``--channels`` selection
    (:mod:`nsread.plot.channels`); a sequence holds entities, entity indexes
    or labels.
    """
    if channels is None or isinstance(channels, str):
        return select_entities(rec.entities, channels)
    found: dict[int, Any] = {}
    for item in channels:
        entity = find_entity(rec, item)
        found[entity.index] = entity
    if not found:
        raise PlotError("the channel list is empty")
    return [found[i] for i in sorted(found)]


def analog_entities(entities: Iterable[Any]) -> list[Any]:
    """The analog entities among ``entities``."""
    return [e for e in entities if isinstance(e, AnalogEntity)]


def segment_entities(entities: Iterable[Any]) -> list[Any]:
    """The segment entities (spike cut-outs, sweeps) among ``entities``."""
    return [e for e in entities if isinstance(e, SegmentEntity)]


def timed_entities(entities: Iterable[Any]) -> list[Any]:
    """The event and neural entities among ``entities``: what a raster shows."""
    return [e for e in entities if isinstance(e, (EventEntity, NeuralEntity))]
