"""nsread plot: images of every sample recording, their size, format and content; bad input."""

from __future__ import annotations

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest
from conftest import BUILD_DIR, REPO
from matplotlib import image

from nsread.cli import main
from nsread.plot import figure as figure_module


def plot(*args: object) -> int:
    return main(["plot", *map(str, args)])


def png_pixels(path: Path) -> np.ndarray:
    pixels = image.imread(path)
    assert pixels.dtype == np.float32 and pixels.ndim == 3
    return pixels


def assert_not_blank(pixels: np.ndarray) -> None:
    """Drawn: a share of pixels is not white and the picture has contrast.

    An empty figure with its axes and titles inks about 0.3 % of its pixels.
    """
    grey = pixels[..., :3].mean(axis=2)
    inked = np.mean(grey < 0.9)
    assert inked > 0.008, f"only {inked:.3%} of the pixels are drawn"
    assert grey.std() > 0.05
    # Both dark ink (lines, text) and white ground.
    assert grey.min() < 0.3 and grey.max() > 0.99


def pdf_size_points(data: bytes) -> tuple[float, float]:
    m = re.search(rb"/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\]", data)
    assert m, "a PDF page with a media box"
    return float(m.group(1)), float(m.group(2))


@pytest.fixture(scope="module")
def no_analog_map(tmp_path_factory: pytest.TempPathFactory, samples_dir: Path) -> Path:
    """A MAP recording with spike cut-outs and events but no analog channel, written by our MAP test writer."""
    compiler = shutil.which(os.environ.get("CXX", "c++"))
    if compiler is None:
        pytest.fail("a C++ compiler is needed to build the MAP writer tool")
    folder = tmp_path_factory.mktemp("no_analog")
    tool = folder / "write_no_analog_map"
    writer = BUILD_DIR / "tools" / "mapsample" / "libmap_test_writer.a"
    platform = BUILD_DIR / "src" / "platform" / "libns_platform.a"
    built = subprocess.run(
        [compiler, "-std=c++17", "-O1", f"-I{REPO / 'tests/mapshare/support'}", f"-I{REPO / 'src'}",
         str(Path(__file__).with_name("plot_no_analog_map.cpp")), str(writer), str(platform), "-o", str(tool)],
        capture_output=True, text=True,
    )
    if built.returncode != 0:
        pytest.fail(f"cannot build the MAP writer tool against {BUILD_DIR} (set NS_BUILD_DIR to the release "
                    f"build):\n{built.stderr}")
    subprocess.run([tool, folder], check=True, capture_output=True)
    return folder / "no_analog.map"


# ---- every sample, every kind, every format -----------------------------------------------------------------------


@pytest.mark.parametrize("name", ["continuous_mea.qrd", "triggered_sweeps.qrd", "spikes.qrd", "version4.qrd",
                                  "sample.map"])
def test_every_sample_gets_a_full_figure_of_the_requested_size(samples_dir, tmp_path, name):
    out = tmp_path / "all.png"
    assert plot(samples_dir / name, "-o", out, "--size", "800x1000", "--dpi", "80") == 0
    pixels = png_pixels(out)
    assert pixels.shape[:2] == (1000, 800)
    assert_not_blank(pixels)
    assert list(tmp_path.iterdir()) == [out], "no temporary file left beside the image"


@pytest.mark.parametrize(
    ("name", "kind"),
    [("continuous_mea.qrd", "overview"), ("continuous_mea.qrd", "traces"), ("continuous_mea.qrd", "events"),
     ("spikes.qrd", "spikes"), ("triggered_sweeps.qrd", "spikes"), ("sample.map", "spikes"),
     ("sample.map", "events"), ("version4.qrd", "overview")],
)
def test_each_part_alone(samples_dir, tmp_path, name, kind):
    out = tmp_path / f"{kind}.png"
    assert plot(samples_dir / name, "-o", out, "--kind", kind, "--size", "700x500", "--dpi", "70") == 0
    pixels = png_pixels(out)
    assert pixels.shape[:2] == (500, 700)
    assert_not_blank(pixels)


