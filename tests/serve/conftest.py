"""A "mostfcat serve" on 127.0.0.1 over the sample catalog with markup in a description."""

import html
import json
import os
import re
import select
import shutil
import signal
import subprocess
import urllib.error
import urllib.request

import pytest

CLI = os.environ.get("MOSTFCAT_CLI", "")
SAMPLE = os.environ.get("MOSTFCAT_SAMPLE_CATALOG", "")
MARKUP = '<script>window.pwned=1</script><img src=x onerror="window.pwned=2"> Left/right'


def start(*args):
    """Starts the server; returns the process and the URL it prints."""
    proc = subprocess.Popen([CLI, "serve", *args, "--host", "127.0.0.1", "--port", "0"],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    found = select.select([proc.stdout], [], [], 20)[0] and re.search(r"http://127\.0\.0\.1:\d+/", proc.stdout.readline())
    if not found:
        proc.kill()
        pytest.fail("the server printed no URL: " + proc.communicate(timeout=10)[1])
    return proc, found.group(0)


def stop(proc, sig=signal.SIGTERM):
    proc.send_signal(sig)
    out, err = proc.communicate(timeout=10)
    return proc.returncode, out, err


def call(url, path, body=None, headers=None):
    """One request; returns the status and the JSON reply."""
    data = body if isinstance(body, (bytes, type(None))) else json.dumps(body).encode()
    headers = {"Content-Type": "application/json", **(headers or {})}
    request = urllib.request.Request(url.rstrip("/") + path, data=data, headers=headers)
    try:
        with urllib.request.urlopen(request, timeout=20) as reply:
            return reply.status, json.loads(reply.read())
    except urllib.error.HTTPError as e:
        return e.code, json.loads(e.read())


@pytest.fixture(scope="session")
def catalog(tmp_path_factory):
    text = open(SAMPLE, encoding="utf-8").read()
    text = text.replace("<FunctionDescription>Left/right", "<FunctionDescription>" + html.escape(MARKUP), 1)
    path = tmp_path_factory.mktemp("serve") / "markup_catalog.xml"
    path.write_text(text, encoding="utf-8")
    return str(path)


@pytest.fixture(scope="session")
def server(catalog):
    proc, url = start(catalog)
    yield url
    assert stop(proc)[0] == 0
