"""A genetic algorithm on the ply codes: the baseline the design loop must at least match.

The usual stacking-sequence GA (Le Riche & Haftka, AIAA J. 31(5), 1993; Gürdal, Haftka &
Hajela, Design and Optimization of Laminated Composite Materials, ch. 8): a genome is the two
designed halves, each position 0, 1 (+-45) or 2 (90); tournament selection, one-point
crossover per laminate, a change of one position's code and a swap of two positions (the
permutation operator, which keeps the ply counts) as mutations, elitism. Children that break a
rule are repaired (the +-45 count made even and the mid-plane ply of an odd total not +-45 by
changing one position; runs too long for the 4-ply rule broken by swaps), so every analysed
design is allowed. An analysis is spent only on a design not analysed before: repeated
designs take their recorded value.
"""

from dataclasses import dataclass, field

import numpy as np

import laminates as lam


def _too_long_run(codes):
    """(first, last) of the first run of 0 or 90 the 4-ply rule forbids, or None."""
    h, first = len(codes), 0
    while first < h:
        last = first
        while last + 1 < h and codes[last + 1] == codes[first]:
            last += 1
        if codes[first] != 1 and last - first + 1 > (2 if last == h - 1 else 4):
            return first, last
        first = last + 1
    return None


def repair(codes, plies, rules, rng):
    """An allowed half laminate near `codes` (changed in place and returned)."""
    h, mid = len(codes), plies % 2 == 1
    for _ in range(20):
        if rules.balance:
            if mid and codes[-1] == 1:
                codes[-1] = rng.choice((0, 2))
            ordinary = h - 1 if mid else h
            if (codes[:ordinary] == 1).sum() % 2:
                p = rng.integers(ordinary)
                codes[p] = rng.choice((0, 2)) if codes[p] == 1 else 1
        if rules.four_ply and h > 2:
            for _ in range(8 * h):
                run = _too_long_run(codes)
                if run is None:
                    break
                p = rng.integers(run[0], run[1] + 1)
                # a swap keeps the counts, hence the balance; a +-45 must not reach the mid-plane
                others = [q for q in range(h) if codes[q] != codes[p]
                          and not (mid and p == h - 1 and codes[q] == 1)]
                if others:
                    q = others[rng.integers(len(others))]
                    codes[p], codes[q] = codes[q], codes[p]
                else:
                    codes[p] = 2 - codes[p]  # 0 <-> 90 keeps the balance
        if lam.allowed(codes[None, :], plies, rules)[0]:
            return codes
        codes[:] = rng.integers(0, 3, h)  # give up on this one: start from a random half
    raise RuntimeError("repair found no allowed laminate")


@dataclass
class GeneticSearch:
    """evaluate(list of (skin codes, stiffener codes)) -> list of objective values."""

    evaluate: object
    skin_plies: int
    stiffener_plies: int
    rules: lam.LaminateRules
    seed: int
    population: int = 10
    elite: int = 2
    tournament: int = 3
    crossover: float = 0.9
    swap: float = 0.5
    values: list = field(default_factory=list)    # objective per analysis, in order
    designs: list = field(default_factory=list)   # (skin, stiffener) tuples, in order
    status: str = ""

    def __post_init__(self):
        self.rng = np.random.default_rng(self.seed)
        self.seen = {}

    def _random_half(self, plies):
        return repair(self.rng.integers(0, 3, lam.half_positions(plies)), plies, self.rules,
                      self.rng)

    def _mutate(self, codes, plies):
        h = len(codes)
        change = self.rng.random(h) < 1.0 / h
        codes[change] = (codes[change] + self.rng.integers(1, 3, change.sum())) % 3
        if self.rng.random() < self.swap:
            p, q = self.rng.choice(h, 2, replace=False)
            codes[p], codes[q] = codes[q], codes[p]
        return repair(codes, plies, self.rules, self.rng)

    def _child(self, parents, fitness):
        def pick():
            entrants = self.rng.choice(len(parents), self.tournament, replace=False)
            return parents[max(entrants, key=lambda i: fitness[i])]
        a, b = pick(), pick()
        child = []
        for part, plies in enumerate((self.skin_plies, self.stiffener_plies)):
            codes = a[part].copy()
            if self.rng.random() < self.crossover:
                cut = self.rng.integers(1, len(codes))
                codes[cut:] = b[part][cut:]
            child.append(self._mutate(codes, plies))
        return tuple(child)

    def _score(self, genomes, budget):
        """Values of the genomes; new ones analysed while the budget lasts (others dropped)."""
        new = []
        for g in genomes:
            k = (tuple(g[0]), tuple(g[1]))
            if k not in self.seen and k not in new and len(self.values) + len(new) < budget:
                new.append(k)
        if new:
            for k, v in zip(new, self.evaluate(new)):
                self.seen[k] = v
                self.values.append(v)
                self.designs.append(k)
        kept = [g for g in genomes if (tuple(g[0]), tuple(g[1])) in self.seen]
        return kept, [self.seen[(tuple(g[0]), tuple(g[1]))] for g in kept]

    def run(self, budget):
        genomes = [(self._random_half(self.skin_plies), self._random_half(self.stiffener_plies))
                   for _ in range(self.population)]
        genomes, fitness = self._score(genomes, budget)
        idle = 0
        while len(self.values) < budget:
            before = len(self.values)
            order = np.argsort(fitness)[::-1]
            elite = [genomes[i] for i in order[:self.elite]]
            children = [self._child(genomes, fitness)
                        for _ in range(self.population - len(elite))]
            kids, kid_fitness = self._score(children, budget)
            genomes = elite + kids
            fitness = [fitness[i] for i in order[:self.elite]] + kid_fitness
            idle = idle + 1 if len(self.values) == before else 0
            if idle >= 50:
                self.status = "no new designs in 50 generations"
                return self
        self.status = "budget spent"
        return self

    def best(self):
        i = int(np.argmax(self.values))
        return self.designs[i], self.values[i]
