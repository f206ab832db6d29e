"""mostfcat: MOST function catalogs from Python.

A function catalog describes the FBlocks, instances, functions, operations and
typed parameters of the messages of a MOST network. This module opens catalogs
through the mostfcat library (libmostfcat.so) and decodes and encodes message
payloads with them::

    import mostfcat

    with mostfcat.Manager() as mgr:
        cat = mgr.open("amp.xml", channel=1)
        for fb in cat.fblocks():
            print(f"0x{fb.id:02X} {fb.name}")
        msg = mgr.decode(channel=1, fblock=0x22, instance=1, function=0x400,
                         operation=0xC, data=b"\\x3c")
        for p in msg.params:
            print(p.name, p.value, p.unit, p.numeric)
        payload = mgr.encode(channel=1, fblock=0x22, instance=1, function=0x400,
                             operation=0xC, values={"Volume": 60})

Values go in as decode shows them (physical numbers such as "-1.0" for a
value with exponent -1, enumeration names, strings as str) and are checked
against the catalog: a value that does not fit raises EncodeError, nothing is
rounded or cut. Decoded strings are decoded by their encoding byte. Decoding
and ``python3 -m mostfcat decode`` give what ``mostfcat decode --json`` gives
(``DecodedMessage.to_json``), since both use the library's implementation.

Results (decoded messages, their entries, catalog trees) are plain objects
copied out of the library: they stay valid after the manager is closed.
"""

from __future__ import annotations

import enum
import os
import re
from dataclasses import dataclass
from typing import Iterable, Iterator, List, Optional, Tuple, Union

from .errors import (CatalogNotFound, EncodeError, Error, ImportFailed,
                     InstanceFallbackWarning, ManagerClosed, UnsetValuesWarning)
from . import errors as _status
from ._mostfcat import DecodedMessage, Param, _Manager, _Telegrams, _diff_json
from ._mostfcat import __version__  # noqa: F401  (set by the build)

__all__ = [
    "Manager", "Catalog", "FBlock", "Instance", "Function", "Operation",
    "DecodedMessage", "Param", "Kind", "ALL_OPTIONS",
    "Error", "ManagerClosed", "CatalogNotFound", "ImportFailed", "EncodeError",
    "UnsetValuesWarning", "InstanceFallbackWarning",
    "Reassembled", "TelegramFault", "diff",
]

#: The decode option word with every bit set: every text, every diagnostic.
ALL_OPTIONS = 0xFFFFFFFF


class Kind(enum.IntEnum):
    """The kind codes of decoded entries (``Param.kind``)."""

    DIAGNOSTIC = 1
    DETAILED_STREAM = 2
    STREAM_CASE = 3
    ARRAY = 4
    RECORD = 5
    BOOL = 6
    BOOLFIELD = 7
    NUMBER = 8
    ENUM = 9
    STRING = 10
    BITFIELD = 11
    VOID = 12
    FKTID_BITSTREAM = 13
    RAW_STREAM = 14
    REMAIN = 15
    CSTREAM = 16
    RAW_SHORT_STREAM = 17
    SIGNAL = 18
    DETAILED_SHORT_STREAM = 19


@dataclass(frozen=True)
class Operation:
    """An operation of a function: its OpType and name."""

    op_type: int
    name: str


@dataclass(frozen=True)
class Function:
    """A function of an instance: its function ID, name and operations."""

    id: int
    name: str
    operations: Tuple[Operation, ...]


@dataclass(frozen=True)
class Instance:
    """An instance of an FBlock: its instance ID, device name and functions."""

    id: int
    device_name: str
    functions: Tuple[Function, ...]


@dataclass(frozen=True)
class FBlock:
    """An FBlock of a catalog: its FBlock ID, name and instances."""

    id: int
    name: str
    instances: Tuple[Instance, ...]

    def functions(self) -> Tuple[Function, ...]:
        """The functions of the FBlock's first instance (often the only one)."""
        return self.instances[0].functions if self.instances else ()


