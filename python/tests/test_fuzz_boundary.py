"""Random types and values for every argument of every public function (hypothesis, seeded so
that CI runs the same examples): each call either gives a sound answer or raises TypeError or
ValueError (OSError for files) in Python's terms; nothing hangs, crashes or answers wrongly."""

import math
import pathlib

import numpy as np
import pytest

import kelm

hypothesis = pytest.importorskip("hypothesis", reason="Debian: python3-hypothesis")
from hypothesis import HealthCheck, given, settings  # noqa: E402
from hypothesis import strategies as st  # noqa: E402

FUZZ = settings(max_examples=200, deadline=None, derandomize=True, database=None,
                suppress_health_check=list(HealthCheck))
REFUSED = (TypeError, ValueError)
BINDING_WORDS = ("incompatible function arguments", "Unable to cast", "Invoked with", "_optimize",
                 "_sample_plan", "_fit", "asdict()", "pybind11", "error: RsFile")
EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"
SURFACE = kelm.Surface.read(EXAMPLES / "panel_a.rs")
PLAN = kelm.sample_plan(8, 8, 60, seed=1).parameters

anything = st.one_of(
    st.none(), st.booleans(), st.integers(-10**12, 10**12),
    st.floats(allow_nan=True, allow_infinity=True), st.text(max_size=4), st.binary(max_size=3),
    st.lists(st.integers(-3, 3), max_size=4), st.tuples(st.integers(-2, 30), st.integers(-2, 30)),
    st.dictionaries(st.text(max_size=3), st.integers(), max_size=2),
    st.just(object()), st.just(SURFACE), st.just(np.float64("nan")), st.just(np.int64(12)))
ply_total = st.one_of(st.integers(1, 14), st.integers(-3, 0), st.just(10**9), anything)
seconds = st.one_of(st.none(), st.floats(0.01, 0.2), st.floats(-1, 0), anything)
letters = st.one_of(st.sampled_from(["-b", "-bf", "n", "nf", "bx", "-r", "p", ""]), anything)
rule_fields = st.fixed_dictionaries({}, optional={
    "balance": st.one_of(st.booleans(), anything), "four_ply": st.one_of(st.booleans(), anything),
    "min_share": st.one_of(st.floats(0, 40), anything), "max_run": st.one_of(st.integers(-1, 5), anything),
    "ply_numbers": st.one_of(st.none(), st.tuples(st.integers(-1, 4), st.integers(-1, 4)), anything),
    "no_cross_ply_jump": st.one_of(st.booleans(), anything), "outer_45": st.booleans()})


def rules_or_refusal(fields):
    try:
        return kelm.Rules(**fields)
    except REFUSED as error:
        plain(error)
        return None


panel_rules = st.one_of(st.none(), letters, rule_fields.map(rules_or_refusal),
                        st.dictionaries(st.sampled_from(["skin", "stiffener", "skn", "four_ply"]),
                                        st.one_of(st.none(), letters), max_size=2),
                        st.tuples(letters, letters), anything)


def plain(error):
    """A refusal in Python's terms: no binding signature, no file-format message for data."""
    text = str(error)
    assert text and not any(word in text for word in BINDING_WORDS), text


def call(function, *args, **kwargs):
    """The answer, or None when the arguments were refused as they should be."""
    try:
        answer = function(*args, **kwargs)
    except REFUSED as error:
        plain(error)
        return None
    hypothesis.event(f"{getattr(function, '__name__', function)} answered")
    return answer


def mostly_valid(valid, wild):
    """Valid arguments with none, one or two of them drawn from `wild` instead, so that the
    checks are passed as often as they are tried."""
    @st.composite
    def draw(data):
        arguments = {name: data(strategy) for name, strategy in valid.items()}
        for name in data(st.lists(st.sampled_from(sorted(wild)), max_size=2, unique=True)):
            arguments[name] = data(wild[name])
        return arguments
    return draw()


@FUZZ
@given(mostly_valid(
    dict(skin_plies=st.integers(1, 14), stiffener_plies=st.integers(1, 14),
         method=st.sampled_from(kelm.METHODS), rules=st.sampled_from([None, "-bf", "n", kelm.Rules(max_run=2)]),
         seed=st.integers(0, 3), time_limit=st.none() | st.floats(0.05, 0.2), threads=st.integers(1, 2),
         memory=st.none() | st.just(1 << 26), require=st.just(()) | st.just([(SURFACE, 0.9)])),
    dict(skin_plies=ply_total, stiffener_plies=ply_total, method=anything, rules=panel_rules,
         seed=anything, time_limit=seconds, threads=anything, memory=anything,
         require=st.one_of(st.lists(st.tuples(st.just(SURFACE), anything), max_size=1), anything),
         progress=st.one_of(anything, st.just(lambda p: 0), st.just(lambda p: False)),
         min_of=st.one_of(anything, st.just([SURFACE])))))
