"""The module against the command-line tool: the same decoding, and
`python3 -m mostfcat decode` writing what `mostfcat decode --json` writes."""

import json
import random
import subprocess
import warnings

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
    return subprocess.run([cli, *args], input=stdin, capture_output=True, check=False,
                          timeout=120)


def test_decode_equals_the_tools_json(opened, catalog, cli):
    lines = sample_messages(catalog)
    out = tool(cli, "decode", catalog, "--json", stdin="\n".join(lines).encode())
    assert (out.returncode, out.stderr) == (
        1, b"mostfcat: 3 of %d messages could not be decoded (3 unknown messages)\n" % len(lines))
    expected = [json.loads(line) for line in out.stdout.decode().splitlines()]
    assert len(expected) == len(lines)
    for line, want in zip(lines, expected):
        at, payload = line.split(":")
        fb, inst, fkt, op = (int(x, 16) for x in at.split("."))
        got = opened.decode(fb, inst, fkt, op, bytes.fromhex(payload)).to_json()
        assert got == want and list(got) == list(want), line


@pytest.mark.parametrize("options, channel", [("0xFFFFFFFF", "1"), ("0", "2"), ("0x48", "0")])
def test_python_m_decode_writes_the_tools_bytes(catalog, cli, options, channel):
    lines = sample_messages(catalog, seed=int(options, 16) % 97)
    # A NUL byte spoils only its own line; lines end at \n only.
    stdin = ("# a trace\n\n" + "\n".join(lines) + "\n  22.01.400.C : 3c 4 \r\nzz\n"
             "1.2.3:44\n22.01.400.C:3g\n12.50 22.01.400.C:3C\r\n").encode() + \
        b"22.01.400.C:3C\x0022\n22.01.400.C:\xe93C\n22.01.400.C:3C"
    want = tool(cli, "decode", catalog, "--json", "--options", options, stdin=stdin)
    got = run_python("-m", "mostfcat", "decode", catalog, "--options", options, stdin=stdin)
    assert (got.returncode, got.stdout, got.stderr) == (want.returncode, want.stdout, want.stderr)
    assert b"not be decoded (6 malformed, 3 unknown messages)" in got.stderr
    assert got.stdout.count(b"\n") == len(lines) + 8
    # Messages as arguments, on a channel.
    args = ["22.01.400.C:3C", "22.02.404.C:FD0203", "40.01.401.C:0203414243", "01.00.000.C:",
            "12.5 22.03.400.C:3C", "22.01.400:3C"]
    want = tool(cli, "decode", catalog, "--json", "--channel", channel, *args)
    got = run_python("-m", "mostfcat", "decode", catalog, f"--channel={channel}", *args)
    assert (got.returncode, got.stdout, got.stderr) == (want.returncode, want.stdout, want.stderr)
    assert got.returncode == 1 and got.stdout.count(b"\n") == len(args)


W = mostfcat.UnsetValuesWarning
F = mostfcat.InstanceFallbackWarning


# The tool and the module on the same inputs. Decode: MESSAGE and fields the
# JSON object must hold. Encode: FB.INST.FKT.OP, values, and the payload, the
# warning class or the exception expected (the tool refuses the same texts).
@pytest.mark.parametrize("case", [
    ("decode", "01.00.014.C:01 02 48 69 C3 A9 00", {"value": "Hi\u00e9"}),  # UTF-8
    ("decode", "01.00.014.C:01 00 00 48 00 E9 20 AC 00 00", {"value": "H\u00e9\u20ac"}),
    ("decode", "01.00.014.C:01 01 48 E9 A4 00", {"value": "H\u00e9\u20ac"}),  # ISO 8859-15
    ("decode", "22.01.402.C:FFF6", {"value": "-1.0", "unit": "dB", "numeric": -1.0}),
    ("decode", "22.01.400.C:FF", {"value": "255", "out_of_range": True}),
    ("decode", "22.02.400.C:3C", {"instance": "Inst02", "device": "AmplifierRear"}),
    ("decode", "22.03.400.C:3C", {"instance": "Inst03", "instance_fallback": True}),
    ("encode", "22.01.402.0", {"Balance": "-1.0"}, b"\xff\xf6"),
    ("encode", "22.01.402.0", {"Balance": -1.05}, mostfcat.EncodeError),
    ("encode", "22.01.400.0", {"Volume": 60.0}, b"\x3c"),
    ("encode", "22.01.400.0", {"Volume": 255}, mostfcat.EncodeError),
    ("encode", "22.01.400.0", {"Volume": "1", "VOLUME": "2"}, mostfcat.EncodeError),
    ("encode", "22.01.400.0", {"Volume": float("nan")}, ValueError),
    ("encode", "22.01.400.0", {"Volume": float("-inf")}, ValueError),
    ("encode", "22.03.400.0", {"Volume": 60}, F),
    ("encode", "22.01.404.0", {"Tone.Bass": -3}, W),
    ("encode", "01.00.014.C", {"ID": "Product name", "Info": "H\u00e9\u20ac"},
     b"\x01\x01H\xe9\xa4\x00"),
    ("encode", "40.01.401.C", {"Stations.Station[1].ProgramService": "\u4e2d"},
     mostfcat.EncodeError),
], ids=lambda case: f"{case[0]} {case[1]}")
def test_tool_and_module_agree(opened, catalog, cli, case):
    if case[0] == "decode":
        _, line, fields = case
        want = json.loads(tool(cli, "decode", catalog, "--json", line).stdout)
        at, payload = line.split(":")
        msg = opened.decode(*(int(x, 16) for x in at.split(".")), bytes.fromhex(payload))
        got = msg.to_json()
        assert got == want and list(got) == list(want)
        shown = {**got, **got["params"][-1]}
        assert {k: shown.get(k) for k in fields} == fields
        p = msg.params[-1]
        assert (p.value, p.out_of_range, msg.instance_name, msg.device_name,
                msg.instance_fallback) == (
            fields.get("value", p.value), fields.get("out_of_range", False),
            shown["instance"], shown.get("device", ""), fields.get("instance_fallback", False))
        return
    _, at, values, expected = case
    texts = [f"{k}={v!r}" if isinstance(v, float) else f"{k}={v}" for k, v in values.items()]
    run = tool(cli, "encode", catalog, at, *texts)
    said = run.stderr.decode().replace("mostfcat: ", "").replace("warning: ", "").strip()
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            got = opened.encode(*(int(x, 16) for x in at.split(".")), values)
        except (mostfcat.EncodeError, ValueError) as e:
            assert run.returncode == 1 and type(e) is expected
            assert str(e) == said or type(e) is ValueError
            return
    assert run.returncode == 0 and got == bytes.fromhex(run.stdout.decode())
    if isinstance(expected, bytes):
        assert got == expected and not caught
    else:
        assert [(w.category, str(w.message)) for w in caught] == [(expected, said)]


@pytest.mark.parametrize("args, status, text", [
    (["decode"], 2, b"decode needs a catalog file"),
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
