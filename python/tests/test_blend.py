"""kelm.blend against kelm_blend: the same document, the same refusals, and a search that stops
when asked with what it has proved."""

import _thread
import errno
import json
import subprocess
import sys
import threading
import time

import pytest

import kelm


@pytest.fixture(scope="module")
def plates(examples, tmp_path_factory):
    """Three plate panels in a row, each under its own load, every buckling mode required to
    reach 1: the heavier the load, the thicker the panel must be."""
    root = tmp_path_factory.mktemp("plates")
    panels = []
    for i, load in enumerate(("300,150", "500,250", "800,300")):
        folder = root / f"p{i}"
        subprocess.run([sys.executable, str(examples / "plate" / "plate_buckling.py"), str(folder),
                        "8", "20", f"--load={load}"], check=True, stdout=subprocess.DEVNULL)
        modes = sorted({f.name.rsplit("_", 1)[0] for f in folder.glob("mode_*.rs")})
        panels.append({"name": f"P{i}", "ply_weight": 1.0 + 0.1 * i, "plies": "8:20",
                       "require": [{"surface": f"p{i}/{m}_{{plies}}.rs", "limit": 1.0} for m in modes]})
    structure = {"panels": panels, "adjacent": [["P0", "P1"], ["P1", "P2"]]}
    (root / "structure.json").write_text(json.dumps(structure))
    return root


