"""Telegrams put together in Python, and catalog versions compared: the same
results the library gives the tool."""
import mostfcat

# NetBlock.DeviceInfo.Status of the sample: a product name, 25 bytes, which
# takes three MOST50 telegrams.
PAYLOAD = b"\x01\x02Hello World Amplifier\x00"


def split(payload, src="0180: "):
    """The telegram lines a sender's segments make, data field padded."""
    chunks = [payload[i:i + 11] for i in range(0, len(payload), 11)]
    lines = []
    for n, c in enumerate(chunks):
        tel_id = 1 if n == 0 else 3 if n == len(chunks) - 1 else 2
        data = bytes([n]) + c
        frame = bytes([1, 0, 0x01, 0x4C, tel_id << 4 | len(data)]) + data
        lines.append(f"1.{n:03d} {src}" + (frame + bytes(17 - len(frame))).hex(" "))
    return lines


def test_reassembled_decodes_as_whole_payload(opened):
    got = list(opened.telegrams("\n".join(split(PAYLOAD))))
    assert [type(g).__name__ for g in got] == ["Reassembled"]
    whole = opened.decode(1, 0, 0x14, 0xC, PAYLOAD)
    assert (got[0].time, got[0].source, got[0].telegrams) == (1.002, 0x180, 3)
    assert got[0].message.to_json() == whole.to_json()


def test_faults_are_yielded_and_the_run_goes_on(opened):
    lines = split(PAYLOAD)
    got = list(opened.telegrams([lines[1].encode(), b"zz", lines[0]]))
    assert [type(g).__name__ for g in got] == ["TelegramFault"] * 3
    assert "middle segment of 01.00.014.C from node 0180" in got[0].error
    assert got[1].input == "zz"
    assert "at the end of the input" in got[2].error and got[2].input is None


def test_diff_lists_a_removed_function(tmp_path, catalog):
    text = open(catalog, encoding="latin-1").read()
    start = text.index("<Function>", text.index("<FunctionID>0x014</FunctionID>") - 200)
    end = text.index("</Function>", start) + len("</Function>")
    new = tmp_path / "new.xml"
    new.write_text(text[:start] + text[end:], encoding="latin-1")
    assert mostfcat.diff(catalog, catalog) == []
    changes = mostfcat.diff(catalog, str(new))
    assert [(c["change"], c["item"], c["class"], c["function"]) for c in changes] == [
        ("removed", "function", "breaking", 0x14)]
