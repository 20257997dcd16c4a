"""Small parts of the plots: the --channels selection (indexes, ranges, label patterns) and scale bar labels."""

from __future__ import annotations

from dataclasses import dataclass

import pytest

from nsread.plot.channels import select_entities
from nsread.plot.errors import PlotError


@dataclass
class Named:
    index: int
    label: str


# Labels as the libraries write them: QRD pads words with spaces and ends with the electrode name.
ENTITIES = [
    Named(0, "elec0001 0012 0000       12"),
    Named(1, "elec0001 0013 0001       13"),
    Named(2, "anlg0001 0001 0000       A1"),
    Named(3, "spks0001 0012 0000       12"),
    Named(4, "Analog 1"),
]


def indexes(selection: str | None) -> list[int]:
    return [e.index for e in select_entities(ENTITIES, selection)]


@pytest.mark.parametrize(
    ("selection", "expected"),
    [
        (None, [0, 1, 2, 3, 4]),
        ("", [0, 1, 2, 3, 4]),
        ("3", [3]),
        ("1-3", [1, 2, 3]),
        ("4,0", [0, 4]),                     # the recording's order, not the selection's
        ("0-2,1", [0, 1, 2]),                # overlaps count once
        ("*12", [0, 3]),                     # the last word of QRD labels: analog and spikes of electrode 12
        ("A1", [2]),
        ("elec*", [0, 1]),
        ("Analog 1", [4]),                   # a whole label with a space in it
    ],
)
def test_selection_picks_the_named_entities(selection: str | None, expected: list[int]) -> None:
    assert indexes(selection) == expected


def test_items_with_spaces_around_them() -> None:
    assert indexes(" 0 , 2 - 3 ") == [0, 2, 3]


@pytest.mark.parametrize(
    ("selection", "words"),
    [
        ("7", "entity 7 does not exist"),
        ("2-9", "entity 9 does not exist"),
        ("3-1", "runs backwards"),
        ("zz*", "names no entity"),
        ("0,,1", "empty item"),
        ("elec*,nothing", "'nothing' names no entity"),
    ],
)
def test_selection_that_names_no_channel_says_why(selection: str, words: str) -> None:
    with pytest.raises(PlotError, match=words):
        select_entities(ENTITIES, selection)


@pytest.mark.parametrize(
    ("value", "units", "text"),
    [(50e-6, "V", "50 µV"), (208.013e-6, "V", "208 µV"), (0.5, "Volts", "500 mV"), (2.0, "raw", "2 raw"),
     (1.0, "V", "1 V"), (1500.0, "V", "1.5 kV"), (3.0, "", "3")],
)
def test_scale_bar_labels(value, units, text):
    from nsread.plot.style import format_quantity

    assert format_quantity(value, units) == text


@pytest.mark.parametrize(("limit", "length"), [(0.9, 0.5), (1.0, 1.0), (3.7e-5, 2e-5), (499.0, 200.0), (7.0, 5.0)])
def test_scale_bars_have_round_lengths_that_fit(limit, length):
    from nsread.plot.style import nice_length

    assert nice_length(limit) == pytest.approx(length)
