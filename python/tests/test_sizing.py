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


def test_python_sizes_as_the_program_does(build, plate_modes):
    import kelm

    names = sorted(p.name.replace("_10.rs", "") for p in plate_modes.glob("mode_*_10.rs"))
    modes = [lambda plies, n=n: kelm.Surface.read(plate_modes / f"{n}_{plies}.rs") for n in names]
    sized = kelm.lightest(modes[0], range(10, 23), require=[(m, 1.0) for m in modes],
                          rules="-bf", seed=1)
    run = subprocess.run([str(build / "kelm_alt"), "--skin-only", "--tight", "--seed=1",
                          "--plies=10:22", *[f"--require={plate_modes / n}_{{plies}}.rs:1" for n in names],
                          "-bf", str(plate_modes / f"{names[0]}_{{plies}}.rs")],
                         capture_output=True, text=True)
    assert sized.success and f"lightest: {sized.plies} plies" in run.stdout
    assert [t.outcome for t in sized.totals][-1] == "found"
    with pytest.raises(TypeError, match="objective"):
        kelm.lightest(3, range(10, 12))


def test_python_and_the_program_decide_every_total_alike(build, plate_modes, tmp_path):
    import kelm

    names = sorted(p.name.replace("_10.rs", "") for p in plate_modes.glob("mode_*_10.rs"))
    modes = [lambda plies, n=n: kelm.Surface.read(plate_modes / f"{n}_{plies}.rs") for n in names]
    sized = kelm.lightest(modes[0], range(10, 23), require=[(m, 1.0) for m in modes],
                          rules="-bf", seed=1)
    out = tmp_path / "size.json"
    subprocess.run([str(build / "kelm_alt"), "--skin-only", "--tight", "--seed=1",
                    "--plies=10:22", f"--json={out}",
                    *[f"--require={plate_modes / n}_{{plies}}.rs:1" for n in names],
                    "-bf", str(plate_modes / f"{names[0]}_{{plies}}.rs")], check=True,
                   capture_output=True)
    program = json.loads(out.read_text())["totals"]
    assert [(t.plies, t.outcome) for t in sized.totals] == \
        [(t["skinPlies"], t["outcome"]) for t in program]
    skipped = [(t.limit, t.bound) for t in sized.totals if t.outcome == "skipped"]
    assert skipped == [(t["ruledOutBy"]["limit"], t["ruledOutBy"]["bound"])
                       for t in program if t["outcome"] == "skipped"]

    # A limit spent before the first search: the cheap decisions are still made, the first
    # total that needs a search is left undecided and the sizing says why.
    stopped = kelm.lightest(modes[0], range(10, 23), require=[(m, 1.0) for m in modes],
                            rules="-bf", seed=1, time_limit=1e-9)
    assert stopped.status == "time-limit" and not stopped.success and stopped.plies is None
    assert stopped.totals[-1].outcome == "stopped"
    assert all(t.outcome == "skipped" for t in stopped.totals[:-1])
