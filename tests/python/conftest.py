"""Shared fixtures: the sample recordings written by our own sample writers,
and the C++ side's view of them through nsdump.

Environment: ``NS_BUILD_DIR`` names the CMake build folder holding
``qrdsample``, ``mapsample`` and ``nsdump`` (default ``<repo>/build``).  When
nsread is imported from the source tree (no ``nsread/lib`` beside it) and
``NSREAD_LIBRARY_DIR`` is not set, the libraries of that build are used.
"""

from __future__ import annotations

import csv
import io
import os
import subprocess
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
BUILD_DIR = Path(os.environ.get("NS_BUILD_DIR", REPO / "build")).resolve()


def find_tool(name: str) -> Path:
    for candidate in (BUILD_DIR / "bin" / name, BUILD_DIR / "tools" / name / name):
        if candidate.is_file():
            return candidate
    pytest.fail(f"{name} is not built in {BUILD_DIR} (set NS_BUILD_DIR)")


@pytest.fixture(scope="session", autouse=True)
def build_libraries(tmp_path_factory: pytest.TempPathFactory) -> None:
    """Point nsread at the build's libraries when it runs from the source tree."""
    _use_build_libraries(tmp_path_factory.mktemp("libs"))


def _use_build_libraries(tmp: Path) -> None:
    import nsread

    bundled = Path(nsread.__file__).resolve().parent / "lib"
    if bundled.is_dir() or os.environ.get("NSREAD_LIBRARY_DIR"):
        return
    libs = tmp / "libs"
    libs.mkdir(exist_ok=True)
    for sub, name in (("qrdshare", "libqrdshare.so"), ("mapshare", "libmapshare.so")):
        target = libs / name
        if not target.exists():
            target.symlink_to(BUILD_DIR / "src" / sub / name)
    os.environ["NSREAD_LIBRARY_DIR"] = str(libs)


@pytest.fixture(scope="session")
def samples_dir(tmp_path_factory: pytest.TempPathFactory) -> Path:
    """A folder with every sample recording of qrdsample and mapsample."""
    folder = tmp_path_factory.mktemp("samples")
    subprocess.run([find_tool("qrdsample"), folder], check=True, capture_output=True)
    subprocess.run([find_tool("mapsample"), folder], check=True, capture_output=True)
    return folder


@pytest.fixture(scope="session")
def qrd_samples(samples_dir: Path) -> list[Path]:
    """Every QRD sample recording."""
    return sorted(samples_dir.glob("*.qrd"))


@pytest.fixture(scope="session")
def continuous_qrd(samples_dir: Path) -> Path:
    """Continuous MEA recording: 60 electrodes + a digital stream, 3 s at 25 kHz."""
    return samples_dir / "continuous_mea.qrd"


@pytest.fixture(scope="session")
def triggered_qrd(samples_dir: Path) -> Path:
    """Triggered recording: 5 sweeps of 200 ms on 8 electrodes, trigger stream."""
    return samples_dir / "triggered_sweeps.qrd"


@pytest.fixture(scope="session")
def spikes_qrd(samples_dir: Path) -> Path:
    """Continuous recording with a spike stream and a trigger stream."""
    return samples_dir / "spikes.qrd"


@pytest.fixture(scope="session")
def version4_qrd(samples_dir: Path) -> Path:
    """Header-version-4 recording: 4 electrodes + 2 analog inputs at 10 kHz, no index."""
    return samples_dir / "version4.qrd"


@pytest.fixture(scope="session")
def map_sample(samples_dir: Path) -> Path:
    """The MAP sample (continuous, segment, event and sorted neural entities)."""
    return samples_dir / "sample.map"


@pytest.fixture(scope="session")
def all_samples(qrd_samples: list[Path], map_sample: Path) -> list[Path]:
    return [*qrd_samples, map_sample]


def nsdump_csv(recording: Path, entity: int, *extra: str) -> list[list[str]]:
    """Rows (header dropped) of ``nsdump --entity N`` for a recording."""
    out = subprocess.run(
        [find_tool("nsdump"), "--entity", str(entity), *extra, str(recording)],
        check=True, capture_output=True, text=True,
    ).stdout
    rows = list(csv.reader(io.StringIO(out)))
    return rows[1:]


@pytest.fixture(scope="session")
def nsdump():
    """``nsdump(recording, entity, *options)`` -> CSV rows of the C++ host."""
    return nsdump_csv
