"""Bad input gives a clear NeuroshareError (code, call, message), never a crash."""

from __future__ import annotations

import ctypes
import pickle
import random
import shutil
import subprocess
import sys

import numpy as np
import pytest

import nsread
from nsread import NeuroshareError, RecordingClosedError
from nsread import _records as R


def _read_everything(rec: nsread.Recording) -> None:
    for e in rec.entities:
        e.read()


@pytest.mark.parametrize("kind", ["qrd", "map"])
def test_missing_file_folder_and_foreign_file(tmp_path, kind):
    with pytest.raises(NeuroshareError) as err:
        nsread.open(tmp_path / f"missing.{kind}")
    assert err.value.code == R.ns_FILEERROR and err.value.call == "ns_OpenFile"
    assert "missing" in str(err.value) and "ns_FILEERROR (-3)" in str(err.value)
    folder = tmp_path / f"folder.{kind}"
    folder.mkdir()
    with pytest.raises(NeuroshareError) as err:
        nsread.open(folder)
    assert err.value.code in (R.ns_FILEERROR, R.ns_TYPEERROR)
    text = tmp_path / f"notes.{kind}"
    text.write_bytes(b"these are notes, not a recording\n" * 40)
    with pytest.raises(NeuroshareError) as err:
        nsread.open(text)
    assert err.value.code in (R.ns_FILEERROR, R.ns_TYPEERROR)
    assert err.value.message


def test_mapshare_errors_carry_its_last_error_text(tmp_path, map_sample):
    with pytest.raises(NeuroshareError) as err:
        nsread.open(tmp_path / "missing.map")
    assert "file not found" in err.value.message
    with nsread.open(map_sample) as rec:
        with pytest.raises(NeuroshareError) as err:
            rec.entity(8).time_of(10_000)
        assert err.value.code == R.ns_BADINDEX and err.value.call == "ns_GetTimeByIndex"
        assert "out of range" in err.value.message


def test_unknown_extension_and_bad_library(tmp_path, continuous_qrd):
    other = tmp_path / "rec.xyz"
    shutil.copy(continuous_qrd, other)
    with pytest.raises(NeuroshareError) as err:
        nsread.open(other)
    assert err.value.code == R.ns_TYPEERROR and "library=" in err.value.message
    # the right library given explicitly reads it whatever the extension
    qrdshare = nsread.open(continuous_qrd).library
    with nsread.open(other, library=qrdshare.path) as rec:
        assert len(rec.entities) == 77
    # the extension is matched without regard to case
    upper = tmp_path / "REC.QRD"
    shutil.copy(continuous_qrd, upper)
    with nsread.open(upper) as rec:
        assert rec.library is qrdshare
    with pytest.raises(NeuroshareError):
        nsread.Library(tmp_path / "nolib.so")
    not_a_library = tmp_path / "fake.so"
    not_a_library.write_bytes(b"\x7fELF garbage")
    with pytest.raises(NeuroshareError):
        nsread.Library(not_a_library)


@pytest.mark.parametrize("name", ["continuous_mea.qrd", "spikes.qrd", "triggered_sweeps.qrd", "version4.qrd",
                                  "sample.map"])
def test_truncated_recordings(samples_dir, tmp_path, name):
    data = (samples_dir / name).read_bytes()
    for fraction in (0.03, 0.5, 0.97):
        cut = tmp_path / f"cut{fraction}{name}"
        cut.write_bytes(data[: int(len(data) * fraction)])
        try:
            rec = nsread.open(cut)
        except NeuroshareError as exc:
            assert exc.code < 0
            continue
        with rec:
            try:
                _read_everything(rec)
            except NeuroshareError as exc:
                assert exc.code < 0


