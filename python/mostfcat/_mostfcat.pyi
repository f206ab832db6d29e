# The compiled part of the mostfcat package, for editors and type checkers.
from typing import Any, Dict, List, Mapping, Optional, Tuple, Union

__version__: str

Json = Dict[str, Any]

class Param:
    """One entry of a decoded message: a parameter, the head of a structure
    (record, array, stream) or a diagnostic (kind 1). Texts are '' where the
    library gave none; numeric is None where the entry has no numeric value."""

    @property
    def name(self) -> str: ...
    @property
    def kind(self) -> int: ...
    @property
    def level(self) -> int: ...
    @property
    def position(self) -> int: ...
    @property
    def hex(self) -> str: ...
    @property
    def decimal(self) -> str: ...
    @property
    def value(self) -> str: ...
    @property
    def unit(self) -> str: ...
    @property
    def numeric(self) -> Optional[float]: ...
    @property
    def out_of_range(self) -> bool: ...
    @property
    def undefined(self) -> bool: ...
    def to_json(self) -> Json:
        """The entry as `mostfcat decode --json` writes it."""
    def __eq__(self, other: object) -> bool: ...

class DecodedMessage:
    """A decoded message: coordinates, payload, resolved names and entries."""

    channel: int
    fblock_id: int
    instance_id: int
    function_id: int
    op_type: int
    options: int
    data: bytes
    fblock_name: str
    instance_name: str
    device_name: str
    instance_fallback: bool
    function_name: str
    operation_name: str
    error: Optional[str]
    params: Tuple[Param, ...]
    @property
    def ok(self) -> bool: ...
    def to_json(self) -> Json:
        """The message as `mostfcat decode --json` writes it."""

class _Manager:
    def __init__(self, name: str = "python") -> None: ...
    @property
    def closed(self) -> bool: ...
    def close(self) -> None: ...
    def decode(self, fblock: int, instance: int, function: int, operation: int,
               data: Union[bytes, bytearray, memoryview] = b"", channel: int = 0,
               options: int = 0xFFFFFFFF) -> DecodedMessage:
        """Decodes a payload into its parameters."""
    def encode(self, fblock: int, instance: int, function: int, operation: int,
               values: Optional[Mapping[str, Union[str, int, float]]] = None,
               channel: int = 0, raw: bool = False) -> bytes:
        """Builds the payload of a message from values set by name."""
    def compile_layouts(self, channel: int = 0) -> int:
        """Compiles every operation's layout now instead of at its first decode."""
    def _open(self, path: str, channel: int, name: str, log_path: str) -> Tuple[int, str]: ...
    def _close_catalog(self, channel: int, name: str) -> bool: ...
    def _catalog_names(self, channel: int) -> List[str]: ...
    def _tree(self, channel: int, name: str) -> List[Tuple[int, str, List[Any]]]: ...
    def _trace_decoder(self, channel: int = 0, options: int = 0xFFFFFFFF,
                       json: bool = True) -> _TraceDecoder: ...

class _TraceDecoder:
    def line(self, line: Union[bytes, bytearray, memoryview]) -> bytes: ...
    def summary(self) -> str: ...
