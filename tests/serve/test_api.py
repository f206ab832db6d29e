"""The JSON API of "mostfcat serve" against the command-line tool, bad and misbehaving clients."""

import concurrent.futures
import json
import shutil
import signal
import socket
import subprocess
import time

import pytest

from conftest import CLI, call, start, stop

LINES = ["22.01.400.C:3C", "12.500134 22.02.402.C:FF F1", "22.01.401.C:01", "zz", "# note", "",
         "22.01.999.C:00", "22.01.400.C:3", "22.01.400.C:3C\r"]


def cli(*args, stdin=""):
    return subprocess.run([CLI, *args], input=stdin, capture_output=True, text=True, timeout=60)


def test_outline_is_list_json(server, catalog):
    status, outline = call(server, "/api/outline")
    assert status == 200 and outline["catalogs"] == [json.loads(cli("list", catalog, "--json").stdout)]


@pytest.mark.parametrize("form, flags", [("text", []), ("lines", []), ("lines", ["telegrams"]),
                                         ("lines", ["telegrams", "most150"])])
def test_decode_matches_cli(server, catalog, form, flags):
    lines = LINES + ["1.25 0180: 31 02 20 1C 06 02 00 00 00 BF 68 00 00 00 00 00 00"]
    body = {"text": "\n".join(lines)} if form == "text" else {"lines": lines}
    expected = cli("decode", catalog, "--json", *["--" + f for f in flags], stdin="\n".join(lines))
    body.update({f: True for f in flags})
    assert call(server, "/api/decode", body) == (200, [json.loads(line) for line in expected.stdout.splitlines()])


@pytest.mark.parametrize("message, values, status, param", [
    ("22.01.400.0", {"Volume": "42"}, 200, None),
    ("22.01.402.0", {"Balance": "-1.5"}, 200, None),
    ("22.01.401.0", {"Mute.Bit0": "Muted"}, 200, None),
    ("01.00.014.C", {"ID": "Product name", "Info": "Amp <b>"}, 200, None),
    ("22.01.400.0", {"Volume": "420"}, 422, "Volume"),
    ("22.01.400.0", {"Volume": "42.5"}, 422, "Volume"),
    ("22.01.400.0", {"Volum": "1"}, 422, "Volum"),
    ("22.01.999.0", {}, 422, "message"),
    ("22.01.400", {}, 422, "message"),
    ("22.01.400.0", {"Volume": 42}, 400, "Volume"),
])
def test_encode_matches_cli(server, catalog, message, values, status, param):
    got_status, reply = call(server, "/api/encode", {"message": message, "values": values})
    run = cli("encode", catalog, message, *[k + "=" + str(v) for k, v in values.items()])
    assert (got_status, reply.get("param")) == (status, param)
    if status == 200:
        assert reply["payload"] == run.stdout.strip() and reply["decoded"]["payload"] == reply["payload"]
    elif status == 422:
        assert run.returncode != 0 and reply["error"]


@pytest.mark.parametrize("path, body, headers, status", [
    ("/api/decode", b"{\"text\": ", {}, 400),
    ("/api/decode", b"[1]", {}, 400),
    ("/api/decode", {"text": "x", "lines": []}, {}, 400),
    ("/api/decode", {"text": 5}, {}, 400),
    ("/api/decode", {"text": "x", "most150": True}, {}, 400),
    ("/api/decode", b"\xff\xfe", {}, 400),
    ("/api/decode", b"x" * (9 << 20), {}, 413),
    ("/api/encode", b"--b\r\n", {"Content-Type": "multipart/form-data; boundary=b"}, 415),
    ("/api/form", None, {}, 400),
    ("/api/outline", None, {"Host": "rebound.example:80"}, 403),
    ("/api/nothing", None, {}, 404),
    ("/../../etc/passwd", None, {}, 404),
    ("/index.html", None, {}, 404),
])
def test_bad_requests_get_error_objects(server, path, body, headers, status):
    got, reply = call(server, path, body, headers)
    assert got == status and reply["error"]


def test_misbehaving_clients_leave_others_served(server, catalog):
    host, port = server[7:-1].split(":")
    idle = [socket.create_connection((host, int(port)), timeout=5) for _ in range(20)]
    for i, s in enumerate(idle):
        s.sendall(b"GET / HTTP/1.1\r\nHost: 127" if i % 2 else b"\x00\xff garbage\r\n\r\n")
    expected, started = call(server, "/api/decode", {"lines": LINES}), time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(6) as pool:
        results = list(pool.map(lambda _: call(server, "/api/decode", {"lines": LINES}), range(30)))
    assert results == [expected] * 30 and time.monotonic() - started < 4
    for s in idle:
        s.close()


@pytest.mark.parametrize("sig", [signal.SIGINT, signal.SIGTERM])
def test_signal_stops_cleanly(catalog, tmp_path, sig):
    proc, url = start(catalog, shutil.copy(catalog, tmp_path / "second.xml"))
    assert len(call(url, "/api/outline")[1]["catalogs"]) == 2
    code, out, _ = stop(proc, sig)
    assert code == 0 and "stopped" in out


@pytest.mark.parametrize("args", [[], ["x.xml"], ["{c}", "--port", "http"], ["{c}", "--port", "70000"],
                                  ["{c}", "--channel", "17"]])
def test_usage_errors(catalog, args):
    run = cli("serve", *[a.format(c=catalog) for a in args])
    assert run.returncode == 2 and run.stderr.startswith("mostfcat: ")
