"""The electrodes table: one row per electrode channel and per spike source.

Rows carry the Neuroshare location (``rel_x``, ``rel_y``, ``rel_z``), the entity
label and every analog field that NWB has no column for (resolution, range,
units, location_user, probe text; the filter settings go into ``filtering``).
A spike source at the same position and with the same probe text as exactly
one electrode channel shares that channel's row.
"""

from __future__ import annotations

import math
from dataclasses import dataclass, field
from typing import Any

from pynwb import NWBFile
from pynwb.device import Device
from pynwb.ecephys import ElectrodeGroup

EXTRA_COLUMNS = {
    "label": "Neuroshare entity label",
    "entity_index": "Neuroshare entity index (for spike sources: the segment entity)",
    "source_index": "segment source index for spike sources, -1 for analog channels",
    "location_user": "Neuroshare dLocationUser (meaning defined by the recording system)",
    "probe_info": "Neuroshare szProbeInfo",
    "resolution": "Neuroshare dResolution: value of one count, in units",
    "min_value": "Neuroshare dMinVal, in units",
    "max_value": "Neuroshare dMaxVal, in units",
    "units": "Neuroshare szUnits as the library reports it",
    "sub_sample_shift": "Neuroshare dSubSampleShift of a spike source (0 for analog channels)",
}


@dataclass
class ElectrodeRows:
    """Rows of the electrodes table, by the entity (and source) they came from."""

    analog: dict[int, int] = field(default_factory=dict)
    sources: dict[tuple[int, int], int] = field(default_factory=dict)
    groups: dict[str, ElectrodeGroup] = field(default_factory=dict)
    _by_place: dict[tuple, list[int]] = field(default_factory=dict)
    count: int = 0


def filtering_text(info: Any) -> str:
    """The filter fields of an analog entity or segment source as one text."""
    return (f"high-pass corner {info.low_cut:g} Hz, order {info.low_order}, type '{info.low_filter_type}'; "
            f"low-pass corner {info.high_cut:g} Hz, order {info.high_order}, type '{info.high_filter_type}'")


def group_name(labels: list[str], fallback: str) -> str:
    """The stream or device name shared by the labels (their common first word)."""
    words = {label.split()[0] if label.split() else "" for label in labels}
    if len(words) == 1:
        word = words.pop().replace("/", "_")
        if word:
            return word
    return fallback


class ElectrodeTable:
    """Builds the electrodes table of one NWB file."""

    def __init__(self, nwbfile: NWBFile, device: Device, ecephys: dict[str, Any]) -> None:
        self.nwbfile = nwbfile
        self.device = device
        self.rows = ElectrodeRows()
        self._group_meta = {g["name"]: g for g in ecephys.get("ElectrodeGroup", [])}
        self._devices = {device.name: device}
        for meta in ecephys.get("Device", []):
            if meta["name"] not in self._devices:
                self._devices[meta["name"]] = nwbfile.create_device(**meta)
        self._locations: dict[str, str] = dict(ecephys.get("Electrodes", {}))

    def group(self, name: str, description: str) -> ElectrodeGroup:
        """The electrode group ``name``, made on first use (metadata may describe it)."""
        if name not in self.rows.groups:
            meta = self._group_meta.get(name, {})
            device = self._devices.get(meta.get("device", ""), self.device)
            self.rows.groups[name] = self.nwbfile.create_electrode_group(
                name=name, description=meta.get("description", description),
                location=meta.get("location", "unknown"), device=device)
        return self.rows.groups[name]

    def add_analog(self, entity: Any, group: ElectrodeGroup) -> int:
        """A row for an electrode channel; returns its index."""
        row = self._add(entity, entity.label, entity.index, -1, group, entity.units)
        self.rows.analog[entity.index] = row
        self.rows._by_place.setdefault(_place(entity), []).append(row)
        return row

    def add_source(self, segment: Any, source_index: int, source: Any, fallback_group: str) -> int:
        """The row of one spike source: a matching electrode channel's, or a new one."""
        key = (segment.index, source_index)
        if key in self.rows.sources:
            return self.rows.sources[key]
        same = self.rows._by_place.get(_place(source), [])
        if len(same) == 1 and _has_position(source):
            row = same[0]
        else:
            label = segment.label if segment.source_count == 1 else f"{segment.label} source {source_index}"
            name = group_name([segment.label], fallback_group)
            row = self._add(source, label, segment.index, source_index,
                            self.group(name, f"spike sources of {name}"), segment.units)
        self.rows.sources[key] = row
        return row

    def _add(self, info: Any, label: str, entity_index: int, source_index: int,
             group: ElectrodeGroup, units: str) -> int:
        if self.rows.count == 0:
            # Columns are made with the first row: a recording without electrodes gets no
            # (empty) electrodes table, which the DANDI checks would flag.
            for name, description in EXTRA_COLUMNS.items():
                self.nwbfile.add_electrode_column(name=name, description=description)
        location = self._locations.get(label) or group.location or "unknown"
        self.nwbfile.add_electrode(
            group=group, location=location, filtering=filtering_text(info),
            rel_x=_finite(info.location_x), rel_y=_finite(info.location_y), rel_z=_finite(info.location_z),
            label=label, entity_index=int(entity_index), source_index=int(source_index),
            location_user=_finite(info.location_user), probe_info=info.probe_info,
            resolution=_finite(info.resolution), min_value=_finite(info.min_value),
            max_value=_finite(info.max_value), units=units,
            sub_sample_shift=_finite(getattr(info, "sub_sample_shift", 0.0)))
        self.rows.count += 1
        return self.rows.count - 1


def _place(info: Any) -> tuple:
    return (info.location_x, info.location_y, info.location_z, info.location_user, info.probe_info)


def _has_position(info: Any) -> bool:
    return any(v != 0 for v in (info.location_x, info.location_y, info.location_z)) or bool(info.probe_info)


def _finite(value: float) -> float:
    value = float(value)
    return value if math.isfinite(value) else float("nan")
