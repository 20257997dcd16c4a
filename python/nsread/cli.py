"""The ``nsread`` command: ``info``, and ``convert`` / ``plot`` where installed."""

from __future__ import annotations

import argparse
import importlib
import os
import sys
from collections.abc import Sequence
from pathlib import Path

from . import __version__
from .entities import AnalogEntity, EventEntity, NeuralEntity, SegmentEntity
from .errors import NeuroshareError
from .recording import open as open_recording

# Subcommands that live in modules of their own: name -> (module, help text).
_PLUGINS = {
    "convert": ("nsread.nwb.command", "convert recordings to NWB files"),
    "plot": ("nsread.plot.command", "plot recordings"),
}


def _describe(entity) -> str:
    if isinstance(entity, AnalogEntity):
        return f"{entity.sample_rate:g} Hz, {entity.units}, resolution {entity.resolution:g}"
    if isinstance(entity, EventEntity):
        return f"event type {entity.event_type}, {entity.min_data_length} to {entity.max_data_length} bytes"
    if isinstance(entity, SegmentEntity):
        return (f"{entity.source_count} source(s), {entity.min_sample_count} to {entity.max_sample_count} "
                f"samples at {entity.sample_rate:g} Hz, {entity.units}")
    if isinstance(entity, NeuralEntity):
        return f"source entity {entity.source_entity_id}, unit {entity.source_unit_id}"
    return f"entity type {entity.entity_type}"


def _info(args: argparse.Namespace) -> int:
    for path in args.recordings:
        with open_recording(path, args.library) as rec:
            info = rec.info
            zone = "" if info.start_time_zone_known else " (time zone not recorded)"
            print(f"== {rec.path}")
            print(f"  library      {rec.library.path} ({rec.library.kind})")
            print(f"  file type    {info.file_type}")
            print(f"  application  {info.application}")
            print(f"  start        {info.start_time.isoformat() if info.start_time else 'unknown'}{zone}")
            print(f"  time span    {info.time_span:.6f} s")
            print(f"  comment      {info.comment}")
            print(f"  entities     {len(rec.entities)}")
            if not args.no_entities:
                for e in rec.entities:
                    print(f"  {e.index:5d}  {e.kind:8s} {e.item_count:9d} items  {e.label!r}: {_describe(e)}")
                for b in rec.blocks():
                    print(f"  block  {b.shape[0]} samples x {b.shape[1]} channels at {b.sample_rate:g} Hz")
    return 0


def _plugin_present(module_name: str) -> bool:
    """Whether a subcommand's module is in the installed package (without importing it)."""
    parts = module_name.split(".")[1:]
    return Path(__file__).resolve().parent.joinpath(*parts).with_suffix(".py").is_file()


def _command_of(argv: Sequence[str]) -> str | None:
    return next((a for a in argv if not a.startswith("-")), None)


def build_parser(argv: Sequence[str] = ()) -> argparse.ArgumentParser:
    """The argument parser.

    The modules of ``convert`` and ``plot`` take seconds to import (pynwb,
    matplotlib), so only the chosen one is imported; the others appear in the
    help with their one-line description.  A module that cannot be imported
    leaves its subcommand out.
    """
    parser = argparse.ArgumentParser(prog="nsread", description="Read Neuroshare recordings (QRD, MAP).")
    parser.add_argument("--version", action="version", version=f"nsread {__version__}")
    sub = parser.add_subparsers(dest="command", metavar="COMMAND")
    sub.required = True
    p = sub.add_parser("info", help="show the file information and entities of recordings")
    p.add_argument("recordings", nargs="+", metavar="REC")
    p.add_argument("--library", help="Neuroshare library to read with (default: by extension)")
    p.add_argument("--no-entities", action="store_true", help="show the file information only")
    p.set_defaults(run=_info)
    chosen = _command_of(argv)
    for name, (module_name, help_text) in _PLUGINS.items():
        if not _plugin_present(module_name):
            continue
        if name != chosen:
            sub.add_parser(name, help=help_text)
            continue
        try:
            module = importlib.import_module(module_name)
        except ImportError:
            continue  # that part of nsread cannot run here
        p = sub.add_parser(name, help=help_text)
        module.add_arguments(p)
        p.set_defaults(run=module.run)
    return parser


def main(argv: Sequence[str] | None = None) -> int:
    """Run the command; returns the exit status."""
    argv = list(sys.argv[1:] if argv is None else argv)
    args = build_parser(argv).parse_args(argv)
    try:
        return int(args.run(args) or 0)
    except BrokenPipeError:
        # the reader went away (nsread info ... | head): stop quietly
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1
    except (NeuroshareError, OSError) as exc:
        print(f"nsread: {exc}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
