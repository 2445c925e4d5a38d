"""The closed-form blade panel of examples/: hand-checked loads, vectorisation, the CSV entry."""

import csv
import importlib
import subprocess
import sys

import numpy as np
import pytest


@pytest.fixture(scope="module")
def bp(examples):
    sys.path.insert(0, str(examples))
    try:
        return importlib.import_module("blade_panel")
    finally:
        sys.path.remove(str(examples))


def designs(n, seed=3):
    """Feasible x1..x8: each parameter pair inside the triangle of 0, +-45 and 90 degree plies."""
    corners = np.array([[1, 1], [0, -1], [-1, 1]])
    return (np.random.default_rng(seed).dirichlet(np.ones(3), (n, 4)) @ corners).reshape(n, 8)


def test_isotropic_panel_matches_hand_values(bp):
    e, nu = 70e3, 0.3
    panel = bp.BladePanel(e1=e, e2=e, g12=e / (2 * (1 + nu)), nu12=nu)
    got = bp.load_factors(np.zeros(8), 24, 32, panel)
    eps = 675 * 125 / (e * 3 * 125 + e * 4 * 40)
    d_skin, d_blade = e * 3 ** 3 / (12 * (1 - nu ** 2)), e * 4 ** 3 / (12 * (1 - nu ** 2))
    assert got["strain"] == pytest.approx(0.0045 / eps)
    # k = 4 for a simply supported plate whose length is a whole number of widths
    assert got["skin_buckling"] == pytest.approx(4 * np.pi ** 2 * d_skin / 125 ** 2 / (eps * e * 3))
    blade = 12 * d_blade * (1 - nu) / 2 / 40 ** 2 + np.pi ** 2 * d_blade / 500 ** 2
    assert got["blade_buckling"] == pytest.approx(blade / (eps * e * 4))


def test_orthotropic_skin_takes_the_best_number_of_half_waves(bp):
    d11, d22, d12, d66 = np.array([90e3, 8e3, 30e3]), np.array([8e3, 90e3, 30e3]), 3e3, 5e3
    m = np.arange(1, 60)[:, None]
    brute = np.pi ** 2 / 125 ** 2 * (d11 * (m * 125 / 500) ** 2 + 2 * (d12 + 2 * d66)
                                     + d22 * (500 / (m * 125)) ** 2).min(axis=0)
    assert bp.simply_supported_buckling(d11, d22, d12, d66, 500, 125) == pytest.approx(brute)
    # a laminate of 0 degree plies has the ply's own stiffness, one of 90 degree plies it turned
    panel = bp.BladePanel()
    q22 = panel.e2 / (1 - panel.nu12 ** 2 * panel.e2 / panel.e1)
    q = (q22 * panel.e1 / panel.e2, q22, panel.nu12 * q22, panel.g12)
    assert bp.stiffness(1, 1, 1, panel.invariants()) == pytest.approx(q)
    assert bp.stiffness(-1, 1, 1, panel.invariants()) == pytest.approx((q[1], q[0], *q[2:]))


def test_many_designs_at_once_equal_one_at_a_time(bp):
    xs = designs(6)
    plies = np.array([24, 16, 24, 32, 20, 24])
    many = bp.load_factors(xs, plies, 32)
    # the smooth minimum is a lower bound within ln(3)/rho of the plain one
    assert np.all((many["ks"] <= many["minimum"]) & (many["ks"] > many["minimum"] - np.log(3) / 50))
    for i, x in enumerate(xs):
        one = bp.load_factors(x, plies[i], 32)
        assert all(np.ndim(one[k]) == 0 and one[k] == pytest.approx(many[k][i]) for k in one)
    # more 0 degree plies in the blade stiffen the bay and lower its strain
    softer, stiffer = (bp.load_factors(np.r_[0, -1, blade, 0, -1, blade], 24, 32)
                       for blade in ([0, -1], [0.5, 0]))  # all +-45, half 0
    assert stiffer["strain"] > softer["strain"]
    # a point no laminate reaches (xi2 below 2 xi1^2 - 1) would give negative stiffness
    with pytest.raises(ValueError, match=r"designs \[1\]"):
        bp.load_factors(np.array([xs[0], [1, -1, 0, 0, 0, 0, 0, 0]]), 24, 32)


def test_csv_entry_fills_new_columns_and_empty_responses(bp, examples, tmp_path):
    plan, out, script = tmp_path / "plan.csv", tmp_path / "out.csv", examples / "blade_panel.py"
    x = designs(1, seed=5)[0]
    head = ["name", *[f"x{k}" for k in range(1, 9)], "skin_plies", "stiffener_plies", "response"]
    cells = ",".join("%.10g" % v for v in x)
    plan.write_text(",".join(head) + f"\na,{cells},24,32,\nb,{cells},24,32,0.5\n")
    subprocess.run([sys.executable, script, plan, f"--out={out}"], check=True)
    rows = list(csv.DictReader(out.open()))
    assert list(rows[0]) == head + list(bp.FACTORS) and [r["name"] for r in rows] == ["a", "b"]
    assert float(rows[0]["ks"]) == pytest.approx(bp.load_factors(x, 24, 32)["ks"], rel=1e-8)
    assert [r["response"] for r in rows] == [rows[0]["ks"], "0.5"]
    # a bad plan is reported and leaves no half-written output behind
    plan.write_text(",".join(head) + "\na,oops\n")
    bad = subprocess.run([sys.executable, script, plan, f"--out={tmp_path / 'no.csv'}"],
                         capture_output=True, text=True)
    assert bad.returncode == 1 and "error:" in bad.stderr and not (tmp_path / "no.csv").exists()
