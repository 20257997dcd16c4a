"""Conversion metadata: layout, clear messages naming the key, DANDI fields."""

from __future__ import annotations

import datetime as dt
import json
from pathlib import Path

import pytest

from nsread.nwb.metadata import MetadataError, load_metadata, missing_dandi_fields, parse_timezone

GOOD = """
NWBFile:
  session_description: two probes in CA1
  experimenter: [Doe, Jane]
  institution: Test Institute
  session_start_time: 2026-11-03T15:25:00+01:00
Subject:
  subject_id: m1
  species: Mus musculus
  sex: F
  age: P90D
Ecephys:
  Device: [{name: MEA, description: 60-electrode array}]
  ElectrodeGroup: [{name: elec0001, description: array, location: CA1, device: MEA}]
  Electrodes: {"elec0001 0012 0000       12": CA3}
timezone: Europe/Berlin
"""


def test_yaml_and_json_files_load_alike(tmp_path: Path) -> None:
    (tmp_path / "m.yaml").write_text(GOOD)
    meta = load_metadata(tmp_path / "m.yaml")
    assert meta["NWBFile"]["session_start_time"] == dt.datetime(2026, 11, 3, 14, 25, tzinfo=dt.timezone.utc)
    assert missing_dandi_fields(meta) == []
    (tmp_path / "m.json").write_text(json.dumps({**meta, "NWBFile": {"institution": "X"}}))
    assert load_metadata(tmp_path / "m.json")["Subject"]["age"] == "P90D"


@pytest.mark.parametrize("text, key", [
    ("NWBFile: {sesion_description: x}", "NWBFile.sesion_description"),
    ("Subject: {subject_id: 7}", "Subject.subject_id"),
    ("Subject: {age: 90 days}", "Subject.age"),
    ("Subject: {age: P}", "Subject.age"),
    ("Subject: {sex: female}", "Subject.sex"),
    ("NWBFile: {experimenter: [Doe, 3]}", "NWBFile.experimenter"),
    ("NWBFile: {session_start_time: 2026-11-03T15:25:00}", "NWBFile.session_start_time"),
    ("NWBFile: {session_id: a/b}", "NWBFile.session_id"),
    ("Ecephys: {ElectrodeGroup: [{name: g, device: nowhere}]}", "Ecephys.ElectrodeGroup[0].device"),
    ("Ecephys: {ElectrodeGroup: [{location: CA1}]}", "Ecephys.ElectrodeGroup[0].name"),
    ("Ecephys: {Electrodes: {e1: 3}}", "Ecephys.Electrodes.e1"),
    ("Ecephys: {Probes: []}", "Ecephys.Probes"),
    ("timezone: Mars/Olympus", "timezone"),
    ("Subjects: {}", "Subjects"),
    ("NWBFile: [a, b]", "NWBFile"),
])
def test_bad_metadata_names_the_key(tmp_path: Path, text: str, key: str) -> None:
    (tmp_path / "m.yaml").write_text(text)
    with pytest.raises(MetadataError) as err:
        load_metadata(tmp_path / "m.yaml")
    assert err.value.key == key and key in str(err.value)


def test_unreadable_or_malformed_files(tmp_path: Path) -> None:
    with pytest.raises(MetadataError, match="cannot be read"):
        load_metadata(tmp_path / "missing.yaml")
    (tmp_path / "m.json").write_text("{nope")
    with pytest.raises(MetadataError, match="not valid JSON"):
        load_metadata(tmp_path / "m.json")


def test_missing_dandi_fields() -> None:
    assert missing_dandi_fields(load_metadata(None)) == [
        "Subject.subject_id", "Subject.species", "Subject.sex", "Subject.age"]
    meta = load_metadata({"Subject": {"subject_id": "a", "species": "Rattus norvegicus", "sex": "M",
                                      "date_of_birth": "2026-01-01T00:00:00+00:00"}})
    assert missing_dandi_fields(meta) == []


def test_time_zones() -> None:
    assert parse_timezone("+01:30").utcoffset(None) == dt.timedelta(hours=1, minutes=30)
    assert parse_timezone("UTC") is dt.timezone.utc
    assert parse_timezone("Europe/Berlin").utcoffset(dt.datetime(2026, 7, 1)) == dt.timedelta(hours=2)
    with pytest.raises(MetadataError):
        parse_timezone("+25:00")
