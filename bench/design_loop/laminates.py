"""The laminates kelm allows, enumerated exactly, and their lamination parameters.

A laminate of N plies is symmetric: its designed half has h = ceil(N/2) positions, outer
surface inward, each 0 (0 deg), 1 (+-45 deg) or 2 (90 deg); for an odd N the last position
is the mid-plane ply, which the laminate holds once. The rules used here are kelm's:

- balance (-b): the number of +-45 positions outside the mid-plane ply is even, and the
  mid-plane ply of an odd total is not +-45;
- 4-ply rule (-f, applied when h > 2): no run of equal 0 or 90 positions longer than four, and
  the innermost run (ending at position h) of 0 or 90 no longer than two, since the mirror
  doubles it; runs of +-45 are free.

Exact integer weights. With the positions' bending weights scaled by N^3,
W_k = (N - 2k + 2)^3 - (N - 2k)^3 (ordinary ply) and 1 (mid-plane ply), and in-plane weights
scaled by N, w_k = 2 (ordinary) and 1 (mid-plane), every lamination parameter is an integer
over N or N^3:
    xi1 = (I0 - I90)/N,   xi2 = (N - 2 I45)/N,
    xi3 = (B0 - B90)/N^3, xi4 = (N^3 - 2 B45)/N^3,
with I_c and B_c the sums of the weights of the positions holding code c. So laminates are
deduplicated exactly by integers, and enumeration runs as a dynamic programme over the
positions whose state is (I0, I45, B0, B45, last code, run length): two half laminates with
equal state have the same future, so only one representative of each state is kept.
"""

from dataclasses import dataclass

import numpy as np

CODES = (0, 1, 2)


def half_positions(plies):
    return (plies + 1) // 2


def weights(plies):
    """Integer in-plane and bending weights of the half's positions (scaled by N, N^3)."""
    h = half_positions(plies)
    k = np.arange(1, h + 1, dtype=np.int64)
    inplane = np.full(h, 2, dtype=np.int64)
    bending = (plies - 2 * k + 2) ** 3 - (plies - 2 * k) ** 3
    if plies % 2:
        inplane[-1], bending[-1] = 1, 1
    return inplane, bending


def parameters(codes, plies):
    """(xi1, xi2, xi3, xi4) of half laminates: codes an M x h array -> M x 4 array."""
    codes = np.atleast_2d(np.asarray(codes))
    inplane, bending = weights(plies)
    n3 = float(plies) ** 3
    sums = [((codes == c) * inplane).sum(axis=1) for c in CODES]
    bends = [((codes == c) * bending).sum(axis=1) for c in CODES]
    return np.stack([(sums[0] - sums[2]) / plies, (plies - 2 * sums[1]) / plies,
                     (bends[0] - bends[2]) / n3, (n3 - 2 * bends[1]) / n3], axis=1)


@dataclass(frozen=True)
class LaminateRules:
    balance: bool = True
    four_ply: bool = False

    @classmethod
    def from_letters(cls, letters):
        balance, four_ply = True, False
        for letter in letters:
            if letter == "b":
                balance = True
            elif letter == "n":
                balance = False
            elif letter == "f":
                four_ply = True
            elif letter != "-":
                raise ValueError(f"rules take the letters b, n and f, not {letters!r}")
        return cls(balance, four_ply)


def allowed(codes, plies, rules):
    """Whether each half laminate (M x h codes) keeps the rules: array of M booleans."""
    codes = np.atleast_2d(np.asarray(codes))
    h = half_positions(plies)
    ok = np.ones(len(codes), dtype=bool)
    if rules.balance:
        ordinary = codes[:, :h - 1] if plies % 2 else codes
        ok &= (ordinary == 1).sum(axis=1) % 2 == 0
        if plies % 2:
            ok &= codes[:, -1] != 1
    if rules.four_ply and h > 2:
        for row, codes_row in enumerate(codes):
            if ok[row]:
                ok[row] = _runs_allowed(codes_row)
    return ok


def _runs_allowed(codes):
    h = len(codes)
    first = 0
    while first < h:
        last = first
        while last + 1 < h and codes[last + 1] == codes[first]:
            last += 1
        limit = 2 if last == h - 1 else 4
        if codes[first] != 1 and last - first + 1 > limit:
            return False
        first = last + 1
    return True


