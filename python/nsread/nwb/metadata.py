"""Conversion metadata: loading, checking and the DANDI fields still missing.

The file is YAML or JSON with the layout NeuroConv users know::

    NWBFile:   {session_description, experimenter, institution, lab, session_id, ...}
    Subject:   {subject_id, species, sex, age, ...}
    Ecephys:   {Device: [...], ElectrodeGroup: [...], Electrodes: {label: location}}
    timezone:  Europe/Berlin        # only used when the recording's zone is unknown

Keys are pynwb's argument names. Every problem raises :class:`MetadataError`
naming the key, before anything is written.
"""

from __future__ import annotations

import copy
import datetime as dt
import json
import re
import uuid
from pathlib import Path
from typing import Any
from zoneinfo import ZoneInfo, ZoneInfoNotFoundError

import yaml


class MetadataError(ValueError):
    """Metadata that cannot be used; ``key`` names the offending entry."""

    def __init__(self, key: str, message: str) -> None:
        super().__init__(f"metadata {key}: {message}")
        self.key = key


_TEXT = (str,)
_TEXT_OR_LIST = (str, list)

#: Accepted NWBFile keys and their types (pynwb argument names).
NWBFILE_KEYS: dict[str, tuple[type, ...]] = {
    "session_description": _TEXT,
    "identifier": _TEXT,
    "session_start_time": (str, dt.datetime),
    "experimenter": _TEXT_OR_LIST,
    "experiment_description": _TEXT,
    "session_id": _TEXT,
    "institution": _TEXT,
    "lab": _TEXT,
    "keywords": (list,),
    "related_publications": _TEXT_OR_LIST,
    "notes": _TEXT,
    "pharmacology": _TEXT,
    "protocol": _TEXT,
    "surgery": _TEXT,
    "virus": _TEXT,
    "stimulus_notes": _TEXT,
    "data_collection": _TEXT,
    "source_script": _TEXT,
}

SUBJECT_KEYS: dict[str, tuple[type, ...]] = {
    "subject_id": _TEXT,
    "species": _TEXT,
    "sex": _TEXT,
    "age": _TEXT,
    "age__reference": _TEXT,
    "date_of_birth": (str, dt.datetime, dt.date),
    "description": _TEXT,
    "genotype": _TEXT,
    "strain": _TEXT,
    "weight": _TEXT,
}

DEVICE_KEYS = {"name": _TEXT, "description": _TEXT, "manufacturer": _TEXT}
GROUP_KEYS = {"name": _TEXT, "description": _TEXT, "location": _TEXT, "device": _TEXT}
TOP_KEYS = {"NWBFile", "Subject", "Ecephys", "timezone"}
ECEPHYS_KEYS = {"Device", "ElectrodeGroup", "Electrodes"}
SEXES = {"M", "F", "U", "O"}

# ISO 8601 duration (P1Y2M3DT4H5M6S, P12W), optionally a range "P90D/P100D".
_NUM = r"\d+(\.\d+)?"
_DURATION = (rf"P(?!$)({_NUM}Y)?({_NUM}M)?({_NUM}W)?({_NUM}D)?"
             rf"(T(?=\d)({_NUM}H)?({_NUM}M)?({_NUM}S)?)?")
_AGE = re.compile(rf"^{_DURATION}(/{_DURATION})?$")
_OFFSET = re.compile(r"^(UTC)?([+-])(\d{2}):?(\d{2})$")


