"""Results outlive their manager; a closed manager refuses, never crashes."""

import gc
import textwrap

import pytest

import mostfcat

from conftest import run_python


def everything(msg):
    return (msg.to_json(), repr(msg), msg.data,
            [(p.name, p.hex, p.decimal, p.value, p.unit, p.numeric, repr(p)) for p in msg.params])


def test_results_outlive_a_closed_and_collected_manager(catalog):
    def make():
        mgr = mostfcat.Manager()
        cat = mgr.open(catalog)
        msgs = [mgr.decode(0x40, 1, 0x401, 0xC, bytes.fromhex("0203") + b"\x00" * 30),
                mgr.decode(0x22, 1, 0x404, 0xC, b"\x01\x02\x03")]
        return mgr, cat.fblocks(), msgs, [everything(m) for m in msgs]

    mgr, tree, msgs, before = make()
    mgr.close()
    del mgr
    gc.collect()
    assert [everything(m) for m in msgs] == before
    assert tree[1].name == "AudioAmplifier"

    # Dropped without close(): collected with its catalogs.
    _, _, msgs, before = make()
    gc.collect()
    assert [everything(m) for m in msgs] == before


def test_closed_manager_refuses_every_call(catalog):
    with mostfcat.Manager() as mgr:
        cat = mgr.open(catalog)
        # A trace decoder works with the catalogs it was made with.
        decoder = mgr._trace_decoder()
        assert decoder.line(b"22.01.400.C:3C").startswith(b'{"fblock_id":34,')
        other = mgr.open(catalog, name="again", log_path=None)
        with pytest.raises(mostfcat.Error, match="catalogs changed"):
            decoder.line(b"22.01.400.C:3C")
        decoder = mgr._trace_decoder()
        other.close()
        with pytest.raises(mostfcat.Error, match="catalogs changed"):
            decoder.summary()
        decoder = mgr._trace_decoder()
    assert mgr.closed
    calls = [lambda: mgr.decode(0x22, 1, 0x400, 0xC, b"\x01"),
             lambda: mgr.encode(0x22, 1, 0x400, 0xC, {"Volume": "1"}),
             lambda: mgr.open(catalog), lambda: mgr.catalogs(), cat.fblocks, cat.close,
             lambda: decoder.line(b"22.01.400.C:3C"), decoder.summary,
             mgr._trace_decoder]
    for call in calls:
        with pytest.raises(mostfcat.ManagerClosed, match="closed"):
            call()
    mgr.close()  # twice is harmless
    with pytest.raises(mostfcat.ManagerClosed):
        with mgr:
            pass


def test_manager_left_open_at_exit(catalog):
    # Managers, catalogs and results alive while the interpreter shuts down.
    script = textwrap.dedent(f"""
        import mostfcat
        keep = mostfcat.Manager()
        cat = keep.open({catalog!r})
        msg = keep.decode(0x22, 1, 0x400, 0xC, b"\\x3c")
        closed = mostfcat.Manager()
        closed.open({catalog!r}, channel=2)
        closed.close()
        cycle = [mostfcat.Manager()]
        cycle.append(cycle)
        print(msg.params[0].value)
    """)
    run = run_python("-c", script)
    assert (run.returncode, run.stdout, run.stderr) == (0, b"60\n", b"")


def test_subclass_that_skips_the_base_init_is_refused():
    class Broken(mostfcat.Manager):
        def __init__(self):  # never calls the base
            pass

    with pytest.raises(TypeError, match="__init__"):
        Broken()
