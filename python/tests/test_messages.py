"""Decoding payloads and encoding values on the sample catalog."""

import array

import pytest

import mostfcat
from mostfcat import Kind


def fields(msg):
    return [(p.name, p.kind, p.level, p.position, p.hex, p.value, p.unit, p.numeric)
            for p in msg.params]


def test_decode_names_the_message_and_its_values(opened):
    msg = opened.decode(channel=1, fblock=0x22, instance=1, function=0x400, operation=0xC,
                        data=b"\x3c")
    assert msg.ok and msg.error is None
    assert (msg.fblock_name, msg.instance_name, msg.function_name, msg.operation_name) == (
        "AudioAmplifier", "Inst01", "Volume", "Status")
    assert (msg.device_name, msg.instance_fallback) == ("AmplifierFront", False)
    assert (msg.channel, msg.fblock_id, msg.instance_id, msg.function_id, msg.op_type) == (
        1, 0x22, 1, 0x400, 0xC)
    assert msg.data == b"\x3c" and msg.options == mostfcat.ALL_OPTIONS
    [p] = msg.params
    assert (p.name, p.value, p.unit, p.numeric, p.decimal, p.hex) == (
        "Volume", "60", "%", 60.0, "60", "3C")
    assert repr(p) == ("Param(name='Volume', kind=8, level=0, position=0, hex='3C', "
                       "decimal='60', value='60', unit='%', numeric=60.0)")
    assert repr(msg) == "<DecodedMessage 22.01.400.C 'AudioAmplifier.Inst01.Volume.Status', 1 param>"


def test_structures_and_diagnostics_are_entries(opened):
    tone = opened.decode(0x22, 1, 0x404, 0xC, bytes([0xFD, 2, 3, 0xAA]))
    assert fields(tone) == [
        ("Tone", Kind.RECORD, 0, 0, "", "", "", None),
        ("Bass", Kind.NUMBER, 1, 0, "FD", "-3", "dB", -3.0),
        ("Middle", Kind.NUMBER, 1, 1, "02", "2", "dB", 2.0),
        ("Treble", Kind.NUMBER, 1, 2, "03", "3", "dB", 3.0),
        ("# Bytes left #", Kind.DIAGNOSTIC, 0, 3, "AA", "", "", None)]
    short = opened.decode(0x22, 1, 0x400, 0xC, b"")
    assert [(p.kind, p.name) for p in short.params] == [
        (Kind.DIAGNOSTIC, "# Position of parameter 'Volume' exceeds message length #")]
    # Without the option bits for texts, heads, diagnostics and numbers only
    # bare entries remain; with the numbers bit they carry their values.
    bare = opened.decode(0x22, 1, 0x404, 0xC, bytes([0xFD, 2, 3, 0xAA]), options=0)
    assert [(p.kind, p.name, p.hex, p.value, p.numeric) for p in bare.params] == [
        (Kind.NUMBER, "", "", "", None)] * 3
    numbers = opened.decode(0x22, 1, 0x404, 0xC, bytes([0xFD, 2, 3]), options=0x400000)
    assert [p.numeric for p in numbers.params] == [-3.0, 2.0, 3.0]


@pytest.mark.parametrize("at, error, names", [
    ((0x99, 1, 0, 0), "unknown message: no FBlock 99", ()),
    ((0x22, 1, 0x999, 0), "unknown message: no function 999", ("AudioAmplifier", "Inst01")),
    ((0x22, 1, 0x400, 5), "unknown message: no operation 5 of function 400",
     ("AudioAmplifier", "Inst01", "Volume")),
])
def test_unknown_coordinates_say_why(opened, at, error, names):
    msg = opened.decode(*at, b"\x01\x02")
    assert not msg.ok and msg.error == error
    got = (msg.fblock_name, msg.instance_name, msg.function_name, msg.operation_name)
    assert got == names + ("",) * (4 - len(names))
    # The payload is still shown, as one diagnostic.
    assert [(p.kind, p.hex) for p in msg.params] == [(Kind.DIAGNOSTIC, "0102")]


