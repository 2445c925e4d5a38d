"""The panel the finite-element model describes, its stacks, and the settings a JSON file changes.

The defaults are those of examples/blade_panel.py, so the two analyses answer for the same
panel: carbon/epoxy plies of 0.125 mm (E1 138 GPa, E2 9 GPa, G12 7.1 GPa, nu12 0.30), blades
at a pitch of 125 mm, 40 mm high, frames 500 mm apart, a running load of 675 N/mm of panel
width and an allowable compressive fibre strain of 0.0045. Units are N and mm.
"""

import json
import math
import re
from dataclasses import dataclass, fields, replace

# Elements per half bay across the skin, along the frame pitch and up the blade height.
MESHES = {"coarse": (2, 12, 2), "medium": (3, 18, 3), "fine": (5, 30, 4)}


@dataclass(frozen=True)
class Panel:
    e1: float = 138e3               # MPa, fibre direction
    e2: float = 9e3                 # MPa, across the fibres, in the ply and through it
    g12: float = 7.1e3              # MPa, in-plane and transverse shear across the fibres
    g23: float = 3.1e3              # MPa, transverse shear in the plane across the fibres
    nu12: float = 0.30
    nu23: float = 0.45
    ply_thickness: float = 0.125    # mm
    stiffener_pitch: float = 125.0  # mm, blade to blade
    blade_height: float = 40.0      # mm, from the skin's mid-surface
    frame_pitch: float = 500.0      # mm, loaded length between frames
    blades: int = 3                 # the panel is blades x pitch wide, a blade mid-bay
    load: float = 675.0             # N/mm of panel width, compressive
    allowable_strain: float = 0.0045
    modes: int = 12                 # buckling modes computed per ccx run
    timeout: float = 600.0          # s per ccx run

    def __post_init__(self):
        for f in fields(self):
            value = getattr(self, f.name)
            if f.type is int and (not isinstance(value, int) or isinstance(value, bool)):
                raise ValueError(f"panel setting {f.name} must be a whole number, got {value!r}")
            if not value > 0:
                raise ValueError(f"panel setting {f.name} must be positive, got {value!r}")
        if self.nu12 >= 1 or self.nu23 >= 1:
            raise ValueError("panel settings nu12 and nu23 must be below 1")

    @property
    def width(self):
        return self.blades * self.stiffener_pitch

    @property
    def total_load(self):
        return self.load * self.width


def load_panel(path=None):
    """The default panel, changed by the keys of a JSON object in `path` (the field names)."""
    if path is None:
        return Panel()
    with open(path) as source:
        settings = json.load(source)
    if not isinstance(settings, dict):
        raise ValueError(f"{path}: give a JSON object of panel settings")
    known = {f.name: f.type for f in fields(Panel)}
    unknown = sorted(set(settings) - set(known))
    if unknown:
        raise ValueError(f"{path}: unknown panel settings {', '.join(unknown)}; "
                         f"known: {', '.join(known)}")
    for name, value in settings.items():
        if known[name] is float and isinstance(value, int) and not isinstance(value, bool):
            settings[name] = float(value)
        elif known[name] is float and not isinstance(value, float):
            raise ValueError(f"{path}: {name} must be a number, got {value!r}")
    return replace(Panel(), **settings)


_PLY = re.compile(r"^[+-]?\d+(\.\d*)?$")


def parse_stack(text):
    """Ply angles in degrees, outer surface to outer surface, from "[+45/-45/0/90/...]".

    The stack is what a technician lays up, so the finite-element model follows it ply by ply:
    every +45 and -45 keeps its sign and its place, which is what gives a real stack its
    bend-twist terms D16 and D26 (the lamination parameters leave them out)."""
    body = text.strip()
    if not (body.startswith("[") and body.endswith("]")):
        raise ValueError(f"stack {text!r} is not of the form [a/b/...]")
    plies = [p.strip() for p in body[1:-1].split("/")]
    if not plies or not all(_PLY.match(p) for p in plies):
        raise ValueError(f"stack {text!r} has a ply that is not an angle")
    angles = [float(p) for p in plies]
    if any(abs(a) > 90 for a in angles):
        raise ValueError(f"stack {text!r} has an angle beyond +-90 degrees")
    return angles