def test_optimize(arguments):
    if arguments["method"] in ("exhaustive", "round-robin"):
        for name in ("skin_plies", "stiffener_plies"):
            if isinstance(arguments[name], int) and not isinstance(arguments[name], bool):
                arguments[name] = min(arguments[name], 8)
    result = call(kelm.optimize, SURFACE, **arguments)
    if result is None:
        return
    assert result.status in ("optimal", "infeasible", "time-limit", "interrupted")
    assert result.success == (result.status == "optimal") and result.message
    assert (result.value is None) == (len(result.designs) == 0)
    if result.status == "infeasible":
        assert not result.designs
    for design in result.designs[:3]:
        assert math.isfinite(design.value)
        if not arguments.get("min_of"):
            assert abs(SURFACE(design.parameters) - design.value) < 1e-9


@FUZZ
@given(constant=st.one_of(anything, st.floats(-1, 1)),
       linear=st.one_of(anything, st.lists(st.floats(), min_size=8, max_size=8), st.just(SURFACE.linear),
                        st.lists(st.floats(-1, 1), min_size=8, max_size=8)),
       hessian=st.one_of(anything, st.just(np.eye(8)), st.just(np.full((8, 8), np.inf))),
       terms=st.one_of(anything, st.dictionaries(st.one_of(st.text(max_size=3), st.integers(-1, 300)),
                                                 st.one_of(st.floats(), anything), max_size=3),
                       st.dictionaries(st.sampled_from(["0", "1", "10", "11", "101", 1000, 2]),
                                       st.floats(-2, 2), max_size=4)),
       points=st.one_of(anything, st.lists(st.floats(-1, 1), min_size=8, max_size=8),
                        st.just(np.zeros((3, 8))), st.just(np.full((2, 8), np.nan))))
def test_surfaces(constant, linear, hessian, terms, points):
    for made in (call(kelm.Surface.from_arrays, constant, linear, hessian),
                 call(kelm.Surface.from_terms, terms)):
        if made is not None:
            assert all(math.isfinite(v) for v in made.terms.values())
            assert np.all(np.isfinite(made.linear)) and np.all(np.isfinite(made.hessian))
    value = call(SURFACE.value, points)
    if value is not None:
        assert np.all(np.isfinite(value))


@FUZZ
@given(path=st.one_of(anything, st.sampled_from(["", "/", "missing.rs", "/proc/self/nothing"])),
       comment=anything)
def test_files(path, comment, tmp_path_factory):
    for function in (kelm.Surface.read, kelm.check_surface):
        try:
            function(path)
        except (TypeError, ValueError, OSError) as error:
            plain(error)
            if isinstance(error, OSError) and not isinstance(error, (TypeError, ValueError)):
                assert error.errno is not None and error.filename is not None
    target = tmp_path_factory.mktemp("write") / "s.rs"
    try:
        SURFACE.write(target, comment)
    except REFUSED as error:
        plain(error)
        assert not target.exists() or target.stat().st_size == 0
    else:
        assert kelm.Surface.read(target).terms == SURFACE.terms


@FUZZ
@given(codes=st.one_of(anything, st.lists(st.integers(-1, 3), max_size=9)), plies=ply_total,
       text=st.one_of(anything, st.sampled_from(["[45/0/90]s", "[45/45]s", "[0/x]s"])),
       value=anything, fields=rule_fields, letters=letters)
def test_laminates_designs_and_rules(codes, plies, text, value, fields, letters):
    laminate = call(kelm.Laminate, codes, plies)
    if laminate is not None:
        assert len(laminate.codes) == len(codes) and laminate.plies == plies
        design = call(kelm.Design, laminate, laminate, value)
        if design is not None:
            assert design == kelm.Design(laminate, laminate, value) and hash(design) is not None
            call(kelm.evaluate, SURFACE, laminate, laminate, rules=letters)
    call(kelm.Laminate.parse, text, plies)
    call(kelm.Design, codes, laminate)
    rules = call(kelm.Rules, **fields)
    if rules is not None:
        assert isinstance(rules.max_run, int) and isinstance(rules.balance, bool)
    call(kelm.Rules.from_letters, letters)


