"""One design through CalculiX: deck, run, results, load factors.

CalculiX's buckling step returns the eigenvalues nearest 1 (a shifted inverse iteration), not
the lowest ones: under the real load, whose lowest factor may be 0.1 or 5, it would miss the
modes that matter. So the buckling step's load is scaled by a guess s of the lowest factor
(0.6 times the closed-form estimate, which a finite-element model with its stiffer edge
restraints rarely undercuts), making the wanted factors a little above 1, where the iteration
finds them from the lowest up; a run whose lowest factor still comes out below 1 (the guess was
too high, so lower modes may have been passed over) is repeated with a lower guess. When the
modes computed are all of one kind (a stiff blade under a skin with many close skin modes), the
load is scaled once more so that the highest factor found comes to 1, and the next window of
modes is computed; a kind still missing after the runs is given the highest factor computed,
a lower bound, with a note.
"""

import math
import os
import shutil
import subprocess
import threading
import time

from deck import Mesh, build_deck
from panel import axial_modulus, stiffness_matrices
from results import (AnalysisError, buckling_factors, displacement_blocks, mode_kind,
                     smallest_fibre_strain)

KINDS = ("skin", "blade", "global")
_GUESS_MARGIN = 0.6
_RUNS = 4


def closed_form_guess(mesh, skin, blade):
    """The lowest load factor by the closed-form panel (simply supported skin bay, blade with a
    free edge), from the stacks' own stiffnesses: only the scale of the buckling step."""
    p = mesh.panel
    ex_skin, a, b = axial_modulus(skin, p), p.frame_pitch, p.stiffener_pitch
    stiff = p.width * ex_skin
    if mesh.with_blades:
        stiff += p.blades * p.blade_height * axial_modulus(blade, p)
    strain = p.total_load / stiff
    _, d = stiffness_matrices(skin, p)
    skin_load = min(math.pi ** 2 / b ** 2 * (d[0][0] * (m * b / a) ** 2
                                             + 2 * (d[0][1] + 2 * d[2][2])
                                             + d[1][1] * (a / (m * b)) ** 2)
                    for m in range(1, 60))
    guess = skin_load / (strain * ex_skin)
    if mesh.with_blades:
        _, d = stiffness_matrices(blade, p)
        blade_load = 12 * d[2][2] / p.blade_height ** 2 + math.pi ** 2 * d[0][0] / a ** 2
        guess = min(guess, blade_load / (strain * axial_modulus(blade, p)))
    return guess


