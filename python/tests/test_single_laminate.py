"""One laminate on its own (a plate, or a skin designed alone), from Python as from the program."""

import json
import pickle
import subprocess

import numpy as np
import pytest

import kelm

PLATE = "0 2\n1 0.2\n10 -0.1\n10000 0.5\n100000 -0.3\n20000 -0.6\n110000 0.2\n10010 0.1\n"


@pytest.fixture
def plate(tmp_path):
    path = tmp_path / "plate.rs"
    path.write_text(PLATE)
    return path


def test_every_method_and_the_program_agree_on_a_plate(build, tmp_path, plate):
    surface = kelm.Surface.read(plate)
    results = {m: kelm.optimize(surface, 14, None, method=m, rules="-bf", seed=1, top=4)
               for m in ("tight", "tree", "exhaustive")}
    ranked = [[(d.skin.printed, d.value) for d in r.designs] for r in results.values()]
    assert ranked[0] == ranked[1] == ranked[2] and len(ranked[0]) >= 4
    assert all(d.stiffener is None and "stiffener" not in d.to_dict()
               for d in results["tight"].designs)
    out = tmp_path / "plate.json"
    subprocess.run([str(build / "kelm_alt"), "--skin-only", "--top=4", "--seed=1", f"--json={out}",
                    "-bf", "14", str(plate)], check=True, stdout=subprocess.DEVNULL)
    program = json.loads(out.read_text())["designs"]
    assert [(d["skin"]["printed"], d["value"]) for d in program] == ranked[0]
    best = results["tight"].designs[0]
    rest = kelm.optimize(surface, 14, None, rules="-bf", seed=1, exclude=[best])
    assert rest.value == ranked[0][1][1]
    assert pickle.loads(pickle.dumps(best)) == best
    assert kelm.evaluate(surface, best.skin, None, rules="-bf").design.value == best.value


def test_a_surface_that_reads_the_stiffener_is_refused_by_its_term(tmp_path):
    path = tmp_path / "panel.rs"
    path.write_text(PLATE + "1000001 0.3\n")
    with pytest.raises(ValueError, match=r"1000001 \(x1\*x7\)"):
        kelm.optimize(kelm.Surface.read(path), 14, None)


def test_plan_and_fit_of_a_single_laminate_give_back_its_surface(plate):
    known = kelm.Surface.read(plate)
    plan = kelm.sample_plan(20, None, 25, rules="-b", seed=2)
    assert plan.terms == 15 and all(d.stiffener is None for d in plan.designs)
    assert plan.parameters.shape == (25, 4) and "stiffener" not in plan.rows()[0]
    full = np.array([d.parameters for d in plan.designs])
    fit = kelm.fit_surface(plan.parameters, known(full))
    assert fit.terms == 15 and "25 samples, 15 terms" in fit.report
    points = np.zeros((10, 8))
    points[:, [0, 1, 4, 5]] = np.random.default_rng(1).uniform(-1, 1, (10, 4))
    assert np.allclose(fit.surface(points), known(points), atol=1e-9)
    found = kelm.optimize(fit.surface, 20, None, rules="-b", seed=1)
    assert found.value == pytest.approx(kelm.optimize(known, 20, None, rules="-b", seed=1).value)
    surface, offset = kelm.target_surface(plan.designs[3].parameters[[0, 1, 4, 5]])
    assert kelm.optimize(surface, 20, None, rules="-b", seed=1).value == pytest.approx(offset)
    with pytest.raises(ValueError, match="parameters must be an N x 8 array"):
        kelm.fit_surface(full[:, :5], known(full))
    with pytest.raises(ValueError, match="target must have 8 numbers"):
        kelm.target_surface([0.0] * 5)


def test_the_programs_plan_and_fit_a_plate_for_kelm_alt(build, tmp_path, plate):
    def run(*args, check=True):
        return subprocess.run([str(build / args[0]), *args[1:]], cwd=tmp_path, check=check,
                              capture_output=True, text=True)

    summary = run("kelm_sample", "--skin-only", "16", "20", "-b", "--seed=4", "--out=plan.csv").stdout
    assert "20 laminates" in summary and "15 terms in x1, x2, x5, x6" in summary
    lines = (tmp_path / "plan.csv").read_text().splitlines()
    assert lines[0] == "skin_plies,skin,skin_codes,skin_stack,x1,x2,x5,x6,response"
    known = kelm.Surface.read(plate)
    rows = [line.split(",") for line in lines[1:]]
    x = np.zeros((len(rows), 8))
    x[:, [0, 1, 4, 5]] = [[float(v) for v in row[4:8]] for row in rows]
    (tmp_path / "done.csv").write_text("\n".join(
        [lines[0]] + [line + repr(float(v)) for line, v in zip(lines[1:], known(x))]) + "\n")
    assert "20 samples, 15 terms" in run("kelm_fit", "--skin-only", "done.csv", "--response=response",
                                         "--out=plate.rs").stdout
    fitted = run("kelm_alt", "--skin-only", "-b", "16", "plate.rs").stdout
    exact = run("kelm_alt", "--skin-only", "-b", "16", str(plate)).stdout
    assert fitted.splitlines()[:2] == exact.splitlines()[:2]

    run("kelm_sample", "8", "8", "50", "--seed=1", "--out=panel.csv")
    refused = run("kelm_fit", "--skin-only", "panel.csv", "--response=response", "--out=p.rs",
                  check=False)
    assert refused.returncode == 1 and "the samples vary the stiffener" in refused.stderr