def test_payload_may_be_any_bytes_like_object(opened):
    want = fields(opened.decode(0x01, 0, 0x000, 0xC, b"\x22\x01\x22\x02"))
    for data in (bytearray(b"\x22\x01\x22\x02"), memoryview(b"xx\x22\x01\x22\x02")[2:],
                 array.array("B", [0x22, 1, 0x22, 2])):
        msg = opened.decode(0x01, 0, 0x000, 0xC, data)
        assert fields(msg) == want and msg.data == b"\x22\x01\x22\x02"
        assert type(msg.data) is bytes


def test_equal_entries_compare_equal(opened):
    a = opened.decode(0x22, 1, 0x404, 0xC, b"\x01\x02\x03").params
    b = opened.decode(0x22, 2, 0x404, 0xC, b"\x01\x02\x03").params
    c = opened.decode(0x22, 1, 0x404, 0xC, b"\x01\x02\x04").params
    assert a == b and a != c
    with pytest.raises(TypeError):
        hash(a[0])
    with pytest.raises(TypeError):
        mostfcat.Param()


@pytest.mark.parametrize("change, error, text", [
    ({"fblock": -1}, ValueError, "fblock must be from 0 to 0xFF, not -1"),
    ({"fblock": 0x100}, ValueError, "fblock must be from 0 to 0xFF"),
    ({"instance": 2 ** 64}, ValueError, "instance must be from 0 to 0xFF"),
    ({"function": 0x1000}, ValueError, "function must be from 0 to 0xFFF"),
    ({"operation": 16}, ValueError, "operation must be from 0 to 0xF"),
    ({"channel": 17}, ValueError, "channel must be from 0 to 16"),
    ({"options": 2 ** 32}, ValueError, "options must be from 0 to 0xFFFFFFFF"),
    ({"fblock": None}, TypeError, "fblock must be an int, not NoneType"),
    ({"fblock": 34.0}, TypeError, "fblock must be an int, not float"),
    ({"fblock": True}, TypeError, "fblock must be an int, not bool"),
    ({"fblock": "22"}, TypeError, "fblock must be an int, not str"),
    ({"data": None}, TypeError, "data must be bytes"),
    ({"data": "3c"}, TypeError, "bytes.fromhex"),
    ({"data": [60]}, TypeError, "data must be bytes"),
    ({"colour": 1}, TypeError, "unexpected keyword argument 'colour'"),
    ((0x22, 1, 0x400), TypeError, "missing required argument 'operation'"),
    ((0x22, 1, 0x400, 0xC, b"", 0, 0, 0), TypeError, "at most 7 arguments"),
])
def test_decode_refuses_bad_arguments(opened, change, error, text):
    args = dict(fblock=0x22, instance=1, function=0x400, operation=0xC, data=b"\x3c")
    with pytest.raises(error, match=text.replace("(", r"\(").replace(".", r"\.")):
        if isinstance(change, tuple):  # positional arguments
            opened.decode(*change)
        opened.decode(**{**args, **change})


def test_decode_argument_forms(opened):
    want = fields(opened.decode(fblock=0x22, instance=1, function=0x400, operation=0xC,
                                data=b"\x3c", channel=0, options=0xFFFFFFFF))
    assert fields(opened.decode(0x22, 1, 0x400, 0xC, b"\x3c", 0, 0xFFFFFFFF)) == want
    with pytest.raises(TypeError, match="multiple values for argument 'fblock'"):
        opened.decode(0x22, 1, 0x400, 0xC, fblock=1)
    # Without data the payload is empty.
    assert opened.decode(0x22, 1, 0x401, 0x1).params == ()


def decoded(mgr, at, payload):
    return {p.name: p.value for p in mgr.decode(*at, payload).params}


def test_encode_sets_values_by_name(opened):
    assert opened.encode(channel=1, fblock=0x22, instance=1, function=0x400, operation=0xC,
                         values={"Volume": "60"}) == b"\x3c"
    assert opened.encode(0x22, 1, 0x400, 0xC, {"volume": 7}) == b"\x07"  # any case, a number
    # Fields of a record; a field not given is written as zero, and said.
    with pytest.warns(mostfcat.UnsetValuesWarning, match=r"zero bytes\): Tone\.Middle$"):
        assert opened.encode(0x22, 1, 0x404, 0x0, {"Tone.Bass": "-3", "Tone.Treble": "5"}) == \
            b"\xfd\x00\x05"
    # A selector set first chooses the stream case that a later name reaches.
    with pytest.warns(mostfcat.UnsetValuesWarning, match=r"ErrorInfo\(6\)\.ParamData$"):
        payload = opened.encode(0x22, 1, 0x404, 0xF, {
            "ErrorCode": "Parameter wrong/out of range", "ErrorInfo(6).ParamNo": "3"})
    assert payload == b"\x06\x03"
    assert decoded(opened, (0x22, 1, 0x404, 0xF), payload)["ParamNo"] == "3"


