"""Reading CalculiX's .dat file: buckling factors, mode shapes and ply strains, and the kinds of
the modes.

Mode kinds, from the eigenvector (u, v, w) at the nodes, each node weighted by the area it
stands for (its part's area over its part's nodes), so the rule does not move with the mesh:
  * global: the blade roots move out of the skin's plane with the skin: the root-mean-square of
    w along the blade roots is at least half that over the whole skin. In a local mode the
    blades, stiff in their own plane, hold the roots almost still, and the ratio is small.
  * otherwise skin or blade, whichever part holds the larger share of the mode's out-of-plane
    displacement squared: sum of w^2 over the skin against sum of v^2 (sideways) over the
    blades above their roots. A share is a stand-in for the strain energy, which CalculiX
    does not print per mode; both are sums of the same squared amplitudes.
"""

import math
import re

GLOBAL_ROOT_RATIO = 0.5

_NUMBER = r"[-+]?\d+(?:\.\d*)?(?:[Ee][-+]?\d+)?"
_ROW = re.compile(rf"^\s*(\d+)\s+({_NUMBER})\s+({_NUMBER})\s+({_NUMBER})\s*$")
_FACTOR = re.compile(rf"^\s*(\d+)\s+({_NUMBER})\s*$")
_STRAIN = re.compile(rf"^\s*(\d+)\s+(\d+)\s+({_NUMBER})(?:\s+{_NUMBER}){{5}}\s+(\S+)\s*$")


class AnalysisError(Exception):
    """A design that has no answer; the message says why."""


def buckling_factors(text):
    """The factors of the buckling step, in CalculiX's order (ascending)."""
    start = text.find("B U C K L I N G   F A C T O R   O U T P U T")
    if start < 0:
        raise AnalysisError("CalculiX printed no buckling factors")
    factors = []
    for line in text[start:].splitlines()[4:]:
        match = _FACTOR.match(line)
        if match:
            factors.append(float(match.group(2)))
        elif factors and line.strip():
            break
    if not factors:
        raise AnalysisError("CalculiX printed no buckling factors")
    return factors


def displacement_blocks(text):
    """{node: (u, v, w)} of each displacement block after the buckling factors: the modes in
    order, then the static step's displacements."""
    start = text.find("B U C K L I N G   F A C T O R   O U T P U T")
    shapes = []
    for block in text[start:].split(" displacements (vx,vy,vz)")[1:]:
        shape = {}
        for line in block.splitlines()[1:]:
            match = _ROW.match(line)
            if match:
                shape[int(match.group(1))] = tuple(float(match.group(k)) for k in (2, 3, 4))
            elif shape and line.strip():
                break
        shapes.append(shape)
    return shapes


def smallest_fibre_strain(displacement, mesh, skin_angles, blade_angles):
    """The most compressive mid-surface strain along the fibres of any ply, at the element
    corners of skin and blades, from the static step's displacements.

    The membrane strains come from central differences along the mesh lines through each
    corner (one-sided, second order, at the edges), exact for the S8R's quadratic field along
    an edge. The bending part of the ply strains is left out: in a linear step under axial
    load a symmetric laminate hardly bends. (CalculiX 2.20 prints composite ply strains itself
    only up to 12 plies; beyond that it stops with a stack error.)"""
    smallest = math.inf
    cos_sin = lambda angles: {(math.cos(math.radians(a)), math.sin(math.radians(a)))
                              for a in angles}
    parts = [(0, 1, cos_sin(skin_angles),
              [(i, j, 0) for (i, j, k) in mesh.ids if k == 0 and i % 2 == 0 and j % 2 == 0])]
    if mesh.with_blades:
        parts.append((0, 2, cos_sin(blade_angles),
                      [(i, j, k) for (i, j, k) in mesh.ids
                       if j in mesh.blade_columns and i % 2 == 0 and k % 2 == 0]))
    for first, second, plies, corners in parts:
        for corner in corners:
            e1, e2, shear = _membrane_strain(displacement, mesh, corner, first, second)
            for c, s in plies:
                smallest = min(smallest, e1 * c * c + e2 * s * s + shear * s * c)
    if smallest == math.inf:
        raise AnalysisError("CalculiX printed no static displacements")
    return smallest


def _membrane_strain(displacement, mesh, corner, first, second):
    """(e_first, e_second, gamma) at a corner node, in the plane of the grid axes `first` and
    `second` (0: x, 1: y, 2: z; the grid's i, j, k)."""
    p = mesh.panel
    step = {0: p.frame_pitch / (2 * mesh.nx), 1: p.width / (2 * mesh.ny),
            2: p.blade_height / (2 * mesh.nz)}

    def derivative(component, axis):
        values = []
        for offset in (-1, 0, 1, 2, -2):
            key = list(corner)
            key[axis] += offset
            node = mesh.ids.get(tuple(key))
            values.append(None if node is None or (axis == 2 and key[2] < 0)
                          else displacement[node][component])
        back, here, ahead, ahead2, back2 = values
        if back is not None and ahead is not None:
            return (ahead - back) / (2 * step[axis])
        if ahead is not None and ahead2 is not None:
            return (-3 * here + 4 * ahead - ahead2) / (2 * step[axis])
        return (3 * here - 4 * back + back2) / (2 * step[axis])

    return (derivative(first, first), derivative(second, second),
            derivative(first, second) + derivative(second, first))


def mode_kind(shape, mesh):
    """'global', 'skin' or 'blade' (the rule is in the module's docstring)."""
    skin, roots, blades = mesh.skin_nodes(), mesh.root_nodes(), mesh.blade_nodes()
    p = mesh.panel
    if not mesh.with_blades or not blades:
        return "skin"

    def mean_square(nodes, axis):
        return sum(shape.get(n, (0.0, 0.0, 0.0))[axis] ** 2 for n in nodes) / len(nodes)

    skin_w, root_w = mean_square(skin, 2), mean_square(roots, 2)
    if skin_w > 0 and math.sqrt(root_w / skin_w) >= GLOBAL_ROOT_RATIO:
        return "global"
    skin_share = skin_w * p.width * p.frame_pitch
    blade_share = mean_square(blades, 1) * p.blades * p.blade_height * p.frame_pitch
    return "skin" if skin_share >= blade_share else "blade"
