"""python3 -m mostfcat decode CATALOG [--channel N] [--options WORD] [MESSAGE ...]

Writes what ``mostfcat decode CATALOG --json`` writes: one JSON object per
message and line, with the same fields and values (byte for byte for catalogs
whose texts are ASCII). A MESSAGE is FBLOCK.INST.FKT.OP:HEX with hexadecimal
coordinates; without MESSAGE arguments the messages are read from standard
input, one a line (blank lines and lines starting with # are skipped, a
malformed line gets a line saying why). Exit status: 0 success, 1 the import
failed, 2 a usage error or a catalog that cannot be read.
"""

from __future__ import annotations

import json
import os
import sys
from typing import BinaryIO, List, Optional, Sequence, Tuple

from . import CatalogNotFound, ImportFailed, Manager, ALL_OPTIONS
from ._mostfcat import json_number, parse_hex

USAGE = ("usage: python3 -m mostfcat decode CATALOG [--channel N] [--options WORD] "
         "[--json] [FBLOCK.INST.FKT.OP:HEX ...]")

_BLANKS = " \t\r\n"
_COORDINATES = (("FBlock ID", 0xFF), ("instance ID", 0xFF), ("function ID", 0xFFF),
                ("OpType", 0xF))

Message = Tuple[Tuple[int, int, int, int], bytes]


class UsageError(Exception):
    pass


def _hex_number(text: str, limit: int) -> Optional[int]:
    t = text.strip(_BLANKS)
    if len(t) > 2 and t[0] == "0" and t[1] in "xX":
        t = t[2:]
    if not t or len(t) > 8 or any(c not in "0123456789abcdefABCDEF" for c in t):
        return None
    value = int(t, 16)
    return value if value <= limit else None


def parse_message(text: str) -> Tuple[Optional[Message], str]:
    """Reads FBLOCK.INST.FKT.OP:HEX; returns the message, or None and why."""
    colon = text.find(":")
    if colon < 0:
        return None, "expected FBLOCK.INST.FKT.OP:HEX"
    parts = text[:colon].split(".")
    if len(parts) != 4:
        return None, ("expected four hexadecimal coordinates FBLOCK.INST.FKT.OP, not '"
                      f"{text[:colon]}'")
    coordinates = []
    for part, (what, limit) in zip(parts, _COORDINATES):
        value = _hex_number(part, limit)
        if value is None:
            return None, f"{what} '{part}' is not a hexadecimal number up to {limit:X}"
        coordinates.append(value)
    payload = parse_hex(text[colon + 1:].replace("\t", " ").replace("\r", " "))
    if payload is None:
        return None, "the payload is not hexadecimal"
    fb, inst, fkt, op = coordinates
    return ((fb, inst, fkt, op), payload), ""


def _json(obj: object) -> str:
    """Compact JSON as the tool writes it. Floats take the tool's number
    format (both read back exactly, but the digits may differ from repr)."""
    if isinstance(obj, float):
        return json_number(obj)
    if isinstance(obj, dict):
        return "{" + ",".join(json.dumps(k, ensure_ascii=False) + ":" + _json(v)
                              for k, v in obj.items()) + "}"
    if isinstance(obj, list):
        return "[" + ",".join(_json(v) for v in obj) + "]"
    return json.dumps(obj, ensure_ascii=False, separators=(",", ":"))


def _dump(obj: object, out: BinaryIO) -> None:
    out.write(_json(obj).encode("utf-8"))
    out.write(b"\n")


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


def _arg_text(arg: str) -> str:
    # Arguments as the bytes the shell passed, one character per byte (the
    # catalog texts' convention).
    return os.fsencode(arg).decode("latin-1")


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
    given: List[Message] = []
    for text in plain[1:]:
        message, why = parse_message(_arg_text(text))
        if message is None:
            raise UsageError(f"decode: '{text}': {why}")
        given.append(message)

    with Manager("mostfcat") as mgr:
        try:
            mgr.open(catalog, channel, log_path=None)
        except CatalogNotFound as e:
            print(f"mostfcat: {e}", file=sys.stderr)
            return 2
        except ImportFailed as e:
            print(f"mostfcat: {e}", file=sys.stderr)
            return 1

        def decode(message: Message) -> None:
            (fb, inst, fkt, op), payload = message
            msg = mgr.decode(fb, inst, fkt, op, payload, channel=channel, options=options)
            _dump(msg.to_json(), stdout)

        if given:
            for message in given:
                decode(message)
        else:
            for raw in stdin:
                line = raw.decode("latin-1").strip(_BLANKS)
                if not line or line.startswith("#"):
                    continue
                message, why = parse_message(line)
                if message is None:
                    _dump({"input": line, "error": f"malformed message: {why}"}, stdout)
                else:
                    decode(message)
    stdout.flush()
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
