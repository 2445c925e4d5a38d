"""The next best designs: excluding designs the caller has rejected, from Python as from the
program."""

import json
import subprocess

import pytest

import kelm


def program_designs(build, tmp_path, args):
    out = tmp_path / "result.json"
    subprocess.run([str(build / "kelm_alt"), "--seed=1", f"--json={out}", *args],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    document = json.loads(out.read_text())
    return [(d["skin"]["printed"], d["stiffener"]["printed"], d["value"])
            for d in document["designs"]], document


def printed(result):
    return [(d.skin.printed, d.stiffener.printed, d.value) for d in result.designs]


@pytest.mark.parametrize("method", ["tight", "tree", "exhaustive"])
def test_excluding_the_optimum_gives_what_the_program_gives(build, examples, tmp_path, method):
    surface_file = examples / "panel_b.rs"
    surface = kelm.Surface.read(str(surface_file))
    skin, stiffener = (10, 12) if method == "exhaustive" else (16, 20)
    first = kelm.optimize(surface, skin, stiffener, method=method, rules="-bf", seed=1, threads=2)
    # Designs and code pairs alike; the search's answer is the best of the rest.
    excluded = [first.designs[0]] + [(d.skin.codes, d.stiffener.codes) for d in first.designs[1:]]
    second = kelm.optimize(surface, skin, stiffener, method=method, rules="-bf", seed=1,
                           threads=2, exclude=excluded)
    assert second.status == "optimal" and second.value < first.value
    report = tmp_path / "first.txt"
    report.write_text("".join(f"{s}\n{t}\noptimal value = {v}\n" for s, t, v in printed(first)))
    letters = "-bfr" if method == "exhaustive" else "-bf"
    extra = ["--tight"] if method == "tight" else []
    expected, document = program_designs(build, tmp_path, [*extra, f"--exclude={report}", letters,
                                                           str(skin), str(stiffener), str(surface_file)])
    assert sorted(printed(second)) == sorted(expected)
    assert document["exclude"]["designs"] == len(first.designs)


def test_exclude_is_checked_where_it_enters(examples):
    surface = kelm.Surface.read(str(examples / "panel_a.rs"))
    design = kelm.optimize(surface, 10, 12, seed=1).designs[0]
    with pytest.raises(ValueError, match="10/12 plies; the search is for 10/14"):
        kelm.optimize(surface, 10, 14, exclude=[design])
    with pytest.raises(TypeError, match="exclude\\[0\\] must be"):
        kelm.optimize(surface, 10, 12, exclude=[42])
    with pytest.raises(TypeError, match="sequence of designs"):
        kelm.optimize(surface, 10, 12, exclude=design)
    with pytest.raises(ValueError, match="exclude: a skin of 2 codes"):
        kelm.optimize(surface, 10, 12, exclude=[([1, 1], design.stiffener.codes)])
    with pytest.raises(ValueError, match="not with 'iterative'"):
        kelm.optimize(surface, 10, 12, method="iterative", exclude=[design])


@pytest.mark.parametrize("method", ["tight", "tree", "exhaustive"])
def test_the_k_best_are_what_the_program_lists_best_first(build, examples, tmp_path, method):
    surface_file = examples / "panel_a.rs"
    skin, stiffener = (10, 12) if method == "exhaustive" else (16, 20)
    result = kelm.optimize(kelm.Surface.read(str(surface_file)), skin, stiffener, method=method,
                           rules="-bf", seed=1, threads=2, top=6)
    assert result.status == "optimal" and len(result.designs) >= 6
    values = [d.value for d in result.designs]
    assert values == sorted(values, reverse=True) and result.value == values[0]
    letters = "-bfr" if method == "exhaustive" else "-bf"
    extra = ["--tight"] if method == "tight" else []
    expected, document = program_designs(build, tmp_path, [*extra, "--top=6", letters, str(skin),
                                                           str(stiffener), str(surface_file)])
    assert printed(result) == expected and document["top"] == 6
    # The best alone is the first of the K best.
    best = kelm.optimize(kelm.Surface.read(str(surface_file)), skin, stiffener, method=method,
                         rules="-bf", seed=1, threads=2)
    assert printed(best) == printed(result)[:len(best.designs)]


def test_top_is_checked_where_it_enters(examples):
    surface = kelm.Surface.read(str(examples / "panel_a.rs"))
    with pytest.raises(ValueError, match="top must be 1 or more"):
        kelm.optimize(surface, 10, 12, top=0)
    with pytest.raises(ValueError, match="whole number"):
        kelm.optimize(surface, 10, 12, top=2.5)
    with pytest.raises(ValueError, match="not with 'round-robin'"):
        kelm.optimize(surface, 10, 12, method="round-robin", top=3)


def test_a_table_of_analysed_designs_excludes_its_designs(build, examples, tmp_path):
    """The loop's history (kelm_sample's columns) as the exclude file: the next best remain."""
    surface_file = examples / "panel_a.rs"
    args = ["--tight", "-bf", "16", "20", str(surface_file)]
    top4, _ = program_designs(build, tmp_path, ["--top=4", *args])
    history = tmp_path / "history.csv"
    history.write_text("skin_plies,stiffener_plies,skin,stiffener,response\n" +
                       "".join(f"16,20,{s},{t},1.0\n" for s, t, _ in top4[:3]))
    rest, document = program_designs(build, tmp_path, [f"--exclude={history}", *args])
    assert rest == [top4[3]] and document["exclude"]["designs"] == 3
