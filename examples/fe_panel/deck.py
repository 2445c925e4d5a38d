"""The CalculiX deck of one design: mesh, composite sections, boundary conditions, two steps.

Coordinates: x along the panel (0 to the frame pitch a, the load direction), y across it (0 to
the width), z out of the skin. The skin is the plane z = 0; blade k stands on the line
y = (k + 1/2) pitch, from z = 0 to the blade height, and shares its root nodes with the skin.
Elements are S8R (eight-node shells, reduced integration), which CalculiX expands into
twenty-node bricks; where a blade meets the skin it ties the expanded nodes as a rigid knot.

Boundary conditions (simply supported at the frames and along the long edges):
  * both ends: the skin's out-of-plane displacement w = 0 and the blades' sideways displacement
    v = 0 (the frames hold the panel and the blades' sides);
  * x = 0: u = 0 on every node (the frame's face);
  * the long edges y = 0 and y = width: w = 0 (a node on the flat plate's edge holds v = 0).
Load: the running load times the width, as consistent nodal forces on the x = a edges of skin
and blades, shared between them as the closed-form model shares it: both take the same axial
strain, so each carries its axial membrane stiffness (A11 - A12^2/A22) times that strain.
(A uniform end shortening is the other natural choice; forces are what the plate test checks
against the closed-form solution.) The buckling step
comes first and a static step with the same forces after it, so both answer for the real load:
buckling factors multiply it and the strains are those under it.
"""

import math

from panel import MESHES, axial_modulus


class Mesh:
    """Nodes on a grid of half-element steps: skin (i, j, 0), blades (i, j_blade, k)."""

    def __init__(self, panel, density, with_blades=True):
        per_half_bay, along, up = MESHES[density]
        self.panel, self.with_blades = panel, with_blades
        self.nx, self.ny, self.nz = along, 2 * per_half_bay * panel.blades, up
        self.blade_columns = [2 * per_half_bay * (2 * k + 1) for k in range(panel.blades)]
        self.ids = {}
        self.coordinates = []
        self.skin_elements, self.blade_elements = [], []
        self._build()

    def _node(self, i, j, k):
        key = (i, j, k)
        if key not in self.ids:
            p = self.panel
            self.ids[key] = len(self.coordinates) + 1
            self.coordinates.append((p.frame_pitch * i / (2 * self.nx),
                                     p.width * j / (2 * self.ny),
                                     p.blade_height * k / (2 * self.nz)))
        return self.ids[key]

    @staticmethod
    def _quad(corner, point):
        """The eight nodes of the element whose first corner is `corner` in grid steps:
        corners counter-clockwise, then the mid-side nodes."""
        a, b = corner
        steps = [(0, 0), (2, 0), (2, 2), (0, 2), (1, 0), (2, 1), (1, 2), (0, 1)]
        return [point(a + da, b + db) for da, db in steps]

    def _build(self):
        for ex in range(self.nx):
            for ey in range(self.ny):
                self.skin_elements.append(
                    self._quad((2 * ex, 2 * ey), lambda i, j: self._node(i, j, 0)))
        for column in self.blade_columns if self.with_blades else []:
            for ex in range(self.nx):
                for ez in range(self.nz):
                    self.blade_elements.append(self._quad(
                        (2 * ex, 2 * ez), lambda i, k, c=column: self._node(i, c, k)))

    def nodes_where(self, test):
        return sorted(n for (i, j, k), n in self.ids.items() if test(i, j, k))

    def skin_nodes(self):
        return self.nodes_where(lambda i, j, k: k == 0)

    def blade_nodes(self):
        """Blade nodes above the root (the root line belongs to the skin)."""
        return self.nodes_where(lambda i, j, k: k > 0)

    def root_nodes(self):
        return self.nodes_where(lambda i, j, k: k == 0 and j in self.blade_columns)


def _orientation(name, angle, plane):
    """A ply's material axes: fibre at `angle` from x, turned toward y (skin) or z (blade), so
    the third axis is the shell's normal."""
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    if plane == "skin":
        a, b = (c, s, 0.0), (-s, c, 0.0)
    else:
        a, b = (c, 0.0, s), (-s, 0.0, c)
    return (f"*ORIENTATION,NAME={name},SYSTEM=RECTANGULAR\n"
            + ",".join(f"{v:.12g}" for v in a + b) + "\n")


def _lines(numbers, per_line=8):
    numbers = list(numbers)
    return "".join(",".join(map(str, numbers[i:i + per_line])) + "\n"
                   for i in range(0, len(numbers), per_line))


def _set(kind, name, members):
    return f"*{kind},{kind[0]}SET={name}\n" + _lines(members)


def _section(elset, angles, thickness, plane, names):
    text = f"*SHELL SECTION,ELSET={elset},COMPOSITE\n"
    for angle in angles:
        text += f"{thickness:.12g},,PLY,{names[(plane, angle)]}\n"
    return text