def run_ccx(deck, workdir, timeout):
    """The .dat text of a CalculiX run of `deck` in `workdir`."""
    path = os.path.join(workdir, "panel.inp")
    with open(path, "w") as out:
        out.write(deck)
    ccx = shutil.which("ccx")
    if ccx is None:
        raise AnalysisError("the CalculiX solver ccx is not installed "
                            "(Debian: apt-get install calculix-ccx)")
    env = dict(os.environ, OMP_NUM_THREADS="1", CCX_NPROC_EQUATION_SOLVER="1",
               CCX_NPROC_STIFFNESS="1", CCX_NPROC_RESULTS="1")
    log_path = os.path.join(workdir, "panel.log")
    with open(log_path, "w") as log:
        child = subprocess.Popen([ccx, "-i", "panel"], cwd=workdir, env=env,
                                 stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    status, cpu = _wait(child, timeout)
    CPU_SECONDS.add(cpu)
    with open(log_path, errors="replace") as log:
        output = log.read()
    trouble = [line.strip() for line in output.splitlines() if "*ERROR" in line]
    if status != 0 or trouble:
        reason = trouble[0] if trouble else f"ccx ended with status {status}"
        raise AnalysisError(f"ccx failed: {reason}")
    try:
        with open(os.path.join(workdir, "panel.dat"), errors="replace") as dat:
            return dat.read()
    except OSError:
        raise AnalysisError("ccx wrote no results file") from None


class _CpuSeconds(threading.local):
    """The processor seconds of the ccx runs of this thread's current design."""
    total = 0.0
    runs = 0

    def add(self, seconds):
        self.total += seconds
        self.runs += 1

    def reset(self):
        self.total, self.runs = 0.0, 0


CPU_SECONDS = _CpuSeconds()


def _wait(child, timeout):
    """(exit status, processor seconds) of a child, killed after `timeout` seconds; the time
    is the child's own (user + system), which a busy shared machine hardly inflates."""
    deadline = time.monotonic() + timeout
    while True:
        pid, status, usage = os.wait4(child.pid, os.WNOHANG)
        if pid:
            child.returncode = os.waitstatus_to_exitcode(status)
            return child.returncode, usage.ru_utime + usage.ru_stime
        if time.monotonic() > deadline:
            child.kill()
            child.wait()
            raise AnalysisError(f"ccx did not finish within {timeout:g} s")
        time.sleep(0.05)


def analyse_stacks(skin, blade, panel, density, workdir, with_blades=True):
    """{'skin_buckling', 'blade_buckling', 'global_buckling', 'strain', 'notes'} of one design;
    global_buckling is None when no global mode was found among those computed (many panels
    have none in range). Raises AnalysisError with the reason."""
    CPU_SECONDS.reset()
    mesh = Mesh(panel, density, with_blades)
    needed = ("skin", "blade") if with_blades else ("skin",)
    scale = _GUESS_MARGIN * closed_form_guess(mesh, skin, blade)
    lowest, static, highest, notes = dict.fromkeys(KINDS), None, 0.0, []
    for run in range(_RUNS):
        if not (math.isfinite(scale) and scale > 0):
            raise AnalysisError("the stacks give no positive stiffness")
        factors, shapes, static = _buckling_run(mesh, skin, blade, scale, workdir)
        positive = [f for f in factors if f > 0]
        if highest == 0.0 and min(positive) < 0.999:
            scale *= min(positive) * _GUESS_MARGIN  # lower modes may have been passed over
            continue
        for factor, shape in zip(factors, shapes):
            kind = mode_kind(shape, mesh)
            if factor > 0 and (lowest[kind] is None or factor * scale < lowest[kind]):
                lowest[kind] = factor * scale
        highest = max(highest, max(positive) * scale)
        if all(lowest[k] is not None for k in needed) or run >= _RUNS - 1:
            break
        # Every mode computed is of one kind: move the window of the iteration up to the
        # highest factor found, where the next modes are.
        scale *= max(positive)
    if lowest["skin"] is None and lowest["blade"] is None:
        raise AnalysisError(f"the buckling factors did not settle in {_RUNS} runs")
    for kind in needed:
        if lowest[kind] is None:
            lowest[kind] = highest
            notes.append(f"no {kind} mode up to factor {highest:.4g}: {kind}_buckling is "
                         "given as that factor, a lower bound")
    strain = smallest_fibre_strain(static, mesh, skin, blade)
    if not strain < 0:
        raise AnalysisError("no ply is compressed along its fibres")
    return {"skin_buckling": lowest["skin"], "blade_buckling": lowest["blade"],
            "global_buckling": lowest["global"], "strain": panel.allowable_strain / -strain,
            "notes": notes, "ccx_runs": CPU_SECONDS.runs, "ccx_cpu_seconds": CPU_SECONDS.total}


def _buckling_run(mesh, skin, blade, scale, workdir):
    """(factors, mode shapes, static displacements) of one ccx run, the buckling load being
    the panel's load times `scale`."""
    text = run_ccx(build_deck(mesh, skin, blade, scale), workdir, mesh.panel.timeout)
    factors = buckling_factors(text)
    if not all(math.isfinite(f) for f in factors):
        raise AnalysisError("a buckling factor is not a number")
    if not any(f > 0 for f in factors):
        raise AnalysisError("no positive buckling factor among those computed")
    blocks = displacement_blocks(text)
    if len(blocks) != len(factors) + 1:
        raise AnalysisError("CalculiX printed fewer mode shapes than buckling factors")
    return factors, blocks[:-1], blocks[-1]