def test_encode_adds_the_array_elements_a_name_needs(opened):
    with pytest.warns(mostfcat.UnsetValuesWarning):
        payload = opened.encode(0x01, 0, 0x000, 0x0, {
            "FBlockList.FBlockEntry[3].FBlockID": "0x22", "FBlockList.FBlockEntry[1].InstID": "1"})
    assert payload == bytes([0, 1, 0, 0, 0x22, 0])
    msg = opened.decode(0x01, 0, 0x000, 0x0, payload)
    assert [p.name for p in msg.params if p.kind == Kind.RECORD] == [
        "FBlockEntry[1]", "FBlockEntry[2]", "FBlockEntry[3]"]


@pytest.mark.parametrize("at, values, text, param, status", [
    ((0x22, 1, 0x400, 0xC), {"Loudness": "1"}, "no parameter Loudness in Volume.Status",
     "Loudness", mostfcat.errors.NO_PARAM),
    ((0x22, 1, 0x400, 0xC), {"Volume[": "1"}, "'Volume[' is not a parameter name", "Volume[",
     mostfcat.errors.NO_PARAM),
    ((0x22, 1, 0x400, 0xC), {"Volume": "loud"}, "Volume: 'loud' is not a number", "Volume",
     mostfcat.errors.INVALID),
    ((0x22, 1, 0x400, 0xC), {"Volume": "101"}, "Volume: '101' is outside the range 0..100",
     "Volume", mostfcat.errors.INVALID),
    ((0x01, 0, 0x000, 0x0), {"FBlockList.FBlockEntry[999].FBlockID": "1"},
     "no parameter FBlockList.FBlockEntry[999].FBlockID", "FBlockList.FBlockEntry[999].FBlockID",
     mostfcat.errors.NO_PARAM),
    ((0x40, 1, 0x401, 0xC), {"Stations.Station[1].ProgramService": "Radio \ud800"},
     "not valid Unicode", "Stations.Station[1].ProgramService", mostfcat.errors.INVALID),
    ((0x22, 1, 0x400, 0x5), {}, "unknown message: no operation 5 of function 400 (22.01.400.5)",
     None, mostfcat.errors.NO_OPERATION),
    ((0x23, 1, 0x400, 0xC), {}, "unknown message: no FBlock 23", None,
     mostfcat.errors.NO_FBLOCK),
])
def test_encode_errors_name_the_parameter(opened, at, values, text, param, status):
    with pytest.raises(mostfcat.EncodeError) as e:
        opened.encode(*at, values)
    assert text in str(e.value)
    assert (e.value.param, e.value.status) == (param, status)


@pytest.mark.parametrize("values, text", [
    ("Volume=1", "values must be a mapping"),
    ({1: "1"}, "parameter names must be str"),
    ({"Volume": None}, "the value of Volume must be a str or a number"),
    ({"Volume": True}, "the value of Volume must be a str or a number"),
    ({"Volume": b"1"}, "the value of Volume must be a str or a number"),
])
def test_encode_refuses_bad_values(opened, values, text):
    with pytest.raises(TypeError, match=text):
        opened.encode(0x22, 1, 0x400, 0xC, values)


def test_encode_raw_takes_raw_integers_and_undefined_codes(opened):
    assert opened.encode(0x22, 1, 0x402, 0x0, {"Balance": "-10"}, raw=True) == b"\xff\xf6"
    with pytest.raises(mostfcat.EncodeError, match="Balance"):
        opened.encode(0x22, 1, 0x402, 0x0, {"Balance": "-1.0"}, raw=True)
    with pytest.raises(TypeError, match="raw must be a bool"):
        opened.encode(0x22, 1, 0x402, 0x0, {"Balance": "-10"}, raw=1)
