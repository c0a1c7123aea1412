"""The Python module over real sessions: samples, edits, messages, lifetime."""
import csv
import io
import re
import os
import subprocess
import sys
import warnings

import numpy as np
import pytest

import tdr

SOURCE = os.environ.get("TDR_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
TOOL = os.environ.get("TDR_TOOL", "tdr")
DEMO = os.path.join(SOURCE, "examples", "demo_session.xml")


def tool(*args):
    return subprocess.run([TOOL, *args], check=True, capture_output=True, text=True).stdout


def canonical(path):
    """The file's text with generated names (time stamp and counter) made equal."""
    return re.sub(r"\d{4}/\d\d/\d\d \d\d:\d\d:\d\d  #\d+", "AUTO", path.read_text())


def logs(session):
    for inst in session.instances:
        for sset in inst.signal_sets:
            for trig in sset.triggers:
                for log in trig.logs:
                    yield inst, sset, trig, log


def test_samples_equal_csv_export():
    with tdr.open(DEMO) as s:
        seen = 0
        for inst, sset, trig, log in logs(s):
            rows = list(csv.reader(io.StringIO(tool(
                "export", DEMO, "--instance", inst.name, "--signal-set", sset.name,
                "--trigger", trig.name, "--log", log.name, "--format", "csv"))))
            head, body = rows[0], rows[1:]
            first = 3 if "segment" in head else 2
            names = log.signal_names
            assert head[first:first + len(names)] == names
            expected = np.array([[int(v) for v in r[first:first + len(names)]] for r in body],
                                dtype=np.uint8)
            samples = log.samples
            assert samples.dtype == np.uint8 and samples.shape == (log.sample_depth, len(names))
            np.testing.assert_array_equal(samples, expected)
            trigger_rows = [int(r[0]) for r in body if r[1] == "1"]
            assert trigger_rows == ([log.trigger_position] if log.trigger_position >= 0 else [])
            if log.segment_size:
                assert [int(r[2]) for r in body] == [i // log.segment_size for i in range(len(body))]
            seen += 1
        assert seen >= 2


def test_walk_triggers_views_and_fingerprints():
    with tdr.open(DEMO) as s:
        trig = s.instances[0].signal_sets[0].triggers[0]
        assert trig.is_basic(0)
        assert "'valid' == rising edge" in trig.condition_text(0)
        assert trig.condition(0, 0) == tdr.Condition.LOW
        sset = s.instances[0].signal_sets[0]
        assert [w.data_index for w in sset.data_wires] == list(range(len(sset.data_wires)))
        assert any(n["bus"] for n in sset.data_view.nodes)
        crc = tool("crc", DEMO).splitlines()[0]
        assert crc.endswith("computed=%X" % trig.fingerprint)


def test_edit_equals_cpp_replay(tmp_path):
    script = os.path.join(SOURCE, "examples", "demo_batch_edit.script")
    tool("replay", script, "-o", str(tmp_path))
    with tdr.edit(DEMO) as e:
        e.begin_action(0)
        e.set_alias(0, 0, "address")
        e.set_sample_depth(0, 256)
        e.set_condition(0, 5, 0, tdr.Condition.FALLING_EDGE)
        e.set_trigger_position(0, tdr.Position.PRE)
        e.end_action(0)
        e.begin_action(1)
        e.set_level_count(1, 2)
        e.set_basic(1, 1, False)
        e.set_expression(1, 1, "rising('uart|tx') && !'uart|rx'")
        e.end_action(1)
        e.set_jtag_device_name("@2: board_device")
        # The edits undo and redo as whole actions.
        assert e.undo(1) and e.redo(1)
        e.save(str(tmp_path / "py.xml"))
    assert canonical(tmp_path / "py.xml") == canonical(tmp_path / "demo_session_batch_edited.xml")


def test_replay_summary(tmp_path):
    result = tdr.replay(os.path.join(SOURCE, "examples", "demo_batch_edit.script"),
                        output_dir=str(tmp_path))
    assert result["ok"] and result["saved"] == 1 and result["calls"] > 5
    bad = tmp_path / "bad.script"
    bad.write_text("no_such_call 1\n")
    with pytest.raises(tdr.TdrError):
        tdr.replay(str(bad))


def test_save_embed_extract_round_trip(tmp_path):
    out = str(tmp_path / "copy.xml")
    with tdr.open(DEMO) as s:
        original = s.extract(0)
        s.embed("extra.bin", b"\x00\x01payload\xff")
        s.save_as(out)
    with tdr.open(out) as s:
        assert s.embedded_files == ["board.kfb", "extra.bin"]
        assert s.extract(0) == original and s.extract(1) == b"\x00\x01payload\xff"


def test_duplicate_names_warn(tmp_path):
    text = open(DEMO).read()
    text = text.replace('name="io_probe"', 'name="cpu_probe"', 1)
    path = tmp_path / "dup.xml"
    path.write_text(text)
    with pytest.warns(tdr.TdrWarning, match="WTDR_DUPLICATE_NAME"):
        tdr.open(str(path)).close()


@pytest.mark.parametrize("content", [None, "dir", "garbage\x00\xff{{{"])
def test_bad_files_raise(tmp_path, content):
    path = tmp_path / "bad.tvf"
    if content == "dir":
        path.mkdir()
    elif content is not None:
        path.write_bytes(content.encode())
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        with pytest.raises(tdr.TdrError):
            tdr.open(str(path))


def test_closed_session_objects_raise():
    with tdr.open(DEMO) as s:
        inst = s.instances[0]
        log = inst.signal_sets[0].triggers[0].logs[0]
    for use in (lambda: s.instances, lambda: s.name, lambda: inst.name, lambda: log.samples,
                lambda: s.save_as("/tmp/never.xml")):
        with pytest.raises(tdr.ClosedSessionError):
            use()
    assert s.closed
    s.close()  # twice is harmless


def test_objects_keep_session_alive_and_go_stale_after_edits(tmp_path):
    log = tdr.open(DEMO).instances[0].signal_sets[0].triggers[0].logs[0]
    assert log.samples.shape[0] == log.sample_depth  # the session lives on in its objects
    with tdr.edit(DEMO) as e:
        inst = e.session.instances[0]
        e.begin_action(0)
        e.set_alias(0, 0, "address")
        e.end_action(0)
        with pytest.raises(tdr.StaleObjectError):
            inst.name
        assert e.session.instances[0].name == "cpu_probe"


def test_docstrings():
    for name in ("open", "edit", "replay", "Session", "Log", "Trigger", "Editor"):
        assert getattr(tdr, name).__doc__
    assert tdr.Log.samples.__doc__ and tdr.Editor.undo.__doc__


def test_example_prints_summary(tmp_path):
    out = subprocess.run([sys.executable, os.path.join(SOURCE, "examples", "analyse_capture.py"),
                          DEMO, "-o", str(tmp_path / "c.png")], check=True, capture_output=True,
                         text=True).stdout
    assert "trigger at sample 32:" in out and "2 segments of 16" in out


def test_samples_memory_row():
    script = os.path.join(SOURCE, "bench", "python_samples_memory.py")
    out = subprocess.run([sys.executable, script, "demo:" + DEMO], check=True,
                         capture_output=True, text=True).stdout
    assert out.splitlines()[1].split()[0] == "demo" and out.rstrip().endswith("ok")


def test_node_list_edits_undo_and_redo(tmp_path):
    with tdr.edit(DEMO) as e:
        before = e.nodes(1), e.nodes(1, setup=True)
        e.begin_action(1)
        assert e.append_node(1, "uart|cts")
        assert e.set_node_name(1, 0, "uart|txd") and e.set_alias(1, 1, "rx_line", setup=True)
        assert e.group_nodes(1, 0, 1) and e.set_segmented(1, False)
        e.end_action(1)
        after = e.nodes(1), e.nodes(1, setup=True)
        assert after[0] != before[0] and ("uart|cts", "") in after[0]
        e.save(str(tmp_path / "edited.xml"))
        assert e.undo(1) and (e.nodes(1), e.nodes(1, setup=True)) == before
        assert e.redo(1) and (e.nodes(1), e.nodes(1, setup=True)) == after
        e.save(str(tmp_path / "redone.xml"))
    assert canonical(tmp_path / "redone.xml") == canonical(tmp_path / "edited.xml")
