"""Seeded fuzzing of the files the newer programs read: the structure file, the blended design
file, the loop's history CSV and the analysis command's output CSV. Each mutation of a valid
file (cut short, bytes inserted or dropped, spans repeated, values of the wrong type, numbers
beyond the doubles or below them, bytes that are not UTF-8, keys given twice) and each odd file
(empty, a folder) must end a program with status 0, 1 or its documented "found nothing" status
and a message, never an abort or a hang, and the Python functions may raise only TypeError,
ValueError and OSError (subclasses included)."""

import json
import math
import os
import random
import subprocess

import pytest

import kelm
from kelm import loop_command

SEED = int(os.environ.get("KELM_FUZZ_SEED", "47"))
ROUNDS = int(os.environ.get("KELM_FUZZ_ROUNDS", "40"))
ODD_VALUES = ["1e999", "-1e999", "1e-320", "-0", "0", "NaN", "null", "true", '"x"', "[]", "{}",
              "99999999999999999999999", "-5", "1.5", '"\\u0000"', '"\xff"']
ODD_BYTES = [b"\x00", b"\xff\xfe", b"\x80", b'"', b",", b"\n", b"\r", b"{", b"]", b"\\", b"e9"]
ACCEPTED_ERRORS = (TypeError, ValueError, OSError)


def mutations(text: str, rng: random.Random, count: int):
    """count mutations of text, the same for the same seed."""
    data = text.encode()
    for _ in range(count):
        kind = rng.randrange(7)
        at = rng.randrange(len(data) + 1)
        if kind == 0:
            out = data[:at]  # cut short
        elif kind == 1:
            out = data[:at] + data[at + rng.randrange(1, 20):]
        elif kind == 2:
            span = data[at:at + rng.randrange(1, 40)]
            out = data[:at] + span + span + data[at + len(span):]
        elif kind == 3:
            out = data[:at] + rng.choice(ODD_BYTES) + data[at:]
        elif kind == 4:  # a value replaced by an odd one
            out = _replace_token(data, rng, rng.choice(ODD_VALUES).encode("utf-8", "surrogateescape"))
        elif kind == 5:  # a key given twice, or a column named twice
            out = data.replace(b'"plies": ', b'"plies": "4:6", "plies": ', 1) if b'"plies"' in data \
                else data.replace(b",", b",round,", 1)
        else:
            out = data.replace(b"\n", b"\r\n").replace(b"0", b"\xff", 1)
        yield out


def _replace_token(data: bytes, rng: random.Random, value: bytes) -> bytes:
    import re

    tokens = [m.span() for m in re.finditer(rb"-?[0-9][0-9.e+-]*|\"[^\"]*\"|true|false|null", data)]
    if not tokens:
        return data + value
    start, end = rng.choice(tokens)
    return data[:start] + value + data[end:]


def odd_files(tmp_path):
    empty = tmp_path / "empty"
    empty.write_bytes(b"")
    folder = tmp_path / "folder"
    folder.mkdir(exist_ok=True)
    return [empty, folder]


def run(program_and_args, **kw):
    done = subprocess.run(program_and_args, capture_output=True, timeout=20, **kw)
    assert done.returncode in (0, 1, 2, 124), (program_and_args, done.returncode, done.stderr[-400:])
    if done.returncode == 1:
        assert done.stderr.strip(), program_and_args
        assert b"Traceback" not in done.stderr and b"json.exception" not in done.stderr
    return done


@pytest.fixture(scope="module")
def structure(tmp_path_factory):
    folder = tmp_path_factory.mktemp("fuzz_structure")
    (folder / "a.rs").write_text("0 0.0\n10000 1.0\n")
    (folder / "b_4.rs").write_text("0 0.5\n1 0.25\n11 -0.1\n")
    for plies in (6, 8):
        (folder / f"b_{plies}.rs").write_text("0 0.5\n1 0.25\n")
    text = json.dumps({"panels": [
        {"name": "A", "ply_weight": 1, "plies": "4:8", "require": [{"surface": "a.rs", "limit": 0.5}]},
        {"name": "B", "ply_weight": 2.5, "plies": [4, 8], "rules": {"balance": True, "max_run": 3},
         "objective": ["b_{plies}.rs"]}],
        "adjacent": [["A", "B"]], "blending": {"form": "table", "covering": 1, "max_drops": 2}})
    (folder / "structure.json").write_text(text)
    return folder


