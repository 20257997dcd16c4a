"""``nsread convert REC OUT.nwb``: the command line of the NWB conversion."""

from __future__ import annotations

import argparse
import math
import sys
from typing import Any

import yaml

from ..errors import NeuroshareError
from .convert import COMPRESSIONS, ConversionError, convert
from .metadata import MetadataError, load_metadata
from .target import TargetError


def _seconds(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not a number of seconds") from None
    if not (value > 0 and math.isfinite(value)):
        raise argparse.ArgumentTypeError(f"{text!r} is not a positive number of seconds")
    return value


def with_settings(metadata: dict[str, Any], settings: list[str]) -> dict[str, Any]:
    """``metadata`` with ``SECTION.KEY=VALUE`` settings put in (checked again by the converter).

    A value in brackets is read as a YAML list; any other value is text.
    """
    for setting in settings:
        key, sep, value = setting.partition("=")
        if not sep or not key:
            raise MetadataError(setting, "give a setting as KEY=VALUE, e.g. Subject.age=P90D")
        parsed: Any = yaml.safe_load(value) if value.strip().startswith("[") else value
        section, dot, name = key.partition(".")
        if not dot:
            metadata[key] = parsed
        elif section == "Ecephys":
            raise MetadataError(key, "give Ecephys settings in the metadata file")
        else:
            if not isinstance(metadata.get(section, {}), dict):
                raise MetadataError(section, "must be a mapping")
            metadata.setdefault(section, {})[name] = parsed
    return metadata


def add_arguments(parser: argparse.ArgumentParser) -> None:
    """Add the arguments of ``nsread convert`` to ``parser``."""
    parser.add_argument("recording", metavar="REC", help="recording to convert (read by extension or --library)")
    parser.add_argument("output", metavar="OUT.nwb", help="NWB file to write")
    parser.add_argument("--metadata", metavar="META.yaml", help="YAML or JSON metadata (NWBFile, Subject, Ecephys)")
    parser.add_argument("--set", metavar="KEY=VALUE", action="append", default=[], dest="settings",
                        help="a metadata field, over the file's: Subject.age=P90D, NWBFile.experimenter=[A, B], "
                             "timezone=Europe/Berlin (repeatable)")
    parser.add_argument("--stub", metavar="SECONDS", type=_seconds,
                        help="write only the first SECONDS of every entity (a quick preview)")
    parser.add_argument("--compression", choices=COMPRESSIONS, default="gzip",
                        help="compression of the data sets (default gzip; none is faster)")
    parser.add_argument("--overwrite", action="store_true", help="replace an existing OUT.nwb")
    parser.add_argument("--require-dandi", action="store_true",
                        help="stop before writing when the metadata lacks fields DANDI requires")
    parser.add_argument("--quiet", action="store_true", help="no progress bar and no messages")
    parser.add_argument("--library", help="Neuroshare library to read with (default: by extension)")


def run(args: argparse.Namespace) -> int:
    """Run ``nsread convert``; returns the exit status."""
    from ..recording import open as open_recording

    def fail(message: str, code: int = 1) -> int:
        print(f"nsread convert: {message}", file=sys.stderr)
        return code

    try:
        metadata = with_settings(load_metadata(args.metadata), args.settings) if args.settings else args.metadata
        with open_recording(args.recording, args.library) as rec:
            result = convert(rec, args.output, metadata=metadata, stub=args.stub,
                             compression=args.compression, overwrite=args.overwrite,
                             require_dandi=args.require_dandi, quiet=args.quiet, show_progress=not args.quiet)
    except KeyboardInterrupt:
        return fail("interrupted; nothing was written", 130)
    except (MetadataError, ConversionError, TargetError, NeuroshareError) as exc:
        return fail(str(exc))
    except OSError as exc:
        return fail(f"{exc.strerror or exc}{': ' + exc.filename if getattr(exc, 'filename', None) else ''}")
    if not args.quiet:
        print(f"wrote {result.path} ({result.values_written} values)")
    return 0
