"""The design rules of a laminate, and the forms a call may give them in: a Rules, the
programs' option letters, one for both laminates of a panel, a pair or a dict."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Optional, Sequence, Tuple, Union

from . import _checks


@dataclass(frozen=True)
class Rules:
    """The design rules of one laminate (or of both, where one Rules is given for the panel).

    balance: as many +45 as -45 deg plies (option letter b; off with n).
    four_ply: no more than four equal plies in a row (option f).
    ply_numbers: fixed numbers of 0 and +-45 deg positions of the designed half, 90 deg taking
        the rest (option p); fixed numbers switch the balance rule off for that laminate.
    min_share: each orientation at least this percentage of the plies (--min-share=).
    max_run: the longest run of equal 0 or 90 deg positions (--max-run=).
    no_cross_ply_jump: no 0 deg position next to a 90 deg one (--no-cross-ply-jump).
    outer_45: the outermost position is +-45 deg (--outer-45).
    """

    balance: bool = True
    four_ply: bool = False
    ply_numbers: Optional[Tuple[int, int]] = None
    min_share: float = 0.0
    max_run: int = 0
    no_cross_ply_jump: bool = False
    outer_45: bool = False

    @classmethod
    def from_letters(cls, letters: str, **guidelines) -> "Rules":
        """The rules of the programs' option letters ("-b", "-bf", "n", ...), plus guidelines.

        Letter p needs the numbers: give them as ply_numbers=(zero, plus_minus_45).
        """
        _checks.text(letters, "rules")
        balance, four_ply = True, False
        for letter in letters:
            if letter == "b":
                balance = True
            elif letter == "n":
                balance = False
            elif letter == "f":
                four_ply = True
            elif letter not in "-p":
                raise ValueError(f"unknown option! {letter!r} in rules {letters!r}: the letters are "
                                 f"{_LETTERS}" + (_METHOD_LETTER if letter == "r" else ""))
        if "p" in letters and guidelines.get("ply_numbers") is None:
            raise ValueError("option p needs ply_numbers=(zero, plus_minus_45)")
        return cls(balance=balance, four_ply=four_ply, **guidelines)

    def __post_init__(self):
        # Each field checked and made a plain Python value here, so that a bad one is refused
        # when the Rules is made, not inside a search.
        def keep(name, value):
            object.__setattr__(self, name, value)

        for name in ("balance", "four_ply", "no_cross_ply_jump", "outer_45"):
            keep(name, _checks.flag(getattr(self, name), f"Rules.{name}"))
        min_share = _checks.real(self.min_share, "Rules.min_share")
        if not 0.0 <= min_share <= 100.0 / 3.0:
            raise ValueError("min_share takes a percentage from 0 up to 33.3")
        keep("min_share", min_share)
        keep("max_run", _checks.whole(self.max_run, "Rules.max_run", 0))
        if self.ply_numbers is not None:
            if isinstance(self.ply_numbers, (str, bytes)) or not hasattr(self.ply_numbers, "__len__"):
                raise TypeError("Rules.ply_numbers must be a pair of whole numbers or None, not "
                                f"{type(self.ply_numbers).__name__}")
            if len(self.ply_numbers) != 2:
                raise ValueError("ply_numbers takes two numbers: 0 deg and +-45 deg positions")
            keep("ply_numbers", tuple(_checks.whole(n, f"Rules.ply_numbers[{i}]", 0)
                                      for i, n in enumerate(self.ply_numbers)))


_LETTERS = "b (balance), n (no balance rule), f (4-ply rule), p (fixed ply numbers) and '-'"
_METHOD_LETTER = "; for the programs' letter r use method='exhaustive' or 'round-robin'"

RulesArgument = Union[None, str, Rules, Sequence[Rules], dict]
_LAMINATES = ("skin", "stiffener")


def _laminate_rules(rules, name: str) -> Rules:
    """One laminate's rules: None (the default), a Rules or the programs' letters."""
    if rules is None:
        return Rules()
    if isinstance(rules, str):
        return Rules.from_letters(rules)
    if isinstance(rules, Rules):
        return rules
    raise TypeError(f"{name} must be a kelm.Rules, option letters or None, not "
                    f"{type(rules).__name__}")


def _panel_rules(rules: RulesArgument) -> Tuple[Rules, Rules]:
    """Both laminates' rules from one Rules, a pair, {"skin": .., "stiffener": ..} or letters."""
    if rules is None or isinstance(rules, (str, Rules)):
        both = _laminate_rules(rules, "rules")
        return both, both
    if isinstance(rules, dict):
        for key in rules:
            if key not in _LAMINATES:
                raise ValueError(f"rules: unknown key {key!r}; the keys are 'skin' and "
                                 "'stiffener' (one laminate's rules: kelm.Rules(...))")
        return tuple(_laminate_rules(rules.get(k), f"rules[{k!r}]") for k in _LAMINATES)
    if isinstance(rules, (list, tuple)):
        if len(rules) != 2:
            raise ValueError(f"rules: a pair (skin, stiffener) has two items, not {len(rules)}")
        return tuple(_laminate_rules(r, f"rules[{i}]") for i, r in enumerate(rules))
    raise TypeError("rules must be None, option letters, a kelm.Rules, a pair (skin, stiffener) "
                    f"or a dict with keys 'skin' and 'stiffener', not {type(rules).__name__}")
