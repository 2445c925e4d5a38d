"""Sizing: the lightest laminate whose best design meets every requirement, against the
exhaustive search of each total."""

import json
import subprocess
import sys

import pytest


@pytest.fixture
def plate_modes(examples, tmp_path):
    subprocess.run([sys.executable, str(examples / "plate" / "plate_buckling.py"), str(tmp_path),
                    "10", "22", "--load=500,250"], check=True, stdout=subprocess.DEVNULL)
    return tmp_path


def test_the_lightest_total_is_the_first_the_exhaustive_search_can_meet(build, plate_modes):
    modes = sorted(p.name.replace("_10.rs", "_{plies}.rs") for p in plate_modes.glob("mode_*_10.rs"))
    require = [f"--require={plate_modes / m}:1" for m in modes]
    out = plate_modes / "size.json"
    run = subprocess.run([str(build / "kelm_alt"), "--skin-only", "--tight", "--seed=1",
                          "--plies=10:22", f"--json={out}", *require, "-bf",
                          str(plate_modes / modes[0])], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    document = json.loads(out.read_text())
    lightest = int(document["lightest"])
    assert f"lightest: {lightest} plies" in run.stdout
    assert [t["skinPlies"] for t in document["totals"]] == list(range(10, lightest + 1))
    assert {t["outcome"] for t in document["totals"][:-1]} <= {"skipped", "none"}
    for total in (lightest - 1, lightest):
        exhaustive = subprocess.run(
            [str(build / "kelm_alt"), "--skin-only", *[r.replace("{plies}", str(total)) for r in require],
             "-bfr", str(total), str(plate_modes / modes[0].replace("{plies}", str(total)))],
            capture_output=True, text=True)
        assert (exhaustive.returncode == 0) == (total == lightest)