def build_deck(mesh, skin_angles, blade_angles, buckling_scale=1.0):
    """The deck text: a buckling step under the end forces times `buckling_scale` (its factors
    multiply that load) and a static step under the end forces themselves."""
    p, with_blades = mesh.panel, mesh.with_blades
    out = ["*HEADING\nblade-stiffened panel under axial compression\n", "*NODE\n"]
    out += [f"{n},{x:.12g},{y:.12g},{z:.12g}\n" for n, (x, y, z) in
            enumerate(mesh.coordinates, 1)]
    elements = [("SKIN", mesh.skin_elements)] + ([("BLADES", mesh.blade_elements)]
                                                 if with_blades else [])
    first = 1
    for name, members in elements:
        out.append(f"*ELEMENT,TYPE=S8R,ELSET={name}\n")
        out += [f"{first + e}," + ",".join(map(str, nodes)) + "\n"
                for e, nodes in enumerate(members)]
        first += len(members)

    names = {}
    for plane, angles in (("skin", skin_angles), ("blade", blade_angles if with_blades else [])):
        for angle in sorted(set(angles)):
            names[(plane, angle)] = f"{plane.upper()}{len(names)}"
            out.append(_orientation(names[(plane, angle)], angle, plane))
    out.append("*MATERIAL,NAME=PLY\n*ELASTIC,TYPE=ENGINEERING CONSTANTS\n"
               f"{p.e1:.12g},{p.e2:.12g},{p.e2:.12g},{p.nu12:.12g},{p.nu12:.12g},"
               f"{p.nu23:.12g},{p.g12:.12g},{p.g12:.12g}\n{p.g23:.12g},0\n")
    out.append(_section("SKIN", skin_angles, p.ply_thickness, "skin", names))
    if with_blades:
        out.append(_section("BLADES", blade_angles, p.ply_thickness, "blade", names))

    out += _boundary_sets(mesh)
    forces = sorted(end_forces(mesh, skin_angles, blade_angles).items())
    loads = "".join(f"{n},1,{-f:.12g}\n" for n, f in forces)
    scaled = "".join(f"{n},1,{-f * buckling_scale:.12g}\n" for n, f in forces)
    out.append(f"*STEP\n*BUCKLE\n{p.modes}\n*CLOAD,OP=NEW\n{scaled}"
               "*NODE PRINT,NSET=ALLNODES\nU\n*END STEP\n")
    out.append(f"*STEP\n*STATIC\n*CLOAD,OP=NEW\n{loads}"
               "*NODE PRINT,NSET=ALLNODES\nU\n*END STEP\n")
    return "".join(out)


def end_forces(mesh, skin_angles, blade_angles):
    """Nodal forces (N, compressive) on the loaded end: each element edge of length L with running
    load n gives n L/6 to its end nodes and 2 n L/3 to its mid-side node."""
    p = mesh.panel
    ex_skin = axial_modulus(skin_angles, p)
    ex_blade = axial_modulus(blade_angles, p) if mesh.with_blades else 0.0
    blades = p.blades if mesh.with_blades else 0
    strain = p.total_load / (p.width * ex_skin + blades * p.blade_height * ex_blade)
    forces = {}
    last = 2 * mesh.nx

    def edge(nodes, running, length):
        for node, share in zip(nodes, (1 / 6, 2 / 3, 1 / 6)):
            forces[node] = forces.get(node, 0.0) + running * length * share

    for e in range(mesh.ny):
        edge([mesh.ids[(last, 2 * e + d, 0)] for d in range(3)], ex_skin * strain,
             p.width / mesh.ny)
    for column in mesh.blade_columns[:blades]:
        for e in range(mesh.nz):
            edge([mesh.ids[(last, column, 2 * e + d)] for d in range(3)], ex_blade * strain,
                 p.blade_height / mesh.nz)
    return forces


def _boundary_sets(mesh):
    last = 2 * mesh.nx
    ends = lambda i: i in (0, last)
    skin_edges = mesh.nodes_where(lambda i, j, k: k == 0 and (ends(i) or j in (0, 2 * mesh.ny)))
    blade_ends = mesh.nodes_where(lambda i, j, k: k > 0 and ends(i))
    fixed = mesh.nodes_where(lambda i, j, k: i == 0)
    out = [_set("NSET", "ALLNODES", sorted(mesh.ids.values())), _set("NSET", "FIXED", fixed),
           _set("NSET", "SKINEDGES", skin_edges)]
    out.append("*BOUNDARY\nFIXED,1,1\nSKINEDGES,3,3\n")
    if blade_ends:
        out += [_set("NSET", "BLADEENDS", blade_ends), "*BOUNDARY\nBLADEENDS,2,2\n"]
    else:
        # a flat plate: one node of the fixed end holds it sideways
        out.append(f"*BOUNDARY\n{fixed[0]},2,2\n")
    return out
