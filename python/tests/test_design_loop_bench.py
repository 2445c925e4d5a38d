"""The design loop's judging harness (bench/design_loop): its enumerator of allowed laminates
agrees with kelm's parameters and rule verdicts, its decomposed optimum with brute force, and
its models read the bending parameters they declare."""

import itertools
import pathlib
import sys

import numpy as np
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]

kelm = pytest.importorskip("kelm")
sys.path.insert(0, str(ROOT / "bench" / "design_loop"))
import gap_table  # noqa: E402
import genetic  # noqa: E402
import laminates as lam  # noqa: E402
import models  # noqa: E402
import optima  # noqa: E402

SURFACE = kelm.target_surface([0.0] * 8)[0]


def kelm_allowed(codes, plies, letters):
    laminate = kelm.Laminate([int(c) for c in codes], plies)
    return kelm.evaluate(SURFACE, laminate, laminate, rules=letters).skin_allowed


def runs_heavy_codes(rng, h):
    """Halves with long runs and odd +-45 counts, where the rules' edge cases are."""
    codes, left = [], h
    while left:
        run = min(left, int(rng.integers(1, 6)))
        codes += [int(rng.integers(3))] * run
        left -= run
    return np.array(codes)


@pytest.mark.parametrize("plies", [5, 7, 8, 9, 12, 13, 16])
def test_parameters_and_verdicts_match_kelm(plies):
    rng = np.random.default_rng(plies)
    h = lam.half_positions(plies)
    halves = [runs_heavy_codes(rng, h) if i % 2 else rng.integers(0, 3, h) for i in range(60)]
    mine = lam.parameters(np.array(halves), plies)
    for codes, params in zip(halves, mine):
        laminate = kelm.Laminate([int(c) for c in codes], plies)
        assert params == pytest.approx(list(laminate.in_plane) + list(laminate.bending), abs=1e-13)
        for letters in ("-b", "-bf"):
            assert (lam.allowed(codes[None], plies, lam.LaminateRules.from_letters(letters))[0]
                    == kelm_allowed(codes, plies, letters)), (codes, letters)


@pytest.mark.parametrize("plies,letters", [(12, "-bf"), (13, "-bf"), (13, "-b")])
def test_enumeration_holds_every_allowed_laminate_once(plies, letters):
    rules = lam.LaminateRules.from_letters(letters)
    options = lam.enumerate_allowed(plies, rules)
    every = lam.brute_force(plies, rules)
    assert lam.allowed(options.code_rows(), plies, rules).all()
    distinct = np.unique(np.round(lam.parameters(every, plies), 12), axis=0)
    found = np.round(lam.parameters(options.code_rows(), plies), 12)
    assert len(np.unique(found, axis=0)) == len(found) == len(distinct)
    assert np.array_equal(np.unique(found, axis=0), distinct)


@pytest.mark.parametrize("name", models.NAMES)
def test_decomposed_optimum_equals_brute_force_over_kelms_allowed_designs(name):
    model = models.load(name)
    for skin_plies, stiffener_plies, letters in ((8, 8, "-b"), (7, 9, "-bf")):
        halves = []
        for plies in (skin_plies, stiffener_plies):
            every = itertools.product(range(3), repeat=lam.half_positions(plies))
            halves.append(np.array([c for c in every if kelm_allowed(c, plies, letters)]))
        skin, stiffener = halves
        i, j = np.meshgrid(np.arange(len(skin)), np.arange(len(stiffener)), indexing="ij")
        ps, pt = lam.parameters(skin, skin_plies), lam.parameters(stiffener, stiffener_plies)
        x = np.hstack([ps[i.ravel(), :2], pt[j.ravel(), :2], ps[i.ravel(), 2:], pt[j.ravel(), 2:]])
        brute = models.objective(model, x, skin_plies, stiffener_plies).max()
        found = optima.true_optimum(model, skin_plies, stiffener_plies, letters)
        assert found["value"] == pytest.approx(brute, rel=1e-12)
        assert min(found["modes"].values()) == pytest.approx(brute, rel=1e-12)


@pytest.mark.parametrize("name", models.NAMES)
def test_each_mode_reads_only_the_bending_parameters_it_declares(name):
    model = models.load(name)
    rng = np.random.default_rng(5)
    corners = np.array([[1, 1], [0, -1], [-1, 1]])
    x = (rng.dirichlet(np.ones(3), (40, 4)) @ corners).reshape(40, 8)
    base = model.analyse(x, 16, 24)
    for laminate, columns in (("skin", [4, 5]), ("stiffener", [6, 7])):
        moved = x.copy()
        moved[:, columns] = x[::-1, columns]
        after = model.analyse(moved, 16, 24)
        for mode in model.MODES:
            if model.READS_BENDING[mode] != laminate:
                np.testing.assert_allclose(after[mode], base[mode], rtol=1e-13)


def test_the_runner_judges_baselines_and_a_loop_on_the_cached_optimum():
    rules = lam.LaminateRules.from_letters("-bf")
    rng = np.random.default_rng(0)
    for plies in (13, 16):
        for _ in range(100):
            codes = genetic.repair(runs_heavy_codes(rng, lam.half_positions(plies)), plies,
                                   rules, rng)
            assert lam.allowed(codes[None], plies, rules)[0]
    ga = gap_table.run_one("ga", "shear_blade", 12, 16, "-bf", seed=1, budget=100)
    assert ga["allowed"] and ga["analyses"] == 100 and 0 <= ga["gap"] <= ga["gap_50"]
    stub = gap_table.run_one("stub", "hat_strength", 12, 16, "-b", seed=2, budget=40)
    assert stub["allowed"] and ";" not in stub["status"] and stub["gap"] >= -1e-9


def test_the_budget_table_counts_a_seed_run_again_once(tmp_path, capsys):
    import budget_table

    header = "model,size,rules,seed,gap,gap_50,gap_100,gap_200\n"
    first = tmp_path / "first.csv"
    first.write_text(header + "m,12/16,-bf,1,4.0,,,\nm,12/16,-bf,2,0.0,,,\n")
    again = tmp_path / "again.csv"
    again.write_text(header + "m,12/16,-bf,1,1.0,,,\n")
    ga = tmp_path / "ga.csv"
    ga.write_text(header + "m,12/16,-bf,1,2.0,9.0,5.0,2.0\n")
    ga30 = tmp_path / "ga30.csv"
    ga30.write_text(header + "m,12/16,-bf,1,12.0,,,\n")
    budget_table.main([f"--loop=30:{first},50:{first},50:{again}",
                       f"--ga={ga},30:{ga30}"])
    row = capsys.readouterr().out.splitlines()[-1]
    # loop 30 | loop 50 (seed 1 as run again) | GA 30 (its own runs) | GA 50 (after 50 of 200)
    assert row == ("| m | 12/16 | -bf | 2.00 / 4.00 (2) | 0.50 / 1.00 (2) | 12.00 / 12.00 (1) "
                   "| 9.00 / 9.00 (1) |")
