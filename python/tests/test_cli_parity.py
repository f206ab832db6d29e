"""The module against the command-line tool: the same decoding, and
`python3 -m mostfcat decode` writing what `mostfcat decode --json` writes."""

import json
import random
import subprocess

import pytest

import mostfcat

from conftest import run_python


def sample_messages(catalog, seed=11):
    """Every operation of the catalog with random payloads of 0 to 24 bytes,
    plus coordinates that do not resolve; as FBLOCK.INST.FKT.OP:HEX."""
    rng = random.Random(seed)
    lines = []
    with mostfcat.Manager() as mgr:
        for fb in mgr.open(catalog, log_path=None).fblocks():
            for inst in fb.instances:
                for fn in inst.functions:
                    for op in fn.operations:
                        for n in (0, rng.randrange(1, 25)):
                            payload = bytes(rng.randrange(256) for _ in range(n))
                            lines.append(f"{fb.id:02X}.{inst.id:02X}.{fn.id:03X}."
                                         f"{op.op_type:X}:{payload.hex(' ')}")
    return lines + ["99.01.000.0:00", "22.07.400.C:3C", "22.01.999.0:", "22.01.400.5:0102"]


def tool(cli, *args, stdin=b""):
    run = subprocess.run([cli, *args], input=stdin, capture_output=True, check=False,
                         timeout=120)
    return run


def test_decode_equals_the_tools_json(opened, catalog, cli):
    lines = sample_messages(catalog)
    out = tool(cli, "decode", catalog, "--json", stdin="\n".join(lines).encode())
    assert out.returncode == 0, out.stderr
    expected = [json.loads(line) for line in out.stdout.decode().splitlines()]
    assert len(expected) == len(lines)
    for line, want in zip(lines, expected):
        at, payload = line.split(":")
        fb, inst, fkt, op = (int(x, 16) for x in at.split("."))
        got = opened.decode(fb, inst, fkt, op, bytes.fromhex(payload)).to_json()
        assert got == want, line


@pytest.mark.parametrize("options", ["0xFFFFFFFF", "0", "0x48"])
def test_python_m_decode_writes_the_tools_bytes(catalog, cli, options):
    lines = sample_messages(catalog, seed=int(options, 16) % 97)
    stdin = ("# a trace\n\n" + "\n".join(lines) + "\n  22.01.400.C : 3c 4 \r\nzz\n"
             "1.2.3:44\n22.01.400.C:3g\n").encode()
    want = tool(cli, "decode", catalog, "--json", "--options", options, stdin=stdin)
    got = run_python("-m", "mostfcat", "decode", catalog, "--options", options, stdin=stdin)
    assert (got.returncode, got.stderr) == (0, b"")
    assert want.returncode == 0 and got.stdout == want.stdout
    assert b'"error":"malformed message: the payload is not hexadecimal"' in got.stdout


def test_python_m_decode_with_arguments_and_channels(catalog, cli):
    args = ["22.01.400.C:3C", "22.02.404.C:FD0203", "40.01.401.C:0203414243", "01.00.000.C:"]
    for channel in ("1", "2", "0"):
        want = tool(cli, "decode", catalog, "--json", "--channel", channel, *args)
        got = run_python("-m", "mostfcat", "decode", catalog, f"--channel={channel}", *args)
        assert got.returncode == 0 and got.stdout == want.stdout


@pytest.mark.parametrize("args, status, text", [
    (["decode"], 2, b"decode needs a catalog file"),
    (["decode", "CATALOG", "22.01.400:3C"], 2, b"expected four hexadecimal coordinates"),
    (["decode", "CATALOG", "--channel", "17"], 2, b"--channel takes 1 to 16"),
    (["decode", "CATALOG", "--options", "-1"], 2, b"--options takes a 32-bit number"),
    (["decode", "CATALOG", "--frobnicate"], 2, b"unknown option '--frobnicate'"),
    (["decode", "MISSING"], 2, b"no such file"),
    (["encode"], 2, b"unknown command 'encode'"),
])
def test_python_m_decode_usage_errors(catalog, args, status, text):
    args = [a.replace("CATALOG", catalog).replace("MISSING", catalog + ".none.xml")
            for a in args]
    got = run_python("-m", "mostfcat", *args)
    assert got.returncode == status and text in got.stderr and got.stdout == b""
