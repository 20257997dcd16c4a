"""``nsread plot``: a recording drawn into a PNG, SVG or PDF file."""

from __future__ import annotations

import argparse
import re
import sys
from pathlib import Path

from .figure import FORMATS, KINDS

#: Image size in pixels when --size is not given: the combined figure is tall.
DEFAULT_SIZE = {None: (1600, 2000), "overview": (1600, 1200), "traces": (1600, 1000), "spikes": (1600, 1200),
                "events": (1600, 800)}

_SIZE = re.compile(r"^\s*(\d+)\s*[xX]\s*(\d+)\s*$")


def add_arguments(parser: argparse.ArgumentParser) -> None:
    """Add the options of ``nsread plot`` to ``parser``."""
    parser.description = (
        "Draw a recording: an overview of every analog channel (min/max envelope, and the electrode array "
        "where channels have locations), traces of a time window, spike cut-outs by unit, and an event raster. "
        "Without --kind one figure shows all four parts."
    )
    parser.add_argument("recording", metavar="REC", help="the recording (.qrd, .map, or any file --library reads)")
    parser.add_argument("-o", "--output", required=True, metavar="OUT",
                        help="the image to write; its extension chooses the format: " + ", ".join(FORMATS))
    parser.add_argument("--from", dest="t0", type=float, default=None, metavar="T",
                        help="start of the traces' window in seconds (default 0)")
    parser.add_argument("--to", dest="t1", type=float, default=None, metavar="T",
                        help="end of the traces' window in seconds (default 1 s after --from)")
    parser.add_argument("--channels", default=None, metavar="SELECTION",
                        help="entities to draw, by index (5), range (0-7) or label pattern (elec*, '*12', A1), "
                             "separated by commas; each part draws the chosen entities of its kind; "
                             "default: every entity (traces: the first 16 analog channels)")
    parser.add_argument("--kind", choices=KINDS, default=None, help="draw one part only")
    parser.add_argument("--size", default=None, metavar="WxH",
                        help="image size in pixels (default 1600x2000 for all parts, smaller for one)")
    parser.add_argument("--dpi", type=float, default=100.0, help="pixels per inch, which sets the text size (100)")
    parser.add_argument("--library", default=None, metavar="LIB",
                        help="the Neuroshare library to read with (default: by the file's extension)")


def _fail(text: str) -> int:
    print(f"nsread plot: {text}", file=sys.stderr)
    return 1


def _usage(text: str) -> int:
    print(f"nsread plot: {text}", file=sys.stderr)
    return 2


def run(args: argparse.Namespace) -> int:
    """Run ``nsread plot``; returns the exit status (0 written, 1 bad input, 2 usage error)."""
    out = Path(args.output)
    if out.suffix.lower().lstrip(".") not in FORMATS:
        return _usage(f"the output {args.output!r} must end in .png, .svg or .pdf")
    if args.size is None:
        size = DEFAULT_SIZE[args.kind]
    else:
        m = _SIZE.match(args.size)
        if m is None or not (16 <= int(m.group(1)) <= 20000 and 16 <= int(m.group(2)) <= 20000):
            return _usage(f"--size {args.size!r} must be WIDTHxHEIGHT in pixels, each 16 to 20000")
        size = (int(m.group(1)), int(m.group(2)))
    if not 10 <= args.dpi <= 1200:
        return _usage(f"--dpi {args.dpi:g} must lie between 10 and 1200")
    if out.is_dir():
        return _fail(f"the output {args.output!r} is a folder")
    if not (out.parent if str(out.parent) else Path(".")).is_dir():
        return _fail(f"the folder of {args.output!r} does not exist")

    from .. import NeuroshareError
    from .. import open as open_recording
    from .errors import PlotError
    from .figure import recording_figure, save_figure

    kinds = KINDS if args.kind is None else (args.kind,)
    try:
        with open_recording(args.recording, library=args.library) as rec:
            fig = recording_figure(rec, kinds, t0=args.t0, t1=args.t1, channels=args.channels, size=size,
                                   dpi=args.dpi)
            save_figure(fig, out)
    except PlotError as err:
        return _fail(str(err))
    except NeuroshareError as err:
        return _fail(str(err))
    except OSError as err:
        return _fail(f"{err.strerror or err}: {err.filename or args.output}")
    return 0
