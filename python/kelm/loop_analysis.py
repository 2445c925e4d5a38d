"""Calling the user's analysis for a design loop: a batch in one call, or each design by its own
call on an executor or a Dask client; whatever the analysis raises or leaves out becomes a failed
design, never a stopped loop."""

from __future__ import annotations

import concurrent.futures
import math
from typing import Callable, List, Mapping, Optional, Sequence, Set, Tuple

from ._kelm import Design


class Stop(Exception):
    """The loop stops early; status says why (a key of STOP_REASONS)."""

    def __init__(self, status: str):
        super().__init__(status)
        self.status = status


def call_analyse(analyse: Callable, pool, designs: List[Design],
                 remaining_time: Callable[[], Optional[float]],
                 keep_partial: Callable[[list], None]) -> list:
    """One answer per design: a mapping of responses, or the exception its analysis raised.
    On a stop (the time limit, Ctrl-C) the designs already analysed are handed to keep_partial
    before the stop goes on."""
    if pool is None:
        try:
            return _rows(analyse(list(designs)), len(designs))
        except KeyboardInterrupt:
            raise
        except Exception as error:  # noqa: BLE001 -- the user's analysis may raise anything
            remaining = remaining_time()
            if _is_timeout(error) and remaining is not None and remaining <= 0:
                raise Stop("time-limit") from None  # stopped by the limit: not a failure
            return [error] * len(designs)
    submit = pool.submit
    extra = {"pure": False} if hasattr(pool, "gather") else {}
    futures = [submit(analyse, [d], **extra) for d in designs]
    answers = []
    try:
        for future in futures:
            try:
                answers.append(_rows(future.result(timeout=remaining_time()), 1)[0])
            except KeyboardInterrupt:
                raise
            except Exception as error:  # noqa: BLE001
                if _is_timeout(error):
                    raise Stop("time-limit") from None
                answers.append(error)
    except BaseException:
        for future in futures:
            future.cancel()
        # The designs analysed before the stop are kept.
        done = [(d, a) for d, a in zip(designs, answers)]
        if done:
            keep_partial(done)
        raise
    return answers


def responses(answer, names: Sequence[str], written: Set[str]) -> Tuple[dict, str]:
    """The numbers of one answer and why it is unusable ("" when it is usable); the names the
    analysis wrote are added to written."""
    if isinstance(answer, BaseException):
        return {}, f"{type(answer).__name__}: {answer}"
    if not isinstance(answer, Mapping):
        return {}, f"the analysis returned {type(answer).__name__}, not a mapping"
    written.update(str(k) for k in answer)
    values, missing = {}, []
    for name in names:
        try:
            value = float(answer[name])
        except (KeyError, TypeError, ValueError):
            value = math.nan
        if not math.isfinite(value):
            missing.append(name)
        values[name] = value
    for name, value in answer.items():
        if name not in values:
            try:
                values[str(name)] = float(value)
            except (TypeError, ValueError):
                pass
    return values, ("no number for " + ", ".join(missing)) if missing else ""


def refuse_unwritten(answers, names: Sequence[str], written: Set[str]) -> None:
    """A response no analysis has written yet, after a batch that answered, is a wrong name
    (a typo in modes or require), not a failed design: stop before the whole plan is spent."""
    answered = [a for a in answers if isinstance(a, Mapping)]
    missing = [n for n in names if n not in written]
    if answered and missing:
        columns = sorted({str(k) for a in answered for k in a})
        raise ValueError(f"the analysis wrote no {', '.join(missing)}: it wrote "
                         f"{', '.join(columns) or 'nothing'}; check the response names")


def _rows(answer, count: int) -> list:
    """The analysis's answer as one mapping per design (a DataFrame gives its rows)."""
    if hasattr(answer, "to_dict") and hasattr(answer, "columns"):
        answer = answer.to_dict("records")
    answer = list(answer)
    if len(answer) != count:
        raise ValueError(f"the analysis returned {len(answer)} results for {count} designs")
    return answer


def _is_timeout(error: BaseException) -> bool:
    return isinstance(error, (TimeoutError, concurrent.futures.TimeoutError)) or \
        type(error).__name__ == "TimeoutError"
