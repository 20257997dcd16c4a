"""The ctypes records match include/nsapi/nsapi.h byte for byte: a C program
compiled against the header prints the size of every record and the offset
and size of every field, and each is compared with the ctypes structure."""

from __future__ import annotations

import ctypes
import shutil
import subprocess
from pathlib import Path

import pytest

from nsread import _records as R

REPO = Path(__file__).resolve().parents[2]


def _c_program() -> str:
    lines = ["#include <stdio.h>", "#include <stddef.h>", "#include <nsapi/nsapi.h>", "int main(void) {"]
    for rec in R.ALL_RECORDS:
        name = rec.__name__
        lines.append(f'  printf("{name} %zu\\n", sizeof({name}));')
        for field, _ in rec._fields_:
            lines.append(
                f'  printf("{name}.{field} %zu %zu\\n", offsetof({name}, {field}), sizeof((({name} *)0)->{field}));'
            )
    lines += ["  return 0;", "}"]
    return "\n".join(lines) + "\n"


@pytest.fixture(scope="module")
def c_layout(tmp_path_factory) -> dict[str, tuple[int, ...]]:
    cc = shutil.which("cc") or shutil.which("gcc") or shutil.which("clang")
    if cc is None:
        pytest.skip("no C compiler")
    folder = tmp_path_factory.mktemp("records")
    (folder / "layout.c").write_text(_c_program())
    exe = folder / "layout"
    subprocess.run([cc, "-std=c11", "-Wall", "-Werror", "-I", str(REPO / "include"), "-o", str(exe),
                    str(folder / "layout.c")], check=True)
    out = subprocess.run([str(exe)], check=True, capture_output=True, text=True).stdout
    return {key: tuple(int(v) for v in rest) for key, *rest in (line.split() for line in out.splitlines())}


@pytest.mark.parametrize("record", R.ALL_RECORDS, ids=lambda r: r.__name__)
def test_record_layout_matches_header(record, c_layout):
    name = record.__name__
    assert ctypes.sizeof(record) == c_layout[name][0]
    for field, _ in record._fields_:
        descriptor = getattr(record, field)
        assert (descriptor.offset, descriptor.size) == c_layout[f"{name}.{field}"], f"{name}.{field}"


def _header_fields() -> dict[str, list[str]]:
    """Field names of every record in nsapi.h, in declaration order."""
    import re

    text = (REPO / "include" / "nsapi" / "nsapi.h").read_text()
    records = {}
    for body, name in re.findall(r"typedef struct \{(.*?)\}\s*(\w+);", text, re.S):
        records[name] = re.findall(r"(\w+)(?:\[\w+\])?;", body)
    return records


def test_every_header_field_is_mirrored_in_order(c_layout):
    header = _header_fields()
    for rec in R.ALL_RECORDS:
        assert [f for f, _ in rec._fields_] == header[rec.__name__], rec.__name__
    # the packed layout: doubles after a 32-bit field are not moved to 8 bytes
    assert c_layout["ns_FILEINFO"] == (404,)
    assert c_layout["ns_ANALOGINFO.dHighFreqCorner"] == (80, 8)
    assert c_layout["ns_SEGMENTINFO.dSampleRate"] == (12, 8)
