"""Signal blocks: numpy slicing, out=, workers, dask (threads, processes,
distributed) and pickling, each checked against plain entity reads."""

from __future__ import annotations

import pickle

import numpy as np
import pytest

import nsread


@pytest.fixture(scope="module")
def mea(continuous_qrd):
    with nsread.open(continuous_qrd) as rec:
        block = rec.blocks()[0]
        expected = np.column_stack([e.read() for e in block.entities])
        yield rec, block, expected


def test_blocks_group_by_rate_length_and_units(continuous_qrd, version4_qrd, map_sample):
    with nsread.open(continuous_qrd) as rec:
        blocks = rec.blocks()
        assert [b.shape for b in blocks] == [(75000, 60), (75000, 1)]
        assert blocks[1].channel_labels == [rec.entity(60).label]
        assert blocks[0].sample_rate == 25000 and blocks[0].dtype == np.float64 and blocks[0].ndim == 2
        assert len(blocks[0]) == 75000
    with nsread.open(version4_qrd) as rec:
        assert [b.shape for b in rec.blocks()] == [(20000, 6)]
    with nsread.open(map_sample) as rec:
        # the two continuous channels differ in length: one block each
        assert [b.shape for b in rec.blocks()] == [(2000, 1), (208, 1)]


@pytest.mark.parametrize("key", [
    (slice(25_000, 50_000), [0, 5, 7]),
    (slice(None), 3),
    7,
    (slice(100, 10, -7), slice(1, 9, 2)),
    (Ellipsis, [59, 0]),
    (-1, -1),
    (slice(74_990, None, 3), slice(None, None, -1)),
    (slice(5, 5),),
    (slice(10, 20), np.array([True] * 30 + [False] * 30)),
])
def test_slicing_equals_entity_reads(mea, key):
    _, block, expected = mea
    got = block[key]
    want = expected[key]
    assert got.shape == want.shape
    np.testing.assert_array_equal(got, want)


def test_asarray_out_and_workers(mea):
    _, block, expected = mea
    np.testing.assert_array_equal(np.asarray(block), expected)
    out_f = np.empty((1000, 3), order="F")
    assert block.read(2000, 3000, [4, 2, 9], out=out_f) is out_f
    np.testing.assert_array_equal(out_f, expected[2000:3000, [4, 2, 9]])
    out_c = np.full((70_000, 2), np.nan)  # C order: through the bounded buffer
    block.read(1000, 71_000, [1, 0], out=out_c)
    np.testing.assert_array_equal(out_c, expected[1000:71_000, [1, 0]])
    np.testing.assert_array_equal(block.read(0, 500, workers=2), expected[:500])
    # large enough for the thread pool: each worker reads a stretch through a handle of its own
    np.testing.assert_array_equal(block.read(workers=2), expected)
    out_c = np.full((60_001, 3), np.nan)
    block.read(7, 60_008, [5, 59, 0], out=out_c, workers=3)
    np.testing.assert_array_equal(out_c, expected[7:60_008, [5, 59, 0]])
    np.testing.assert_array_equal(block.read(10, 20, slice(0, 60, 7), workers=4), expected[10:20, ::7])
    with pytest.raises(ValueError):
        block.read(0, 10, [0], out=np.empty((10, 2)))
    with pytest.raises(IndexError):
        block[0:10, 60]
    with pytest.raises(nsread.NeuroshareError):
        block.read(10, 5)


def test_times_of_a_block(mea):
    _, block, _ = mea
    t = block.times(100, 110)
    np.testing.assert_allclose(t, [block.entities[0].time_of(i) for i in range(100, 110)])


def test_pickled_objects_reopen_lazily(mea):
    rec, block, expected = mea
    copy = pickle.loads(pickle.dumps(block))
    assert copy.recording is not rec and copy.recording._handle is None  # nothing opened yet
    assert copy.shape == block.shape and copy.channel_labels == block.channel_labels
    np.testing.assert_array_equal(copy[100:200, [3, 4]], expected[100:200, [3, 4]])
    entity = pickle.loads(pickle.dumps(rec.entity(5)))
    assert entity.label == rec.entity(5).label
    np.testing.assert_array_equal(entity.read(0, 50), expected[:50, 5])
    again = pickle.loads(pickle.dumps(rec))
    assert again.path == rec.path and again.library is rec.library
    assert len(again.entities) == len(rec.entities)
    events = pickle.loads(pickle.dumps(rec.entity(61)))
    np.testing.assert_array_equal(events.read(), rec.entity(61).read())


def test_dask_threads_and_processes(mea):
    da = pytest.importorskip("dask.array")
    import dask

    _, block, expected = mea
    arr = da.from_array(block, chunks=(20_000, 16))
    assert arr.shape == block.shape and arr.dtype == np.float64
    np.testing.assert_allclose(arr.mean(axis=0).compute(scheduler="threads"), expected.mean(axis=0))
    sub = arr[30_000:31_000, [2, 40]]
    with dask.config.set(scheduler="processes", num_workers=2):
        got = sub.compute()
    np.testing.assert_array_equal(got, expected[30_000:31_000, [2, 40]])


def test_dask_distributed_local_cluster(mea):
    distributed = pytest.importorskip("distributed")
    da = pytest.importorskip("dask.array")
    _, block, expected = mea
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            arr = da.from_array(block, chunks=(25_000, 20))
            total = client.compute(arr.sum(axis=0)).result()
            pids = set(client.run(lambda: __import__("os").getpid()).values())
    assert len(pids) == 2
    np.testing.assert_allclose(total, expected.sum(axis=0))