def program_document(build, structure_file, out, picture):
    run = subprocess.run([str(build / "kelm_blend"), str(structure_file), f"--json={out}",
                          f"--svg={picture}"], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    return json.loads(out.read_text())


def test_the_result_is_the_programs_document(build, plates, tmp_path):
    document = program_document(build, plates / "structure.json", tmp_path / "out.json",
                                tmp_path / "out.svg")
    by_file = kelm.blend(plates / "structure.json")
    by_dict = kelm.blend(json.loads((plates / "structure.json").read_text()), base=plates)
    del document["seconds"]
    for result in (by_file, by_dict):
        assert result.success and result.status == "optimal"
        produced = result.to_dict()
        del produced["seconds"]
        assert produced == document
    result = by_file
    assert result._repr_svg_() == (tmp_path / "out.svg").read_text()
    assert result.weight == result.lower_bound == document["weight"]
    assert result.smallest_margin == min(p.margin for p in result.panels)
    assert [p.plies for p in result.panels] == [p["plies"] for p in document["panels"]]
    for panel in result.panels:
        assert panel.design.skin.printed == panel.stack and panel.design.stiffener is None
        assert panel.margin == pytest.approx(min(panel.values.values()) - 1.0)
    # The table cuts each panel's laminate: the positions of level up to its count class.
    classes = sorted({p.plies for p in result.panels})
    for panel in result.panels:
        kept = [row.angle for row in result.table if row.level <= classes.index(panel.plies) + 1]
        assert kept == list(panel.design.skin.angles)
    # Started from a heavier vector, the search still ends at the lightest, certified.
    heavier = [min(p.plies + 2, 20) for p in result.panels]
    started = kelm.blend(plates / "structure.json", start=heavier)
    assert started.status == "optimal" and started.weight == result.weight


def test_schema_faults_and_missing_files_are_refused_as_the_program_refuses_them(build, plates, tmp_path):
    broken = json.loads((plates / "structure.json").read_text())
    broken["panels"][1]["plies"] = "9:20"
    bad_file = plates / "broken.json"
    bad_file.write_text(json.dumps(broken))
    run = subprocess.run([str(build / "kelm_blend"), str(bad_file)], capture_output=True, text=True)
    assert run.returncode == 1
    with pytest.raises(ValueError) as raised:
        kelm.blend(str(bad_file))
    assert "error: " + str(raised.value) == run.stderr.strip()  # the prefix is the console's
    bad_file.write_text(bad_file.read_text().replace('"ply_weight": 1.1', '"ply_weight": 1e999'))
    with pytest.raises(ValueError, match=r"broken.json: panels\[1\]\.ply_weight: 1e999 is beyond the range"):
        kelm.blend(str(bad_file))
    with pytest.raises(OSError):
        kelm.blend(tmp_path)
    with pytest.raises(ValueError, match=r"^structure: panels\[1\]\.plies: must be a range"):
        kelm.blend(broken, base=plates)
    with pytest.raises(FileNotFoundError) as missing:
        kelm.blend(tmp_path / "none.json")
    assert missing.value.errno == errno.ENOENT and missing.value.filename == str(tmp_path / "none.json")
    # A dict's surfaces are found from its base, not from wherever Python runs.
    with pytest.raises(OSError, match="p0/mode_1_1_8.rs"):
        kelm.blend(json.loads((plates / "structure.json").read_text()), base=tmp_path)
    with pytest.raises(TypeError, match="structure"):
        kelm.blend(3)
    with pytest.raises(ValueError, match="time_limit"):
        kelm.blend(plates / "structure.json", time_limit=0)
    with pytest.raises(ValueError, match="start has 1 totals; the structure has 3 panels"):
        kelm.blend(plates / "structure.json", start=[8])


def test_a_stopped_search_keeps_what_it_proved(plates):
    seen = []
    stopped = kelm.blend(plates / "structure.json",
                         progress=lambda plies, weight: seen.append((plies, weight)) or False)
    assert stopped.status == "stopped" and not stopped.success
    # The callback is watched every 20 ms: the search may have settled that vector meanwhile.
    plies, weight = seen[0]
    assert stopped.searching_when_stopped in ([], seen[-1][0]) and stopped.lower_bound >= weight
    assert "stopped" in stopped.message and (stopped.svg() is None) == (stopped.weight is None)
    timed = kelm.blend(plates / "structure.json", time_limit=0.01)
    assert timed.status == "stopped" and timed.seconds < 0.2
    assert timed.lower_bound is not None and timed.lower_bound <= weight
    # Wherever the stop falls (ruling out totals, choosing the next vector, searching it), the
    # structure, which holds a design, is never reported as holding none.
    for limit in (0.03, 0.06, 0.09, 0.12, 0.15, 0.2):
        assert kelm.blend(plates / "structure.json", time_limit=limit).status != "infeasible"

    class Refused(Exception):
        pass

    def refuse(plies, weight):
        raise Refused

    with pytest.raises(Refused) as raised:
        kelm.blend(plates / "structure.json", progress=refuse)
    assert raised.value.result.status == "stopped"

    threading.Timer(0.05, _thread.interrupt_main).start()
    start = time.monotonic()
    with pytest.raises(kelm.SearchInterrupted) as interrupted:
        kelm.blend(plates / "structure.json")
    assert time.monotonic() - start < 0.3 and interrupted.value.result.status == "stopped"


def test_a_stiffened_panel_gives_its_stiffener(tmp_path):
    # 1 + 0.5 x3 reaches 1.4 only with a stiffener of 0 deg plies alone.
    (tmp_path / "skin.rs").write_text("0 1.0\n")
    (tmp_path / "stiff_4.rs").write_text("0 1.0\n100 0.5\n")
    structure = {"panels": [
        {"name": "A", "ply_weight": 1, "plies": "4:6", "require": [{"surface": "skin.rs", "limit": 0.5}]},
        {"name": "B", "ply_weight": 1, "plies": "4:6", "stiffener": {"plies": 4, "ply_weight": 0.5},
         "require": [{"surface": "stiff_{stiffener}.rs", "limit": 1.4}]}], "adjacent": [["A", "B"]]}
    result = kelm.blend(structure, base=tmp_path)
    assert result.success and result.weight == 10.0  # two skins of 4 plies, a stiffener of 4 at 0.5
    plate, stiffened = result.panels
    assert plate.stiffener is None and plate.design.stiffener is None
    assert stiffened.stiffener == "[0/0]s" and stiffened.stiffener_plies == 4
    assert stiffened.design.stiffener.printed == "[0/0]s"
    assert result.margin_maximised
    lightest = kelm.blend(structure, base=tmp_path, weight_only=True)
    assert lightest.success and lightest.weight == 10.0 and not lightest.margin_maximised
    with pytest.raises(TypeError, match="weight_only"):
        kelm.blend(structure, base=tmp_path, weight_only="yes")


def test_fixed_ply_numbers_and_odd_totals_blend_in_real_plies(tmp_path):
    """Panel rules fix the numbers of each orientation; under the mid-plane policy an even panel
    cannot keep its odd neighbour's single mid-plane ply as a pair (A's one 90 deg ply at its
    mid-plane, B's two 90 deg plies): infeasible, and with A's mid-plane ply 0 deg a design."""
    (tmp_path / "x1.rs").write_text("1 1.0\n")

    def two_panels(sign):
        return {"panels": [
            {"name": "A", "ply_weight": 1, "plies": "7:7", "rules": {"ply_numbers": [1, 2, 1]},
             "require": [{"surface": "x1.rs", "limit": 0.1 * sign}] if sign > 0 else []},
            {"name": "B", "ply_weight": 1, "plies": "6:6", "rules": {"ply_numbers": [0, 2, 1]}}],
            "adjacent": [["A", "B"]], "blending": {"totals": "mid-plane"}}

    assert kelm.blend(two_panels(1), base=tmp_path).status == "infeasible"
    result = kelm.blend(two_panels(-1), base=tmp_path)
    assert result.status == "optimal"
    assert [p.ply_numbers for p in result.panels] == [(1, 2, 1), (0, 2, 1)]


def test_count_vectors_decided_by_workers_give_the_one_process_answer(plates):
    from concurrent.futures import ProcessPoolExecutor
    alone = kelm.blend(plates / "structure.json")
    with ProcessPoolExecutor(2) as pool:
        shared = kelm.blend(plates / "structure.json", client=pool)
    assert (shared.status, shared.weight, shared.smallest_margin) == (alone.status, alone.weight, alone.smallest_margin)
    assert shared.to_dict()["workers"] == 2 and "workers" not in alone.to_dict()
    with ProcessPoolExecutor(2) as pool:
        timed = kelm.blend(plates / "structure.json", client=pool, time_limit=0.01)
    assert timed.status in ("stopped", "optimal") and timed.lower_bound <= alone.weight
    with pytest.raises(TypeError, match="client"):
        kelm.blend(plates / "structure.json", client=object())
    with pytest.raises(ValueError, match="workers"):
        kelm.blend(plates / "structure.json", workers=2)
    # Stopped by the callback, the run does not wait for the vectors out: they bound the result.
    with ProcessPoolExecutor(2) as pool:
        refused = kelm.blend(plates / "structure.json", client=pool, progress=lambda plies, weight: False)
    assert refused.status == "stopped" and refused.lower_bound <= alone.weight
    distributed = pytest.importorskip("distributed", reason="python3-distributed is not installed")
    with distributed.Client(processes=False, n_workers=2, threads_per_worker=1, dashboard_address=None) as client:
        on_cluster = kelm.blend(plates / "structure.json", client=client)
    assert (on_cluster.status, on_cluster.weight, on_cluster.smallest_margin) == (alone.status, alone.weight,
                                                                               alone.smallest_margin)
