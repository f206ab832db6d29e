"""python3 -m mostfcat decode CATALOG [--channel N] [--options WORD] [MESSAGE ...]

Writes what ``mostfcat decode CATALOG --json`` writes, byte for byte: one
JSON object per message, decoded by the library's trace decoder, the one the
tool uses. A MESSAGE is [TIME] FBLOCK.INST.FKT.OP:HEX with hexadecimal
coordinates; without MESSAGE arguments the messages are read from standard
input, one a line (lines end at a newline byte only; blank lines and lines
starting with # are skipped). A line that cannot be decoded, given as an
argument or read, gets an object saying why, and the others go on. Exit
status: 0 every message decoded, 1 some could not be (a summary on standard
error) or the import failed, 2 a usage error or a catalog that cannot be
read.
"""

from __future__ import annotations

import os
import sys
from typing import BinaryIO, List, Optional, Sequence

from . import CatalogNotFound, ImportFailed, Manager, ALL_OPTIONS

USAGE = ("usage: python3 -m mostfcat decode CATALOG [--channel N] [--options WORD] "
         "[--json] [[TIME] FBLOCK.INST.FKT.OP:HEX ...]")


class UsageError(Exception):
    pass


def _channel(text: str) -> int:
    try:
        n = int(text, 10) if "_" not in text else -1
    except ValueError:
        n = -1
    if not 0 <= n <= 16:
        raise UsageError(f"decode: --channel takes 1 to 16 (a bus channel) or 0 (every "
                         f"channel), not '{text}'")
    return n


def _options(text: str) -> int:
    # Decimal, 0x hexadecimal or 0 octal, as strtoull with base 0 reads them.
    t = text.lstrip("+")
    try:
        if text.startswith("-") or "_" in t or not t:
            value = -1
        elif t[:2] in ("0x", "0X"):
            value = int(t[2:], 16)
        elif t.startswith("0"):
            value = int(t, 8)
        else:
            value = int(t, 10)
    except ValueError:
        value = -1
    if not 0 <= value <= 0xFFFFFFFF:
        raise UsageError(f"decode: --options takes a 32-bit number (for example 0xFFFFFFFF), "
                         f"not '{text}'")
    return value


def decode_command(args: Sequence[str], stdin: BinaryIO, stdout: BinaryIO) -> int:
    plain: List[str] = []
    channel, options = 0, ALL_OPTIONS
    i = 0
    while i < len(args):
        a = args[i]
        if len(a) < 2 or a[0] != "-":
            plain.append(a)
            i += 1
            continue
        name, value = a, None
        if a.startswith("--") and "=" in a:
            name, value = a.split("=", 1)
        if name not in ("--channel", "--options", "--json"):
            raise UsageError(f"decode: unknown option '{name}'")
        if name == "--json":
            if value is not None:
                raise UsageError("decode: --json takes no value")
            i += 1
            continue
        if value is None:
            if i + 1 >= len(args):
                raise UsageError(f"decode: {name} needs a value")
            value = args[i + 1]
            i += 1
        i += 1
        if name == "--channel":
            channel = _channel(value)
        else:
            options = _options(value)
    if not plain:
        raise UsageError("decode needs a catalog file")
    catalog = plain[0]
    if os.path.splitext(catalog)[1].lower() not in (".xml", ".vfc") and os.path.isfile(catalog):
        print(f"mostfcat: cannot read {catalog}: a catalog file name must end in .xml",
              file=sys.stderr)
        return 2
    with Manager("mostfcat") as mgr:
        try:
            mgr.open(catalog, channel, log_path=None)
        except CatalogNotFound as e:
            print(f"mostfcat: {e}", file=sys.stderr)
            return 2
        except ImportFailed as e:
            print(f"mostfcat: {e}", file=sys.stderr)
            return 1
        decoder = mgr._trace_decoder(channel, options, True)
        # Messages given as arguments are lines like those of a trace: the
        # bytes the shell passed.
        if plain[1:]:
            for text in plain[1:]:
                stdout.write(decoder.line(os.fsencode(text)))
        else:
            # Binary lines end at b"\n" only: any other byte (a NUL, a
            # carriage return) stays in its line.
            for raw in stdin:
                stdout.write(decoder.line(raw[:-1] if raw.endswith(b"\n") else raw))
        stdout.flush()
        summary = decoder.summary()
    if summary:
        print(f"mostfcat: {summary}", file=sys.stderr)
        return 1
    return 0


def main(argv: Optional[Sequence[str]] = None) -> int:
    args = list(sys.argv[1:] if argv is None else argv)
    if not args or args[0] in ("-h", "--help", "help"):
        print(USAGE)
        return 0 if args else 2
    if args[0] != "decode":
        print(f"mostfcat: unknown command '{args[0]}' (see python3 -m mostfcat --help)",
              file=sys.stderr)
        return 2
    try:
        return decode_command(args[1:], sys.stdin.buffer, sys.stdout.buffer)
    except UsageError as e:
        print(f"mostfcat: {e} (see python3 -m mostfcat --help)", file=sys.stderr)
        return 2
    except BrokenPipeError:
        # The reader went away (for example `| head`): stop quietly, and keep
        # the interpreter from failing on the final flush.
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        return 0


if __name__ == "__main__":
    sys.exit(main())