@FUZZ
@given(arguments=mostly_valid(
    dict(skin_plies=st.integers(4, 10), stiffener_plies=st.just(8), count=st.integers(1, 60),
         pool=st.integers(50, 300), rules=st.sampled_from([None, "-bf"]), seed=st.integers(0, 3),
         time_limit=st.none() | st.floats(0.05, 0.2)),
    dict(skin_plies=ply_total, count=anything, pool=anything, rules=panel_rules, seed=anything,
         time_limit=seconds)),
    response=st.one_of(anything, st.lists(st.floats(), min_size=60, max_size=60),
                       st.lists(st.floats(-1, 1), min_size=60, max_size=60)),
    weights=st.one_of(st.none(), anything), target=st.one_of(anything, st.lists(st.floats(), max_size=9)))
def test_plans_fits_and_targets(arguments, response, weights, target):
    plan = call(kelm.sample_plan, **arguments)
    if plan is not None:
        assert plan.status in ("complete", "time-limit") and plan.success == (plan.status == "complete")
        assert plan.success <= (len(plan.designs) == arguments["count"])
    fit = call(kelm.fit_surface, PLAN, response, weights=weights)
    if fit is not None:
        assert np.all(np.isfinite(fit.surface.linear)) and math.isfinite(fit.surface.constant)
    made = call(kelm.target_surface, target)
    if made is not None:
        assert np.all(np.isfinite(made[0].hessian)) and math.isfinite(made[1])


@FUZZ
@given(name=anything, skin=ply_total, rules=panel_rules, method=st.one_of(st.just("tight"), anything),
       time_limit=seconds, errors=st.one_of(st.sampled_from(["raise", "record"]), anything),
       seed=st.one_of(st.integers(0, 3), anything))
def test_studies(name, skin, rules, method, time_limit, errors, seed):
    panel = call(kelm.Panel, name, SURFACE, skin, 8, rules=rules, method=method, time_limit=time_limit)
    if panel is None:
        return
    missing = kelm.Panel("missing", EXAMPLES / "no such panel.rs", 8, 8)
    try:
        table = kelm.run_panels([panel, missing], seed=seed, errors=errors, time_limit=time_limit)
    except (TypeError, ValueError, OSError) as error:
        plain(error)
        return
    assert list(table["status"])[1] == "error" and "FileNotFoundError" in table["message"][1]
    assert list(table["status"])[0] in ("optimal", "infeasible", "time-limit")


panel = st.fixed_dictionaries({}, optional={
    "name": st.one_of(st.sampled_from(["A", "B", ""]), anything),
    "ply_weight": st.one_of(st.floats(-1, 3), anything),
    "plies": st.one_of(st.sampled_from(["4:6", "6:4", "5:8", "4:200", "x"]),
                       st.lists(st.integers(-2, 10), max_size=3), anything),
    "require": st.one_of(st.lists(st.fixed_dictionaries({"surface": anything, "limit": anything}),
                                  max_size=1), anything),
    "rules": st.one_of(st.fixed_dictionaries({}, optional={"balance": anything, "max_run": anything}),
                       anything),
    "colour": anything})
structure = st.one_of(
    anything, st.sampled_from(["", "/", "missing.json"]),
    st.fixed_dictionaries({"panels": st.one_of(st.lists(panel, max_size=2), anything)}, optional={
        "adjacent": st.one_of(st.lists(st.lists(st.sampled_from(["A", "B", "C"]), max_size=3),
                                       max_size=2), anything),
        "blending": st.one_of(st.fixed_dictionaries({}, optional={
            "form": st.sampled_from(["table", "edge-wise", "zigzag"]), "covering": anything,
            "max_drops": anything, "totals": st.sampled_from(["even", "odd"])}), anything)}))


@FUZZ
@given(structure=structure, time_limit=seconds, progress=st.one_of(st.none(), anything))
def test_blend(structure, time_limit, progress, tmp_path_factory):
    base = tmp_path_factory.mktemp("blend") if isinstance(structure, dict) else None
    try:
        result = kelm.blend(structure, base=base, time_limit=time_limit, progress=progress)
    except (TypeError, ValueError, OSError) as error:
        plain(error)
    else:
        assert result.status in ("optimal", "infeasible", "stopped")
        assert result.success == (result.status == "optimal")
        assert len(result.panels) in (0, len(structure["panels"]))
