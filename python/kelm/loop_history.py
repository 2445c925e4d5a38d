"""A design loop's history: one CSV row per analysis, appended as each batch is analysed, and the
regions' state beside it (HISTORY.regions.json), so that a loop started again on the same file
goes on where it stopped without repeating an analysis."""

from __future__ import annotations

import csv
import json
import math
import os
from typing import Dict, List, Mapping, Optional, Sequence

from ._kelm import Design, Laminate
from .loop_records import Record, Ranking
from .workflow import design_columns


class History:
    """The history file of one loop (path None: the loop keeps no file)."""

    def __init__(self, path: Optional[str], names: Sequence[str], ranking: Ranking,
                 skin_plies: int, stiffener_plies: int):
        self.path = path
        self.names = list(names)
        self.ranking = ranking
        self.plies = (skin_plies, stiffener_plies)
        self.columns: Optional[List[str]] = None  # the file's own header, once resumed

    # --- rows -----------------------------------------------------------------------------
    def fresh_columns(self) -> List[str]:
        return (["round", "skin_plies", "stiffener_plies", "skin", "stiffener", "skin_codes",
                 "stiffener_codes"] + [f"x{i}" for i in range(1, 9)] + self.names
                + ["objective", "feasible", "predicted", "radius", "proved", "region", "failed"])

    def row(self, record: Record) -> dict:
        row = {"round": record.round, **design_columns(record.design, stacks=False)}
        row.update({n: record.responses.get(n, math.nan) for n in self.names})
        usable = not record.failed
        row["objective"] = self.ranking.objective(record) if usable else math.nan
        row["feasible"] = usable and self.ranking.meets(record)
        row["predicted"] = record.predicted
        row["radius"] = record.radius
        row["proved"] = record.proved
        row["region"] = math.nan if record.region is None else record.region
        row["failed"] = record.failed
        return row

    def append(self, records: List[Record]) -> None:
        """The batch's rows, on disk before the loop goes on (a crash loses no analysis)."""
        if self.path is None or not records:
            return
        fresh = not os.path.exists(self.path) or os.path.getsize(self.path) == 0
        with open(self.path, "a", newline="") as out:
            writer = csv.DictWriter(out, fieldnames=self.columns or self.fresh_columns(),
                                    lineterminator="\n")
            if fresh:
                writer.writeheader()
            for record in records:
                writer.writerow({k: _csv_value(v) for k, v in self.row(record).items()})
            out.flush()
            os.fsync(out.fileno())

    # --- resuming -------------------------------------------------------------------------
    def read(self) -> List[Record]:
        """The analyses of an existing file, oldest first (none without one); the file gets a
        column for every response it lacks."""
        if self.path is None or not os.path.exists(self.path):
            return []
        try:
            with open(self.path, newline="") as source:
                reader = csv.DictReader(source)
                rows = list(reader)
                header = list(reader.fieldnames or [])
        except (csv.Error, UnicodeDecodeError) as error:
            raise ValueError(f"history {self.path}: not a history CSV ({error})") from None
        records = [self._record(row, number) for number, row in enumerate(rows, 2)]
        self._widen(header)
        return records

    def _record(self, row: Mapping[str, str], number: int) -> Record:
        where = f"history {self.path}, line {number}"
        if None in row or None in row.values():
            raise ValueError(f"{where}: the row has {'more' if None in row else 'fewer'} "
                             "cells than the header")
        try:
            design = _design_of(row)
            responses = {n: float(row[n]) if row.get(n, "") != "" else math.nan
                         for n in self.names}
            record = Record(design, int(row.get("round") or 0), responses, row.get("failed", ""),
                            float(row.get("predicted") or "nan"),
                            float(row.get("radius") or "nan"), _flag(row.get("proved")),
                            int(row["region"]) if row.get("region") else None)
        except KeyError as error:
            raise ValueError(f"{where}: no column {error}") from None
        except (ValueError, TypeError) as error:
            raise ValueError(f"{where}: {error}") from None
        plies = (design.skin.plies, design.stiffener.plies)
        if plies != self.plies:
            raise ValueError(f"{where}: a design of {plies[0]}/{plies[1]} plies; this loop designs "
                             f"{self.plies[0]}/{self.plies[1]} (another history?)")
        if not record.failed and not all(math.isfinite(v) for v in responses.values()):
            record.failed = "no number for " + ", ".join(n for n, v in responses.items()
                                                        if not math.isfinite(v))
        return record

    def _widen(self, header: List[str]) -> None:
        """Rows are appended under the file's own header; a response the file has no column for
        (the loop resumed with other names) gets one, the file rewritten whole."""
        columns = self.fresh_columns()
        self.columns = header + [c for c in columns if c not in header]
        if len(self.columns) == len(header):
            return
        with open(self.path, newline="") as source:
            rows = list(csv.DictReader(source))
        with open(self.path + ".tmp", "w", newline="") as out:
            writer = csv.DictWriter(out, fieldnames=self.columns, lineterminator="\n")
            writer.writeheader()
            writer.writerows(rows)
            out.flush()
            os.fsync(out.fileno())
        os.replace(self.path + ".tmp", self.path)

    # --- the regions' state beside it -------------------------------------------------------
    def _regions_path(self) -> Optional[str]:
        return None if self.path is None else self.path + ".regions.json"

    def save_regions(self, state: dict) -> None:
        """What the rows alone cannot tell after a round, written whole (a crash leaves the
        previous state)."""
        path = self._regions_path()
        if path is None:
            return
        with open(path + ".tmp", "w") as out:
            json.dump(state, out)
            out.flush()
            os.fsync(out.fileno())
        os.replace(path + ".tmp", path)

    def read_regions(self) -> Optional[dict]:
        """The regions' state saved beside the file (None: none, or unreadable)."""
        path = self._regions_path()
        if path is None or not os.path.exists(path):
            return None
        try:
            with open(path) as source:
                return json.load(source)
        except (OSError, ValueError):
            return None


def _design_of(row: Mapping[str, str]) -> Design:
    skin = Laminate([int(c) for c in row["skin_codes"]], int(row["skin_plies"]))
    stiffener = Laminate([int(c) for c in row["stiffener_codes"]], int(row["stiffener_plies"]))
    return Design(skin, stiffener)


def _flag(text: Optional[str]) -> Optional[bool]:
    return None if not text else text == "True"


def _csv_value(value):
    if isinstance(value, float):
        return "" if math.isnan(value) else repr(value)
    return value