def test_structure_and_design_files(build, structure, tmp_path):
    rng = random.Random(SEED)
    valid = structure / "structure.json"
    design = structure / "design.json"
    run([str(build / "kelm_blend"), str(valid), f"--json={design}"])
    files = odd_files(tmp_path)
    for i, text in enumerate(mutations(valid.read_text(), rng, ROUNDS)):
        files.append(structure / f"mutant_{i}.json")
        files[-1].write_bytes(text)
    for path in files:
        run([str(build / "kelm_blend"), str(path), "--time-limit=2"])
        run([str(build / "kelm_eval"), "--structure", str(path), str(design)])
        try:
            kelm.blend(str(path), time_limit=2)
        except ACCEPTED_ERRORS:
            pass
    design_files = odd_files(tmp_path)
    for i, text in enumerate(mutations(design.read_text(), rng, ROUNDS)):
        design_files.append(structure / f"design_{i}.json")
        design_files[-1].write_bytes(text)
    for path in design_files:
        run([str(build / "kelm_eval"), "--structure", str(valid), str(path)])
    # Whole documents of the wrong shape through Python.
    for wrong in ([], {"panels": {}}, {"panels": [[]]}, {"panels": [{"name": 1}]}, "x", 3):
        with pytest.raises(ACCEPTED_ERRORS):
            kelm.blend(wrong, base=structure)


MODES = ["a", "b"]


def analyse(designs):
    return [{"a": 1.0 + sum(d.parameters[:2]), "b": 2.0 - d.parameters[4]} for d in designs]


@pytest.fixture(scope="module")
def plan():
    return kelm.sample_plan(8, 8, 12, seed=3).designs


def test_history_csv(plan, tmp_path):
    rng = random.Random(SEED + 1)
    history = tmp_path / "history.csv"
    kelm.optimize_model(analyse, 8, 8, modes=MODES, plan=plan, budget=len(plan), history=history)
    text = history.read_text()
    paths = odd_files(tmp_path)
    for i, mutant in enumerate(mutations(text, rng, ROUNDS)):
        paths.append(tmp_path / f"history_{i}.csv")
        paths[-1].write_bytes(mutant)
    for path in paths:
        try:
            result = kelm.optimize_model(analyse, 8, 8, modes=MODES, plan=plan, budget=len(plan),
                                         history=path)
        except ACCEPTED_ERRORS:
            continue
        assert result.best is None or math.isfinite(result.value)


def test_analysis_output_csv(plan, tmp_path):
    """What the command writes goes through kelm_loop's reader into the loop: a bad file is a
    failed batch or a refusal, never a traceback."""
    rng = random.Random(SEED + 2)
    source = tmp_path / "designs.csv"
    loop_command._write_designs(str(source), plan)
    good = tmp_path / "good.csv"
    rows = source.read_text().splitlines()
    good.write_text("\n".join([rows[0] + ",a,b"] + [r + ",1.5,2.5" for r in rows[1:]]) + "\n")
    outputs = odd_files(tmp_path)
    for i, mutant in enumerate(mutations(good.read_text(), rng, ROUNDS)):
        outputs.append(tmp_path / f"out_{i}.csv")
        outputs[-1].write_bytes(mutant)
    for output in outputs:
        command = loop_command.CommandAnalysis(f"cp {output} {{out}} # {{in}}", str(tmp_path))
        try:
            result = kelm.optimize_model(command, 8, 8, modes=MODES, plan=plan, budget=len(plan),
                                         batch=len(plan))
        except ACCEPTED_ERRORS:
            continue
        assert result.analyses == len(plan)
