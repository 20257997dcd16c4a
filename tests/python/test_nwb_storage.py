"""Storage type choice: int16 only where every value comes back exactly."""

from __future__ import annotations

import numpy as np
import pytest

from nsread.nwb.storage import ChannelScale, LossyStorage, plan_storage, wider

UV = 1e-7  # a qrdshare electrode resolution: volts per count


def _counts(n: int, low: int = -32768, high: int = 32767, seed: int = 1) -> np.ndarray:
    return np.random.default_rng(seed).integers(low, high + 1, size=n).astype(np.float64)


def test_physical_values_on_the_resolution_grid_store_as_int16_exactly() -> None:
    values = np.stack([_counts(5000) * UV, _counts(5000, seed=2) * UV], axis=1)
    plan = plan_storage([ChannelScale(UV, 1.0, -32768 * UV, 32768 * UV)] * 2)
    stored = plan.encode(values)
    assert stored.dtype == np.int16 and plan.channel_conversion is None and plan.offset == 0
    assert np.array_equal(plan.decode(stored), values)


def test_raw_counts_store_as_int16_with_the_resolution_as_conversion() -> None:
    res = 5 / 32767
    counts = _counts(1000)[:, None]
    plan = plan_storage([ChannelScale(1.0, res, -32768, 32767)])
    stored = plan.encode(counts)
    assert plan.conversion == res
    assert np.array_equal(stored, counts.astype(np.int16))
    assert np.array_equal(plan.decode(stored), counts * res)


def test_unsigned_range_gets_an_offset() -> None:
    words = _counts(1000, 0, 65535)[:, None]          # a digital channel: 0..65535, resolution 1
    plan = plan_storage([ChannelScale(1.0, 1.0, 0.0, 65536.0)])
    stored = plan.encode(words)
    assert stored.dtype == np.int16 and plan.offset == 32768
    assert np.array_equal(plan.decode(stored), words)


def test_channels_of_different_resolution_use_channel_conversion() -> None:
    values = np.stack([_counts(100) * UV, _counts(100) * 2e-6], axis=1)
    plan = plan_storage([ChannelScale(UV, 1.0, -32768 * UV, 32767 * UV),
                         ChannelScale(2e-6, 1.0, -32768 * 2e-6, 32767 * 2e-6)])
    assert plan.conversion == 1.0 and plan.channel_conversion == (UV, 2e-6)
    assert np.array_equal(plan.decode(plan.encode(values)), values)


@pytest.mark.parametrize("bad", [0.5, 40000.0, np.nan])
def test_values_off_the_grid_or_out_of_range_are_refused(bad: float) -> None:
    values = _counts(50)[:, None] * UV
    values[17, 0] = bad * UV
    plan = plan_storage([ChannelScale(UV, 1.0, -32768 * UV, 32768 * UV)])
    with pytest.raises(LossyStorage):
        plan.encode(values)


def test_the_ladder_ends_in_a_type_that_holds_the_values() -> None:
    values = np.array([[0.1], [1 / 3], [2.5]])
    dtype = None
    while True:
        plan = plan_storage([ChannelScale(UV, 1.0, -1, 1)], dtype)
        try:
            stored = plan.encode(values)
            break
        except LossyStorage:
            dtype = wider(plan.dtype)
    assert stored.dtype == np.float64                    # 0.1 and 1/3 are not float32 values
    assert np.array_equal(plan.decode(stored), values)
    halves = np.array([[0.5], [-2.25]])
    assert plan_storage([ChannelScale(UV, 1.0, -1, 1)], "float32").encode(halves).dtype == np.float32
    assert wider("float64") is None


def test_int16_needs_a_known_resolution_and_a_range_that_fits() -> None:
    assert plan_storage([ChannelScale(0.0, 1.0, -1, 1)]).dtype == "float32"
    assert plan_storage([ChannelScale(UV, 1.0, -1, 1)]).dtype == "float32"    # +-10 million counts