@pytest.mark.parametrize("name", ["spikes.qrd", "triggered_sweeps.qrd", "version4.qrd", "sample.map"])
def test_damaged_recordings_in_a_child_process(samples_dir, tmp_path, name):
    # Flip bytes with fixed seeds and read everything in a child process, so
    # that a crash would show as a signal rather than end the test run.
    data = bytearray((samples_dir / name).read_bytes())
    paths = []
    for seed in range(12):
        rng = random.Random(seed)
        damaged = bytearray(data)
        for _ in range(40):
            damaged[rng.randrange(len(damaged))] ^= 1 << rng.randrange(8)
        path = tmp_path / f"damaged{seed}{name[-4:]}"
        path.write_bytes(bytes(damaged))
        paths.append(str(path))
    script = (
        "import sys, nsread\n"
        "for p in sys.argv[1:]:\n"
        "    try:\n"
        "        with nsread.open(p) as rec:\n"
        "            for e in rec.entities:\n"
        "                try:\n"
        "                    e.read()\n"
        "                except nsread.NeuroshareError:\n"
        "                    pass\n"
        "    except nsread.NeuroshareError:\n"
        "        pass\n"
        "print('done')\n"
    )
    out = subprocess.run([sys.executable, "-c", script, *paths], capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == "done"


def test_comment_bytes_that_are_not_utf8(spikes_qrd, tmp_path):
    data = bytearray(spikes_qrd.read_bytes())
    at = data.find(b"Sample recording")
    assert at > 0
    data[at:at + 6] = b"\xff\xfe\x81\xe9\x00\x00"[:6].replace(b"\x00", b"\xfd")
    damaged = tmp_path / "comment.qrd"
    damaged.write_bytes(bytes(data))
    with nsread.open(damaged) as rec:
        info = rec.info
        assert info.comment_raw.startswith(b"\xff\xfe\x81\xe9\xfd\xfd")
        assert info.comment.startswith("ÿþ\ufffdé")  # cp1252; 0x81 is undefined there
        assert info.comment.endswith("recording: spikes and triggers")


def test_ranges_indexes_and_times_out_of_range(continuous_qrd, map_sample):
    with nsread.open(continuous_qrd) as rec:
        e = rec.entity(0)
        for start, count in ((-1, 5), (0, e.item_count + 1), (e.item_count, 1), (5, -1)):
            with pytest.raises(NeuroshareError) as err:
                e.read(start, count)
            assert err.value.code == R.ns_BADINDEX
        with pytest.raises(NeuroshareError) as err:
            e.time_of(e.item_count)
        assert err.value.code == R.ns_BADINDEX and err.value.call == "ns_GetTimeByIndex"
        with pytest.raises(NeuroshareError):
            e.time_of(-1)
        with pytest.raises(NeuroshareError):
            e.index_of(10.0, "after")
        with pytest.raises(NeuroshareError):
            e.index_of(float("nan"))
        with pytest.raises(ValueError):
            e.index_of(1.0, "nearest")
        with pytest.raises(NeuroshareError) as err:
            e.read("3")
        assert err.value.code == R.ns_BADINDEX
        with pytest.raises(NeuroshareError):
            rec.entity(77)
        with pytest.raises(NeuroshareError) as err:
            rec.entity("no such label")
        assert err.value.code == R.ns_BADENTITY
        with pytest.raises(ValueError):
            e.read(0, 10, out=np.empty(11))
        with pytest.raises(NeuroshareError):
            rec.entity(61).read(0, 12)
    with nsread.open(map_sample) as rec:
        with pytest.raises(NeuroshareError) as err:
            rec.entity(0).index_of(-0.001)
        assert "Negative time" in err.value.message


def test_a_call_on_the_wrong_entity_kind(continuous_qrd, map_sample):
    # the library itself refuses an info or data call of another entity kind
    for path, analog, event in ((continuous_qrd, 0, 61), (map_sample, 0, 5)):
        with nsread.open(path) as rec:
            lib = rec.library
            record = R.ns_EVENTINFO()
            times = np.empty(4)
            with rec._use("test") as h:
                with pytest.raises(NeuroshareError) as err:
                    lib.call("ns_GetEventInfo", h, analog, ctypes.addressof(record), ctypes.sizeof(record))
                assert err.value.code == R.ns_BADENTITY and err.value.call == "ns_GetEventInfo"
                with pytest.raises(NeuroshareError) as err:
                    lib.call("ns_GetNeuralData", h, event, 0, 1, times.ctypes.data)
                assert err.value.code in (R.ns_BADENTITY, R.ns_BADINDEX)
                with pytest.raises(NeuroshareError) as err:
                    lib.call("ns_GetEntityInfo", h, 10_000, ctypes.addressof(record), 40)
                assert err.value.code == R.ns_BADENTITY


def test_use_after_close(continuous_qrd):
    rec = nsread.open(continuous_qrd)
    e = rec.entity(0)
    block = rec.blocks()[0]
    rec.close()
    rec.close()  # a second close does nothing
    assert rec.closed
    for use in (lambda: e.read(0, 10), lambda: block[0:10], lambda: rec.info, lambda: e.time_of(0),
                lambda: rec.entities):
        with pytest.raises(RecordingClosedError) as err:
            use()
        assert isinstance(err.value, ValueError) and err.value.code == R.ns_BADFILE
    with nsread.open(continuous_qrd) as again:
        assert again.entity(0).read(0, 3).shape == (3,)


def test_error_pickles_and_prints_all_three_parts():
    err = NeuroshareError(R.ns_BADINDEX, "ns_GetAnalogData", "Sample not found")
    assert str(err) == "ns_GetAnalogData failed: ns_BADINDEX (-7): Sample not found"
    copy = pickle.loads(pickle.dumps(err))
    assert (copy.code, copy.call, copy.message) == (err.code, err.call, err.message)
    assert NeuroshareError(R.ns_FILEERROR, "ns_OpenFile").message == R.RESULT_TEXTS[R.ns_FILEERROR]
