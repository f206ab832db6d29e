"""Fixtures of the mostfcat module's tests.

The tests run on the module of a build folder (PYTHONPATH, set by CTest) and
on copies of the bundled sample catalog in temporary folders, so that import
logs and caches never land in the source tree.
"""

import os
import shutil
import subprocess
import sys

import pytest

import mostfcat

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.environ.get("MOSTFCAT_SAMPLE_CATALOG") or os.path.join(
    HERE, "..", "..", "examples", "catalogs", "sample_catalog.xml")
CLI = os.environ.get("MOSTFCAT_CLI", "")


@pytest.fixture
def catalog(tmp_path):
    """A copy of the sample catalog in a temporary folder."""
    path = tmp_path / "sample_catalog.xml"
    shutil.copyfile(SAMPLE, path)
    return str(path)


@pytest.fixture
def manager():
    with mostfcat.Manager() as mgr:
        yield mgr


@pytest.fixture
def opened(manager, catalog):
    """A manager with the sample catalog open on every channel."""
    manager.open(catalog)
    return manager


@pytest.fixture
def cli():
    if not CLI or not os.path.isfile(CLI):
        pytest.skip("MOSTFCAT_CLI does not name the built mostfcat tool")
    return CLI


def run_python(*args, stdin=b"", cwd=None):
    """Runs the interpreter of the tests with the same module path."""
    return subprocess.run([sys.executable, *args], input=stdin, capture_output=True,
                          cwd=cwd, env=dict(os.environ), check=False, timeout=120)
