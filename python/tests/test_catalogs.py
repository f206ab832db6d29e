"""Opening catalogs, their trees, and the failures of opening."""

import os

import pytest

import mostfcat
from conftest import run_python


def test_open_writes_log_and_cache_and_lists_the_tree(manager, catalog):
    cat = manager.open(catalog, channel=1)
    assert (cat.name, cat.channel, cat.path) == ("sample_catalog", 1, catalog)
    base = os.path.splitext(catalog)[0]
    assert cat.log_path == base + ".log"
    assert os.path.isfile(base + ".log") and os.path.isfile(base + ".vfc")
    assert manager.catalogs(1) == ["sample_catalog"]

    fblocks = {fb.id: fb for fb in cat.fblocks()}
    assert [(i, fb.name) for i, fb in sorted(fblocks.items())] == [
        (0x01, "NetBlock"), (0x22, "AudioAmplifier"), (0x40, "AudioTunerAmFm")]
    amp = fblocks[0x22]
    assert [(i.id, i.device_name) for i in amp.instances] == [
        (1, "AmplifierFront"), (2, "AmplifierRear")]
    volume = {f.id: f for f in amp.instances[0].functions}[0x400]
    assert volume.name == "Volume"
    assert [(o.op_type, o.name) for o in volume.operations] == [
        (0x0, "Set"), (0x1, "Get"), (0x2, "SetGet"), (0x3, "Increment"), (0x4, "Decrement"),
        (0xC, "Status"), (0xF, "Error")]
    assert amp.functions() == amp.instances[0].functions
    # Every operation gets its layout at once; shared by instances, counted once.
    ops = {(fb.id, f.id, o.op_type) for fb in fblocks.values() for i in fb.instances
           for f in i.functions for o in f.operations}
    assert (manager.compile_layouts(1), manager.compile_layouts(2)) == (len(ops), 0)
    with pytest.raises(ValueError, match="channel must be from 0 to 16"):
        manager.compile_layouts(17)


def test_second_open_loads_the_cache_and_gives_the_same_tree(catalog):
    with mostfcat.Manager() as first:
        tree = first.open(catalog).fblocks()
    log = os.path.splitext(catalog)[0] + ".log"
    written = os.stat(log).st_mtime_ns
    with mostfcat.Manager() as second:
        assert second.open(catalog).fblocks() == tree
    assert os.stat(log).st_mtime_ns == written  # no second import


def test_only_an_import_maps_the_xml_parser(catalog):
    script = ("import sys, mostfcat\n"
              "with mostfcat.Manager() as mgr:\n"
              "    mgr.open(sys.argv[1], log_path=None)\n"
              "print('libxerces' in open('/proc/self/maps').read())\n")
    runs = [run_python("-c", script, catalog) for _ in range(2)]  # import, then cache load
    assert [r.stdout.strip() for r in runs] == [b"True", b"False"], [r.stderr for r in runs]


def test_open_without_log_and_with_a_log_path_of_its_own(manager, catalog, tmp_path):
    manager.open(catalog, log_path=None)
    assert not os.path.exists(os.path.splitext(catalog)[0] + ".log")

    other = tmp_path / "copy.xml"
    other.write_bytes(open(catalog, "rb").read())
    cat = manager.open(other, log_path=tmp_path / "logs.txt", name="Second")
    assert os.path.isfile(tmp_path / "logs.txt")
    assert cat.name == "Second"
    assert sorted(manager.catalogs()) == ["Second", "sample_catalog"]


def test_closed_catalog_is_no_longer_found(manager, catalog):
    cat = manager.open(catalog, channel=3)
    assert manager.decode(0x22, 1, 0x400, 0xC, b"\x01", channel=3).ok
    # Channel 0 consults the catalogs of every channel.
    assert manager.decode(0x22, 1, 0x400, 0xC, b"\x01").ok
    assert manager.decode(0x22, 1, 0x400, 0xC, b"\x01", channel=2).error == \
        "unknown message: no FBlock 22"
    cat.close()
    assert manager.decode(0x22, 1, 0x400, 0xC, b"\x01", channel=3).error == \
        "unknown message: no FBlock 22"
    with pytest.raises(mostfcat.Error, match="not open"):
        cat.fblocks()


@pytest.mark.parametrize("text, reason", [
    ("<?xml version='1.0'?>\n<FunctionCatalog><Broken>\n",
     "XML fatal error at line 3, column 1"),
    ("<?xml version='1.0'?>\n<Other/>\n", None),
])
def test_failed_import_names_its_log(manager, tmp_path, text, reason):
    path = tmp_path / "broken.xml"
    path.write_text(text)
    with pytest.raises(mostfcat.ImportFailed) as failed:
        manager.open(path)
    log = str(tmp_path / "broken.log")
    assert failed.value.log_path == log and os.path.isfile(log)
    assert str(failed.value).startswith(f"import of {path} failed")
    assert str(failed.value).endswith(f"(log: {log})")
    if reason:
        assert reason in str(failed.value)
    # Without a log there is no log path to name.
    with pytest.raises(mostfcat.ImportFailed) as quiet:
        manager.open(path, log_path=None)
    assert quiet.value.log_path is None


@pytest.mark.parametrize("args, error, text", [
    ((None,), TypeError, ""),
    ((b"/tmp/x.xml",), TypeError, ""),
    (("x.xml", -1), ValueError, ""),
    (("x.xml", 17), ValueError, ""),
    (("x.xml", "1"), TypeError, ""),
    (("none.xml",), mostfcat.CatalogNotFound, "none.xml: no such file"),
    (("",), mostfcat.CatalogNotFound, "folder"),
])
def test_open_refuses_bad_arguments_and_missing_files(manager, catalog, tmp_path, args, error,
                                                      text):
    path = {"x.xml": catalog, "none.xml": str(tmp_path / "none.xml"), "": str(tmp_path)}.get(
        args[0], args[0])
    with pytest.raises(error, match=text) as e:
        manager.open(path, *args[1:])
    if error is mostfcat.CatalogNotFound:
        assert isinstance(e.value, FileNotFoundError)
        assert e.value.status == mostfcat.errors.FILE_MISSING


def test_catalog_loaded_anew_by_another_manager_decodes_with_its_new_names(catalog):
    # Two managers share a catalog file; when the file changes and one opens
    # it again, the other decodes with the new tree too (names included).
    with mostfcat.Manager() as a, mostfcat.Manager() as b:
        a.open(catalog, log_path=None)
        assert a.decode(0x22, 1, 0x400, 0xC, b"\x3c").function_name == "Volume"
        with open(catalog, encoding="latin-1") as f:
            text = f.read()
        with open(catalog, "w", encoding="latin-1") as f:
            f.write(text.replace("<FunctionName>Volume</FunctionName>",
                                 "<FunctionName>MainVolume</FunctionName>"))
        st = os.stat(catalog)
        os.utime(catalog, (st.st_atime, st.st_mtime + 10))
        b.open(catalog, log_path=None)
        for mgr in (a, b):
            msg = mgr.decode(0x22, 1, 0x400, 0xC, b"\x3c")
            assert (msg.function_name, msg.params[0].value) == ("MainVolume", "60")