def load_metadata(source: str | Path | dict[str, Any] | None) -> dict[str, Any]:
    """Read and check conversion metadata.

    Parameters
    ----------
    source:
        A path to a ``.yaml``/``.yml``/``.json`` file, a mapping of the same
        layout, or None for no metadata.

    Returns
    -------
    dict
        A checked copy with the four top-level sections present.

    Raises
    ------
    MetadataError
        For an unreadable file, an unknown key, a wrong type or a bad value.
    """
    if source is None:
        data: Any = {}
    elif isinstance(source, dict):
        data = copy.deepcopy(source)
    else:
        data = _read_file(Path(source))
    if data is None:
        data = {}
    if not isinstance(data, dict):
        raise MetadataError("(top level)",
                            "must be a mapping of NWBFile, Subject, Ecephys and timezone")
    _check_keys(data, TOP_KEYS, "")
    nwbfile = _section(data, "NWBFile")
    subject = _section(data, "Subject")
    ecephys = _section(data, "Ecephys")
    _check_typed(nwbfile, NWBFILE_KEYS, "NWBFile")
    _check_typed(subject, SUBJECT_KEYS, "Subject")
    _check_ecephys(ecephys)
    if "experimenter" in nwbfile and isinstance(nwbfile["experimenter"], list):
        _check_text_list(nwbfile["experimenter"], "NWBFile.experimenter")
    if "keywords" in nwbfile:
        _check_text_list(nwbfile["keywords"], "NWBFile.keywords")
    if "related_publications" in nwbfile and isinstance(nwbfile["related_publications"], list):
        _check_text_list(nwbfile["related_publications"], "NWBFile.related_publications")
    if "identifier" in nwbfile and not nwbfile["identifier"].strip():
        raise MetadataError("NWBFile.identifier", "must not be empty")
    if "session_id" in nwbfile and "/" in nwbfile["session_id"]:
        raise MetadataError("NWBFile.session_id", "must not contain '/'")
    if "session_start_time" in nwbfile:
        nwbfile["session_start_time"] = _parse_datetime(
            nwbfile["session_start_time"], "NWBFile.session_start_time"
        )
    if "age" in subject and not _AGE.match(subject["age"]):
        raise MetadataError(
            "Subject.age", f"{subject['age']!r} is not an ISO 8601 duration such as P90D or P3Y2M"
        )
    if "age__reference" in subject and subject["age__reference"] not in ("birth", "gestational"):
        raise MetadataError("Subject.age__reference", "must be 'birth' or 'gestational'")
    if "sex" in subject and subject["sex"] not in SEXES:
        raise MetadataError("Subject.sex", f"{subject['sex']!r} is not one of M, F, U, O")
    if "subject_id" in subject and "/" in subject["subject_id"]:
        raise MetadataError("Subject.subject_id", "must not contain '/'")
    if "date_of_birth" in subject:
        subject["date_of_birth"] = _parse_datetime(subject["date_of_birth"], "Subject.date_of_birth")
    if "timezone" in data:
        if not isinstance(data["timezone"], str):
            raise MetadataError("timezone", "must be a text such as 'Europe/Berlin' or '+01:00'")
        parse_timezone(data["timezone"])
    return data


def parse_timezone(text: str) -> dt.tzinfo:
    """A time zone from an IANA name (``Europe/Berlin``), ``UTC`` or an offset (``+01:00``)."""
    if text.upper() in ("UTC", "Z"):
        return dt.timezone.utc
    m = _OFFSET.match(text.strip())
    if m:
        sign = 1 if m.group(2) == "+" else -1
        hours, minutes = int(m.group(3)), int(m.group(4))
        if hours > 23 or minutes > 59:
            raise MetadataError("timezone", f"{text!r} is not a valid UTC offset")
        return dt.timezone(sign * dt.timedelta(hours=hours, minutes=minutes))
    try:
        return ZoneInfo(text)
    except (ZoneInfoNotFoundError, ValueError) as exc:
        raise MetadataError("timezone", f"{text!r} is not a known time zone") from exc


def missing_dandi_fields(metadata: dict[str, Any]) -> list[str]:
    """The fields DANDI requires that the metadata does not give."""
    subject = metadata.get("Subject", {})
    missing = [f"Subject.{key}" for key in ("subject_id", "species", "sex") if not subject.get(key)]
    if not subject.get("age") and not subject.get("date_of_birth"):
        missing.append("Subject.age")
    return missing


def new_identifier(metadata: dict[str, Any]) -> str:
    """The file identifier: the metadata's, else a new UUID."""
    return metadata.get("NWBFile", {}).get("identifier") or str(uuid.uuid4())