def test_svg_and_pdf_have_their_format_and_size(samples_dir, tmp_path):
    svg = tmp_path / "spikes.svg"
    pdf = tmp_path / "spikes.pdf"
    assert plot(samples_dir / "spikes.qrd", "-o", svg, "--size", "1000x700", "--dpi", "100", "--kind", "spikes") == 0
    assert plot(samples_dir / "spikes.qrd", "-o", pdf, "--size", "1000x700", "--dpi", "100") == 0
    text = svg.read_text()
    assert text.startswith("<?xml") and "<svg" in text
    m = re.search(r'<svg[^>]*width="([\d.]+)pt"[^>]*height="([\d.]+)pt"', text)
    assert m and (float(m.group(1)), float(m.group(2))) == (720.0, 504.0)  # 10 x 7 inches
    assert text.count("<path") > 50, "the cut-outs are drawn, not only the frame"
    data = pdf.read_bytes()
    assert data.startswith(b"%PDF-") and data.rstrip().endswith(b"%%EOF")
    assert pdf_size_points(data) == (720.0, 504.0)


def test_recording_without_analog_channels_gets_spikes_and_events(no_analog_map, tmp_path):
    out = tmp_path / "no_analog.png"
    assert plot(no_analog_map, "-o", out, "--size", "800x900") == 0
    pixels = png_pixels(out)
    assert pixels.shape[:2] == (900, 800)
    assert_not_blank(pixels)
    # The parts that exist are drawn alone too; the ones that do not are refused.
    assert plot(no_analog_map, "-o", tmp_path / "s.png", "--kind", "spikes") == 0
    assert plot(no_analog_map, "-o", tmp_path / "e.png", "--kind", "events") == 0
    assert plot(no_analog_map, "-o", tmp_path / "o.png", "--kind", "overview") == 1


def test_the_figure_of_a_recording_without_analog_holds_its_spikes_and_events(no_analog_map):
    from matplotlib.collections import EventCollection, LineCollection

    import nsread

    with nsread.open(no_analog_map) as rec:
        fig = figure_module.recording_figure(rec)
        collections = [c for ax in fig.axes for c in ax.collections]
        waveforms = sum(len(c.get_segments()) for c in collections
                        if isinstance(c, LineCollection) and not isinstance(c, EventCollection))
        assert waveforms == rec.entity("Level 3").item_count == 9
        rows = [c for c in collections if isinstance(c, EventCollection)]
        assert len(rows) == 3  # the digital events and the two sorted units
        # Events recorded after the span the header states are still on the axis.
        (raster,) = [ax for ax in fig.axes if any(isinstance(c, EventCollection) for c in ax.collections)]
        last = max(float(np.max(r.get_positions())) for r in rows)
        assert last > rec.info.time_span and raster.get_xlim()[1] >= last
        messages = " ".join(t.get_text() for ax in fig.axes for t in ax.texts)
        assert "no analog channel" in messages


# ---- bad input -----------------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    ("args", "code", "words"),
    [
        (["spikes.qrd", "--from", "5", "--to", "6"], 1, "lies outside the recording"),
        (["spikes.qrd", "--from", "0.5", "--to", "0.2"], 1, "must end after it starts"),
        (["spikes.qrd", "--kind", "overview", "--from", "-3", "--to", "-1"], 1, "lies outside the recording"),
        (["spikes.qrd", "--channels", "elec*,nothing*"], 1, "'nothing*' names no entity"),
        (["spikes.qrd", "--channels", "99"], 1, "entity 99 does not exist"),
        (["continuous_mea.qrd", "--kind", "spikes"], 1, "no segment entity"),
        (["continuous_mea.qrd", "--kind", "events", "--channels", "63"], 1,
         "entity 63 (digi0001 0001 0000 1 02) is empty"),
        (["continuous_mea.qrd", "--kind", "traces", "--channels", "61"], 1, "no analog channel"),
        (["missing.qrd"], 1, "ns_OpenFile"),
        (["spikes.qrd", "--size", "100"], 2, "WIDTHxHEIGHT"),
        (["spikes.qrd", "--dpi", "0"], 2, "--dpi"),
    ],
)
def test_bad_input_gets_a_message_and_no_image(samples_dir, tmp_path, capsys, args, code, words):
    out = tmp_path / "bad.png"
    recording, *options = args
    assert plot(samples_dir / recording, "-o", out, *options) == code
    err = capsys.readouterr().err
    assert err.startswith("nsread plot: ") and words in err
    assert list(tmp_path.iterdir()) == []


