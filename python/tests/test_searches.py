"""The package gives what the programs give, and behaves as a library: errors are exceptions,
searches run side by side, and stopped searches keep their best designs."""

import _thread
import json
import subprocess
import threading
import time

import numpy as np
import pytest

import kelm

# (method, program, program arguments before the totals)
METHODS = [
    ("tight", "kelm_alt", ["--tight"]),
    ("tree", "kelm_alt", []),
    ("exhaustive", "kelm_alt", []),
    ("iterative", "kelm_iter", []),
    ("iterative-tight", "kelm_iter", ["--tight"]),
    ("round-robin", "kelm_iter", []),
]


def program_result(build, tmp_path, program, extra, letters, skin, stiffener, surface):
    out = tmp_path / "result.json"
    subprocess.run([str(build / program), *extra, "--seed=1", f"--json={out}", letters,
                    str(skin), str(stiffener), str(surface)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return json.loads(out.read_text())


def design_set(designs):
    return {(d["skin"]["printed"], d["stiffener"]["printed"]) for d in designs}


@pytest.mark.parametrize("method,program,extra", METHODS)
@pytest.mark.parametrize("example,letters", [("panel_a", "-b"), ("panel_b", "-bf")])
def test_every_search_finds_what_its_program_finds(build, examples, tmp_path, method, program,
                                                   extra, example, letters):
    skin, stiffener = (10, 12) if method in ("exhaustive", "round-robin") else (16, 20)
    if method in ("exhaustive", "round-robin"):
        letters += "r"
    surface = examples / f"{example}.rs"
    expected = program_result(build, tmp_path, program, extra, letters, skin, stiffener, surface)
    result = kelm.optimize(kelm.Surface.read(str(surface)), skin, stiffener, method=method,
                           rules=letters.replace("r", ""), seed=1, threads=2)
    assert result.status == "optimal"
    assert result.value == pytest.approx(expected["designs"][0]["value"], abs=0, rel=0)
    assert design_set([d.to_dict() for d in result.designs]) == design_set(expected["designs"])
    assert result.steps == expected["steps"]


def test_reproduces_the_tight_run_of_the_readme(examples):
    result = kelm.optimize(kelm.Surface.read(str(examples / "panel_a.rs")), 24, 32)
    assert f"{result.value:.10f}" == "0.9711172085"
    assert [(d.skin.printed, d.stiffener.printed) for d in result.designs] == [
        ("[45/45/45/45/45/45/45/45/0/90/90/90]s", "[45/45/45/45/45/45/45/45/0/0/0/0/0/0/0/0]s")]


def test_errors_are_exceptions_with_the_programs_messages_and_the_library_goes_on(examples, tmp_path):
    with pytest.raises(FileNotFoundError, match=r"Cannot open responce surface file! \(No such file"):
        kelm.Surface.read(str(tmp_path / "missing.rs"))
    bad = tmp_path / "bad.rs"
    bad.write_text("1 `\n")
    with pytest.raises(ValueError, match="bad.rs: not a response-surface file"):
        kelm.Surface.read(str(bad))
    # Surfaces whose values leave the range of numbers, and terms that would silently be 0.
    bad.write_text("0 1e308\n1 1e308\n")
    with pytest.raises(ValueError, match="coefficients add up to inf, beyond what the searches can bound"):
        kelm.Surface.read(str(bad))
    assert "the searches refuse this file" in kelm.check_surface(str(bad))[1]
    with pytest.raises(ValueError, match="coefficients add up to 2e\\+200"):
        kelm.Surface.from_arrays(1e200, [1e200] + [0] * 7, np.zeros((8, 8)))
    for terms in ({0x11: 1.0}, {"111": 1.0}, {-1: 1.0}, {"11": 1.0, 11: 2.0}):
        with pytest.raises(ValueError, match="terms: "):
            kelm.Surface.from_terms(terms)
    x = np.random.default_rng(1).uniform(-1, 1, (60, 8))
    with pytest.raises(ValueError, match="response of row 1 is .* scale the responses"):
        kelm.fit_surface(x, x[:, 0] * 1e300)
    surface = kelm.Surface.read(str(examples / "panel_a.rs"))
    with pytest.raises(ValueError, match="^skin_plies must be 1 or more, not 0$"):
        kelm.optimize(surface, 0, 32)
    with pytest.raises(ValueError, match="^fixed ply numbers break the 4-ply rule$"):
        kelm.optimize(surface, 16, 16, rules=kelm.Rules(four_ply=True, ply_numbers=(8, 0)))
    with pytest.raises(ValueError, match="method must be one of .*, not .annealing."):
        kelm.optimize(surface, 16, 16, method="annealing")
    assert kelm.optimize(surface, 16, 16, seed=1).status == "optimal"


def test_two_searches_in_two_threads_give_what_they_give_one_after_the_other(examples):
    jobs = [(kelm.Surface.read(str(examples / "panel_b.rs")), 32, 32, "-bf", "tree"),
            (kelm.Surface.read(str(examples / "panel_a.rs")), 32, 32, "-b", "iterative")]

    def run(job):
        surface, skin, stiffener, rules, method = job
        r = kelm.optimize(surface, skin, stiffener, method=method, rules=rules, seed=7, threads=1)
        return r.value, [(d.skin.printed, d.stiffener.printed) for d in r.designs], r.steps

    alone = [run(job) for job in jobs]
    together = [None, None]
    threads = [threading.Thread(target=lambda i=i: together.__setitem__(i, run(jobs[i])))
               for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert together == alone


HARD = ("panel_a.rs", 48, 48, "-bf")  # minutes for the plain tree search


def hard_surface(examples):
    return kelm.Surface.read(str(examples / HARD[0]))


def test_a_time_limit_returns_the_best_designs_so_far(examples):
    result = kelm.optimize(hard_surface(examples), HARD[1], HARD[2], method="tree", rules=HARD[3],
                           seed=1, time_limit=0.5)
    assert result.status == "time-limit"
    assert result.designs and result.value is not None
    assert result.seconds < 3


def test_ctrl_c_stops_promptly_and_keeps_the_best_designs(examples):
    surface = hard_surface(examples)
    pressed = []

    def press():
        time.sleep(0.5)
        pressed.append(time.monotonic())
        _thread.interrupt_main()

    threading.Thread(target=press).start()
    with pytest.raises(KeyboardInterrupt) as caught:
        kelm.optimize(surface, HARD[1], HARD[2], method="tree", rules=HARD[3], seed=1)
    assert time.monotonic() - pressed[0] < 0.3  # met at once, on a loaded machine too
    result = caught.value.result
    assert result.status == "interrupted" and result.designs


def test_progress_is_called_a_few_times_a_second_and_false_stops(examples):
    calls = []

    def progress(p):
        calls.append(p)
        return len(calls) < 3

    result = kelm.optimize(hard_surface(examples), HARD[1], HARD[2], method="tree",
                           rules=HARD[3], seed=1, progress=progress)
    assert result.status == "interrupted" and len(calls) == 3
    assert calls[1].seconds - calls[0].seconds >= 0.2 and calls[2].steps >= calls[1].steps > 0


def test_surfaces_from_terms_arrays_and_pickles_agree(examples):
    surface = kelm.Surface.read(str(examples / "panel_b.rs"))
    from_arrays = kelm.Surface.from_arrays(surface.constant, surface.linear, surface.hessian)
    from_terms = kelm.Surface.from_terms(surface.terms)
    import pickle
    copied = pickle.loads(pickle.dumps(surface))
    points = np.random.default_rng(1).uniform(-1, 1, (50, 8))
    values = surface(points)
    assert values.shape == (50,)
    for other in (from_terms, copied):
        assert np.array_equal(other(points), values)
    assert np.allclose(from_arrays(points), values, rtol=0, atol=1e-14)
    design = kelm.optimize(surface, 12, 12, seed=1).designs[0]
    assert surface.value(design.parameters) == design.value


def test_evaluate_and_design_fields(examples):
    surface = kelm.Surface.read(str(examples / "panel_a.rs"))
    best = kelm.optimize(surface, 24, 32, seed=1).designs[0]
    checked = kelm.evaluate(surface, (best.skin.printed, 24), (best.stiffener.printed, 32), "-b")
    assert checked.value == best.value and checked.allowed
    unbalanced = kelm.evaluate(surface, kelm.Laminate([1] + [0] * 11, 24), best.stiffener)
    assert not unbalanced.skin_allowed and unbalanced.stiffener_allowed
    fields = best.to_dict()
    assert set(fields) == {"value", "skin", "stiffener"}
    assert fields["skin"]["halfPlyCounts"] == {"0": 1, "45": 8, "90": 3}
    assert best.skin.ply_counts == {"0": 2, "+45": 8, "-45": 8, "90": 6}
    assert len(best.skin.stack) == 24 and best.skin.stack[:2] == [45, -45]
    assert best._repr_svg_().startswith("<svg")
    accepted, report = kelm.check_surface(str(examples / "panel_a.rs"))
    assert accepted and report


def test_several_failure_modes_match_the_program(build, examples, tmp_path):
    a, b = (kelm.Surface.read(str(examples / f"panel_{n}.rs")) for n in "ab")
    out = tmp_path / "modes.json"
    subprocess.run([str(build / "kelm_alt"), "--tight", "--seed=1", f"--json={out}",
                    f"--min-of={examples / 'panel_b.rs'}", f"--require={examples / 'panel_a.rs'}:0.9",
                    "16", "20", str(examples / "panel_a.rs")],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    expected = json.loads(out.read_text())
    for method in ("tight", "tree", "iterative"):
        result = kelm.optimize(a, 16, 20, method=method, seed=1, min_of=[b], require=[(a, 0.9)])
        if method != "iterative":  # the iterative turns start from the first allowed stiffener
            assert design_set([d.to_dict() for d in result.designs]) == design_set(expected["designs"])
        for d in result.designs:
            values = kelm.surface_values(d, a, [b], [(a, 0.9)])
            assert d.value == min(values["objectives"]) and all(h for _, h in values["required"])
    assert expected["designs"][0]["surfaces"][1]["governs"] in (True, False)
    assert kelm.optimize(a, 16, 20, seed=1, require=[(b, 5.0)]).designs == []
    assert "> 1 " in kelm.optimize(a, 12, 12, method="iterative", seed=1).log