def _read_file(path: Path) -> Any:
    try:
        text = path.read_text(encoding="utf-8")
    except OSError as exc:
        raise MetadataError(str(path), f"cannot be read: {exc.strerror or exc}") from exc
    except UnicodeDecodeError as exc:
        raise MetadataError(str(path), "is not UTF-8 text") from exc
    try:
        if path.suffix.lower() == ".json":
            return json.loads(text)
        return yaml.safe_load(text)
    except (json.JSONDecodeError, yaml.YAMLError) as exc:
        kind = "JSON" if path.suffix.lower() == ".json" else "YAML"
        raise MetadataError(str(path), f"is not valid {kind}: {exc}") from exc


def _section(data: dict[str, Any], name: str) -> dict[str, Any]:
    value = data.get(name)
    if value is None:
        data[name] = {}
        return data[name]
    if not isinstance(value, dict):
        raise MetadataError(name, f"must be a mapping, not {type(value).__name__}")
    return value


def _check_keys(section: dict[str, Any], allowed: set[str] | dict[str, Any], where: str) -> None:
    for key in section:
        if key not in allowed:
            name = f"{where}.{key}" if where else str(key)
            raise MetadataError(name, f"unknown key; expected one of {', '.join(sorted(allowed))}")


def _check_typed(section: dict[str, Any], types: dict[str, tuple[type, ...]], where: str) -> None:
    _check_keys(section, types, where)
    for key, value in section.items():
        if not isinstance(value, types[key]) or isinstance(value, bool):
            expected = " or ".join(_type_name(t) for t in types[key])
            raise MetadataError(f"{where}.{key}", f"must be {expected}, not {_type_name(type(value))}")


def _check_text_list(values: list[Any], key: str) -> None:
    for value in values:
        if not isinstance(value, str):
            raise MetadataError(key, f"must be a list of texts, found {_type_name(type(value))}")


def _check_ecephys(ecephys: dict[str, Any]) -> None:
    _check_keys(ecephys, ECEPHYS_KEYS, "Ecephys")
    for name, keys in (("Device", DEVICE_KEYS), ("ElectrodeGroup", GROUP_KEYS)):
        entries = ecephys.get(name, [])
        if not isinstance(entries, list):
            raise MetadataError(f"Ecephys.{name}", "must be a list of mappings")
        for i, entry in enumerate(entries):
            where = f"Ecephys.{name}[{i}]"
            if not isinstance(entry, dict):
                raise MetadataError(where, "must be a mapping")
            _check_typed(entry, keys, where)
            if "name" not in entry:
                raise MetadataError(f"{where}.name", "is required")
    devices = {d["name"] for d in ecephys.get("Device", [])}
    for i, group in enumerate(ecephys.get("ElectrodeGroup", [])):
        if "device" in group and group["device"] not in devices:
            raise MetadataError(
                f"Ecephys.ElectrodeGroup[{i}].device", f"names no device of Ecephys.Device: {group['device']!r}"
            )
    electrodes = ecephys.get("Electrodes", {})
    if not isinstance(electrodes, dict):
        raise MetadataError("Ecephys.Electrodes", "must map entity labels to locations")
    for label, location in electrodes.items():
        if not isinstance(location, str):
            raise MetadataError(f"Ecephys.Electrodes.{label}",
                                f"must be a location text, not {_type_name(type(location))}")


def _parse_datetime(value: Any, key: str) -> dt.datetime:
    if isinstance(value, dt.datetime):
        result = value
    elif isinstance(value, dt.date):
        result = dt.datetime(value.year, value.month, value.day)
    else:
        try:
            result = dt.datetime.fromisoformat(value)
        except ValueError as exc:
            raise MetadataError(key, f"{value!r} is not an ISO 8601 date and time") from exc
    if result.tzinfo is None:
        raise MetadataError(key, "needs a time zone, e.g. 2024-05-01T10:00:00+02:00")
    return result


def _type_name(t: type) -> str:
    return {str: "a text", list: "a list", dict: "a mapping", int: "a number", float: "a number",
            bool: "true/false", dt.datetime: "a date and time", dt.date: "a date"}.get(t, t.__name__)
