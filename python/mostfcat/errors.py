"""The exceptions and warnings of the mostfcat module.

Every failure the library reports becomes one of these exceptions; each
carries the library's status code (the ``MOSTFCAT_*`` codes of the C
interface) in ``status``. Wrong argument types and values out of range raise
the usual ``TypeError`` and ``ValueError`` instead. What encoding does on
the caller's behalf without failing is said by a warning.
"""

from __future__ import annotations

import errno
from typing import Optional

# Status codes of the C interface (include/mostfcat/fct.h).
OK = 0
NOT_FOUND = 1
INVALID = 2
FILE_MISSING = 3
OPEN_STATUS3 = 4
BAD_CHANNEL = 10
NO_FBLOCK = 11
NO_FUNCTION = 12
NO_OPERATION = 13
NO_PARAM = 14
NO_SYMBOL = 15
BUFFER_SMALL = 20


class Error(Exception):
    """A failure reported by the library.

    ``status`` is the library's status code; ``str(error)`` says what
    happened in one line.
    """

    def __init__(self, message: str, status: int = INVALID) -> None:
        super().__init__(message)
        self.message = message
        self.status = status

    def __str__(self) -> str:
        return self.message


class ManagerClosed(Error):
    """The manager was closed; nothing more can be done with it."""

    def __init__(self, message: str = "the catalog manager is closed",
                 status: int = INVALID) -> None:
        super().__init__(message, status)


class CatalogNotFound(Error, FileNotFoundError):
    """The catalog file does not exist or cannot be read."""

    def __init__(self, message: str, path: str = "",
                 status: int = FILE_MISSING) -> None:
        Error.__init__(self, message, status)
        self.errno = errno.ENOENT
        self.filename = path
        self.path = path

    def __str__(self) -> str:
        return self.message


class ImportFailed(Error):
    """The catalog could not be imported (or its cache not loaded).

    ``log_path`` names the import log that says why, or is None when no
    log was written.
    """

    def __init__(self, message: str, path: str = "",
                 log_path: Optional[str] = None,
                 status: int = INVALID) -> None:
        super().__init__(message, status)
        self.path = path
        self.log_path = log_path


class EncodeError(Error):
    """A value could not be put into a message.

    ``param`` is the parameter name the failure is about, or None when the
    message itself does not exist in the open catalogs.
    """

    def __init__(self, message: str, param: Optional[str] = None,
                 status: int = INVALID) -> None:
        super().__init__(message, status)
        self.param = param


class UnsetValuesWarning(UserWarning):
    """Manager.encode left parameters without a value: they are written as
    zero bytes. The message names them."""


class InstanceFallbackWarning(UserWarning):
    """The FBlock lacks the addressed instance: Manager.encode used the
    layout of its lowest instance. The message names both."""