class Catalog:
    """A catalog opened by a Manager (returned by ``Manager.open``)."""

    def __init__(self, manager: "Manager", name: str, path: str, channel: int,
                 log_path: Optional[str]) -> None:
        self._manager = manager
        #: The name under which the manager keeps the catalog.
        self.name = name
        #: The absolute path of the catalog's XML file.
        self.path = path
        #: The bus channel it was opened on (0: every channel).
        self.channel = channel
        #: The import log asked for, or None.
        self.log_path = log_path

    def fblocks(self) -> List[FBlock]:
        """The catalog's FBlocks with their instances, functions and operations.

        Raises ManagerClosed after the manager was closed, Error when the
        catalog was closed.
        """
        return [
            FBlock(fb_id, fb_name, tuple(
                Instance(inst_id, device, tuple(
                    Function(fn_id, fn_name, tuple(Operation(code, op_name)
                                                   for code, op_name in ops))
                    for fn_id, fn_name, ops in functions))
                for inst_id, device, functions in instances))
            for fb_id, fb_name, instances in self._manager._tree(self.channel, self.name)
        ]

    def close(self) -> None:
        """Closes the catalog in its manager (decoding no longer finds it)."""
        self._manager._close_catalog(self.channel, self.name)

    def __repr__(self) -> str:
        return f"<Catalog {self.name!r} on channel {self.channel} from {self.path!r}>"


_DEFAULT = object()


class Manager(_Manager):
    """A catalog manager of the library: opens catalogs, decodes and encodes.

    Use it as a context manager, or call ``close()``; a manager that is
    garbage-collected is closed as well. Every call on a closed manager raises
    ManagerClosed. Objects it returned stay usable.
    """

    def __init__(self, name: str = "python") -> None:
        if not isinstance(name, str):
            raise TypeError(f"name must be a str, not {type(name).__name__}")
        super().__init__(name)

    def __enter__(self) -> "Manager":
        if self.closed:
            raise ManagerClosed()
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __repr__(self) -> str:
        state = "closed" if self.closed else "open"
        return f"<mostfcat.Manager ({state})>"

    def open(self, path: Union[str, "os.PathLike[str]"], channel: int = 0, *,
             name: Optional[str] = None, log_path: object = _DEFAULT) -> Catalog:
        """Opens a catalog: imports its XML file, or loads its current cache.

        channel is the bus channel (1 to 16; 0: every channel). name is the
        name to keep it under (default: the file name; the manager keeps names
        unique). log_path is where the import log goes: by default the catalog
        path with the extension .log, None for no log.

        Raises CatalogNotFound when the file does not exist, ImportFailed
        (with ``log_path``) when the import failed.
        """
        if not isinstance(path, (str, os.PathLike)):
            raise TypeError(f"path must be a str or path-like, not {type(path).__name__}")
        shown = os.fsdecode(os.fspath(path))
        full = os.path.abspath(shown)
        if name is not None and not isinstance(name, str):
            raise TypeError(f"name must be a str, not {type(name).__name__}")
        if log_path is _DEFAULT:
            log: Optional[str] = os.path.splitext(full)[0] + ".log"
        elif log_path is None:
            log = None
        elif isinstance(log_path, (str, os.PathLike)):
            log = os.path.abspath(os.fsdecode(os.fspath(log_path)))
        else:
            raise TypeError(f"log_path must be a str, path-like or None, "
                            f"not {type(log_path).__name__}")

        if not os.path.exists(full):
            raise CatalogNotFound(f"cannot read {shown}: no such file", shown)
        if os.path.isdir(full):
            raise CatalogNotFound(f"cannot read {shown}: it is a folder, not a file", shown)
        status, opened = self._open(full, channel, name or "", log or "")
        if status == 0:
            return Catalog(self, opened, full, channel, log)
        if status == 2:
            raise CatalogNotFound(f"cannot read {shown}", shown)
        written = log if log and os.path.isfile(log) else None
        text = f"import of {shown} failed"
        reason = _failure_reason(written)
        if reason:
            text += f": {reason}"
        if status > 2:
            text += f" (cache error {status})"
        if written:
            text += f" (log: {written})"
        raise ImportFailed(text, shown, written,
                           _status.OPEN_STATUS3 if status == 3 else _status.INVALID)

    def telegrams(self, lines: Union[bytes, str, Iterable[Union[bytes, str]]], *,
                  most150: bool = False, channel: int = 0,
                  options: int = ALL_OPTIONS) -> Iterator[Union["Reassembled", "TelegramFault"]]:
        """Puts control telegrams together and decodes the messages they carry.

        lines: telegram lines ("[TIME] [SRC:] BYTES" or JSON capture lines), as
        an iterable of lines or as one bytes/str text. Yields a Reassembled for
        each complete message (decoded as ``decode`` decodes its payload) and a
        TelegramFault for each fault; at the end, messages still incomplete are
        reported as faults.
        """
        if isinstance(lines, (bytes, str)):
            lines = lines.splitlines()
        t = _Telegrams(most150)
        for line in lines:
            if isinstance(line, str):
                line = line.encode("utf-8")
            yield from self._telegram_results(t.feed(line.rstrip(b"\r\n")), channel, options)
        yield from self._telegram_results(t.feed(b"", True), channel, options)

    def _telegram_results(self, results, channel, options):
        for r in results:
            if r[0] == "fault":
                yield TelegramFault(r[1], r[2].decode("utf-8", "replace") or None)
                continue
            _, fb, inst, fkt, op, payload, time, source, count = r
            msg = self.decode(fb, inst, fkt, op, payload, channel=channel, options=options)
            yield Reassembled(msg, time, source, count)

    def catalogs(self, channel: int = 0) -> List[str]:
        """The names of the catalogs open on a channel (0: every channel)."""
        return self._catalog_names(channel)