def stack_from_codes(codes, plies):
    """The stack text of a designed half laminate (0: 0 deg, 1: +-45, 2: 90, outer first), the
    +-45 positions taking +45 and -45 in turn from the outer surface and the mirror half repeating
    them, as the design programs write it."""
    half, plus = [], True
    for c in codes:
        if c == 1:
            half.append("+45" if plus else "-45")
            plus = not plus
        else:
            half.append("0" if c == 0 else "90")
    mirror = half[::-1][1:] if plies % 2 else half[::-1]
    return "[" + "/".join(half + mirror) + "]"


def lamination_parameters(angles):
    """(xiA1, xiA2, xiD1, xiD2) of a stack: mean cos 2theta and cos 4theta over the thickness,
    in-plane (uniform weight) and bending (weight z^2), for setting beside blade_panel.py."""
    n = len(angles)
    a1 = a2 = d1 = d2 = 0.0
    for k, angle in enumerate(angles):
        low, high = -1 + 2 * k / n, -1 + 2 * (k + 1) / n  # ply bounds, thickness scaled to 2
        weight_a, weight_d = (high - low) / 2, (high ** 3 - low ** 3) / 2
        c2, c4 = math.cos(math.radians(2 * angle)), math.cos(math.radians(4 * angle))
        a1, a2 = a1 + weight_a * c2, a2 + weight_a * c4
        d1, d2 = d1 + weight_d * c2, d2 + weight_d * c4
    return a1, a2, d1, d2


def stiffness_matrices(angles, panel):
    """A (N/mm) and D (N mm) of a stack by classical lamination theory, as 3 x 3 nested lists
    in the order 11, 22, 66 (index 0, 1, 2)."""
    d = 1 - panel.nu12 ** 2 * panel.e2 / panel.e1
    q11, q22, q66 = panel.e1 / d, panel.e2 / d, panel.g12
    q12 = panel.nu12 * q22
    t, n = panel.ply_thickness, len(angles)
    a = [[0.0] * 3 for _ in range(3)]
    dd = [[0.0] * 3 for _ in range(3)]
    for k, angle in enumerate(angles):
        c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        q = _rotated(q11, q22, q12, q66, c, s)
        z0 = (k - n / 2) * t
        z1 = z0 + t
        for i in range(3):
            for j in range(3):
                a[i][j] += q[i][j] * t
                dd[i][j] += q[i][j] * (z1 ** 3 - z0 ** 3) / 3
    return a, dd


def _rotated(q11, q22, q12, q66, c, s):
    """The ply's reduced stiffness in the laminate axes (Jones, sec. 2.6)."""
    c2, s2, cs = c * c, s * s, c * s
    b11 = q11 * c2 * c2 + 2 * (q12 + 2 * q66) * s2 * c2 + q22 * s2 * s2
    b22 = q11 * s2 * s2 + 2 * (q12 + 2 * q66) * s2 * c2 + q22 * c2 * c2
    b12 = (q11 + q22 - 4 * q66) * s2 * c2 + q12 * (s2 * s2 + c2 * c2)
    b66 = (q11 + q22 - 2 * q12 - 2 * q66) * s2 * c2 + q66 * (s2 * s2 + c2 * c2)
    b16 = (q11 - q12 - 2 * q66) * c2 * cs + (q12 - q22 + 2 * q66) * s2 * cs
    b26 = (q11 - q12 - 2 * q66) * s2 * cs + (q12 - q22 + 2 * q66) * c2 * cs
    return [[b11, b12, b16], [b12, b22, b26], [b16, b26, b66]]


def axial_modulus(angles, panel):
    """Membrane stiffness along x of a laminate free to contract sideways, A11 - A12^2/A22
    (N/mm), which sets how skin and blade share the load at equal strain."""
    a, _ = stiffness_matrices(angles, panel)
    return a[0][0] - a[0][1] ** 2 / a[1][1]