def test_output_that_cannot_be_written(samples_dir, tmp_path, capsys):
    assert plot(samples_dir / "spikes.qrd", "-o", tmp_path / "image.gif") == 2
    assert "must end in .png, .svg or .pdf" in capsys.readouterr().err
    assert plot(samples_dir / "spikes.qrd", "-o", tmp_path / "no" / "such" / "folder.png") == 1
    assert "does not exist" in capsys.readouterr().err
    (tmp_path / "folder.png").mkdir()
    assert plot(samples_dir / "spikes.qrd", "-o", tmp_path / "folder.png") == 1
    assert "is a folder" in capsys.readouterr().err


def test_a_failed_save_leaves_the_old_image_and_no_temporary_file(samples_dir, tmp_path, monkeypatch, capsys):
    out = tmp_path / "keep.png"
    out.write_bytes(b"the old image")
    from matplotlib.figure import Figure

    real_savefig = Figure.savefig

    def fail_half_way(self, target, **kwargs):
        real_savefig(self, target, **kwargs)  # the bytes are written ...
        raise OSError(28, "No space left on device")  # ... and then the disk is full

    monkeypatch.setattr(Figure, "savefig", fail_half_way)
    assert plot(samples_dir / "spikes.qrd", "-o", out, "--kind", "events") == 1
    assert "No space left on device" in capsys.readouterr().err
    assert out.read_bytes() == b"the old image"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["keep.png"]


def test_the_command_runs_as_a_program(samples_dir, tmp_path):
    out = tmp_path / "events.png"
    import nsread

    # The nsread under test (source tree or installed), without a display or a chosen backend.
    env = dict(os.environ, PYTHONPATH=str(Path(nsread.__file__).resolve().parents[1]))
    env.pop("DISPLAY", None)
    env.pop("MPLBACKEND", None)
    done = subprocess.run([sys.executable, "-m", "nsread", "plot", samples_dir / "sample.map", "-o", out,
                           "--kind", "events"], env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert png_pixels(out).shape[:2] == (800, 1600)  # the default size of an event raster
    bad = subprocess.run([sys.executable, "-m", "nsread", "plot", samples_dir / "sample.map", "-o", out,
                          "--to", "-1"], env=env, capture_output=True, text=True)
    assert bad.returncode == 1 and bad.stderr.startswith("nsread plot: ")


def test_the_window_is_marked_where_the_traces_show_it(samples_dir):
    import nsread

    def marks(fig):
        spans = []
        for patch in (p for ax in fig.axes for p in ax.patches if p.get_gid() == "window"):
            x = patch.get_patch_transform().transform(patch.get_path().vertices)[:, 0]  # x in seconds
            spans.append((x.min(), x.max()))
        return spans

    with nsread.open(samples_dir / "continuous_mea.qrd") as rec:
        both = figure_module.recording_figure(rec, t0=0.5, t1=0.75)
        np.testing.assert_allclose(marks(both), [(0.5, 0.75)] * 2)  # on the overview and on the raster
        traced = [ax for ax in both.axes if ax.get_title(loc="left").startswith("Traces")]
        assert len(traced) == 1 and traced[0].get_xlim() == (0.5, 0.75)
        assert marks(figure_module.recording_figure(rec, ("overview",))) == []
        np.testing.assert_allclose(marks(figure_module.recording_figure(rec, ("overview",), t0=2, t1=3)), [(2, 3)])


def test_agg_without_a_display_and_the_chosen_backend_otherwise():
    import nsread

    env = dict(os.environ, PYTHONPATH=str(Path(nsread.__file__).resolve().parents[1]))
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "MPLBACKEND"):
        env.pop(name, None)
    code = "import nsread.plot, matplotlib; print(matplotlib.get_backend().lower())"
    done = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
    assert done.stdout.strip() == "agg"
    chosen = subprocess.run([sys.executable, "-c", code], env=dict(env, MPLBACKEND="svg"), capture_output=True,
                            text=True, check=True)
    assert chosen.stdout.strip() == "svg"