@dataclass(frozen=True)
class Reassembled:
    """A message put together from telegrams: its decode, the time stamp of its
    last telegram and its source node (None where the lines gave none), and
    how many telegrams carried it."""

    message: DecodedMessage
    time: Optional[float]
    source: Optional[int]
    telegrams: int


@dataclass(frozen=True)
class TelegramFault:
    """A fault in a telegram stream: what happened (with the coordinates) and
    the line that caused it, where one did."""

    error: str
    input: Optional[str]


def diff(old: Union[str, "os.PathLike[str]"],
         new: Union[str, "os.PathLike[str]"]) -> List[dict]:
    """Compares two versions of a catalog; returns the changes as
    ``mostfcat diff --json`` lists them (dicts with "change", "item", "class",
    the coordinates that apply, "old", "new" and "detail").

    Raises CatalogNotFound or ImportFailed when a catalog cannot be opened.
    """
    import json
    with Manager("diff-old") as a, Manager("diff-new") as b:
        ca = a.open(old, 1, log_path=None)
        cb = b.open(new, 1, log_path=None)
        return json.loads(_diff_json(a, 1, ca.name, b, 1, cb.name))["changes"]


_PARSER_LINE = re.compile(r"^(Fatal error|Error) at file '.*': Line: (\d+), Char: (\d+)\s*$")


def _failure_reason(log_path: Optional[str]) -> str:
    """The XML parser's first error in an import log, shortened; or ''."""
    if not log_path:
        return ""
    try:
        with open(log_path, encoding="latin-1") as f:
            lines = f.read().splitlines()
    except OSError:
        return ""
    for i, line in enumerate(lines):
        m = _PARSER_LINE.match(line)
        if m and i + 1 < len(lines) and lines[i + 1].strip().startswith("Message:"):
            text = lines[i + 1].strip()[len("Message:"):].strip()
            return f"XML {m.group(1).lower()} at line {m.group(2)}, column {m.group(3)}: {text}"
    return ""