@dataclass
class LaminateOptions:
    """Every distinct allowed laminate of one ply total, grouped by in-plane parameters.

    inplane: G x 2 integer (I0, I45) per group; for group g, the rows start[g]:start[g+1] of
    bending (B0, B45) and codes (the half, base 4, position 1 in the lowest bits) are its
    distinct bending options with one representative arrangement each."""

    plies: int
    inplane: np.ndarray
    start: np.ndarray
    bending: np.ndarray
    codes: np.ndarray

    def group(self, g):
        return slice(self.start[g], self.start[g + 1])

    def inplane_parameters(self):
        """G x 2 array of (xi1, xi2)."""
        n = self.plies
        i0, i45 = self.inplane[:, 0], self.inplane[:, 1]
        return np.stack([(2 * i0 + i45 - n) / n, (n - 2 * i45) / n], axis=1)

    def bending_parameters(self, rows=slice(None)):
        """M x 2 array of (xi3, xi4) of the given rows."""
        n3 = float(self.plies) ** 3
        b0, b45 = self.bending[rows, 0], self.bending[rows, 1]
        return np.stack([(2 * b0 + b45 - n3) / n3, (n3 - 2 * b45) / n3], axis=1)

    def code_rows(self, rows=slice(None)):
        """The representative halves of the given rows as an M x h array of codes."""
        h = half_positions(self.plies)
        packed = self.codes[rows]
        return (packed[:, None] >> (2 * np.arange(h, dtype=np.int64))) & 3

    def __len__(self):
        return len(self.bending)


# state key layout: I0 (6 bits) I45 (6) last code (2) run (3) B0 (17) B45 (17)
_FIELDS = ((6, "i0"), (6, "i45"), (2, "last"), (3, "run"), (17, "b0"), (17, "b45"))


def _pack(**fields):
    key, shift = np.zeros_like(fields["b45"]), 0
    for bits, name in _FIELDS:
        key |= fields[name].astype(np.int64) << shift
        shift += bits
    return key


def _unpack(key):
    out, shift = {}, 0
    for bits, name in _FIELDS:
        out[name] = (key >> shift) & ((1 << bits) - 1)
        shift += bits
    return out


def enumerate_allowed(plies, rules):
    """LaminateOptions of every allowed half laminate of `plies`, deduplicated by parameters."""
    if not 1 <= plies <= 64:
        raise ValueError(f"plies must be 1 to 64, not {plies}")
    h = half_positions(plies)
    inplane, bending = weights(plies)
    zero = np.zeros(1, dtype=np.int64)
    state = dict(i0=zero, i45=zero, last=zero + 3, run=zero, b0=zero, b45=zero)
    codes = zero.copy()
    for k in range(h):
        grown, grown_codes = [], []
        for c in CODES:
            if rules.balance and plies % 2 and k == h - 1 and c == 1:
                continue  # the mid-plane ply of a balanced odd laminate is not +-45
            run = np.where(state["last"] == c, state["run"] + 1, 1)
            keep = np.ones(len(run), dtype=bool)
            if rules.four_ply and h > 2 and c != 1:
                keep = run <= (2 if k == h - 1 else 4)
            new = dict(i0=state["i0"] + (inplane[k] if c == 0 else 0),
                       i45=state["i45"] + (inplane[k] if c == 1 else 0),
                       last=np.full(len(run), c), run=np.minimum(run, 7),
                       b0=state["b0"] + (bending[k] if c == 0 else 0),
                       b45=state["b45"] + (bending[k] if c == 1 else 0))
            if not rules.four_ply:
                new["run"] = np.zeros(len(run), dtype=np.int64)
                new["last"] = np.zeros(len(run), dtype=np.int64)
            grown.append(_pack(**{n: v[keep] for n, v in new.items()}))
            grown_codes.append(codes[keep] | (c << (2 * k)))
        keys, first = np.unique(np.concatenate(grown), return_index=True)
        codes = np.concatenate(grown_codes)[first]
        state = _unpack(keys)
    if rules.balance:
        ordinary_45 = state["i45"] // 2  # ordinary positions weigh 2, the mid-plane ply is never 45
        good = ordinary_45 % 2 == 0
        state = {n: v[good] for n, v in state.items()}
        codes = codes[good]
    # drop the run state: group by in-plane sums, deduplicate by bending sums
    key = (((state["i0"] << 6) | state["i45"]) << 34) | (state["b0"] << 17) | state["b45"]
    key, first = np.unique(key, return_index=True)
    codes = codes[first]
    i0, i45 = (key >> 40) & 63, (key >> 34) & 63
    groups = (i0 << 6) | i45
    starts = np.flatnonzero(np.r_[True, groups[1:] != groups[:-1]])
    return LaminateOptions(
        plies=plies, inplane=np.stack([i0[starts], i45[starts]], axis=1),
        start=np.r_[starts, len(key)], bending=np.stack([(key >> 17) & 0x1FFFF, key & 0x1FFFF], axis=1),
        codes=codes)


def brute_force(plies, rules):
    """Every allowed half laminate by plain enumeration (small totals only): M x h codes."""
    h = half_positions(plies)
    if h > 10:
        raise ValueError("brute force is for halves of at most 10 positions")
    every = np.array(np.meshgrid(*[CODES] * h, indexing="ij")).reshape(h, -1).T
    return every[allowed(every, plies, rules)]
