"""Laminate mechanics the panel models share: ply invariants, A and D from lamination
parameters, plate buckling formulas and ply strains.

Lamination parameters (xi1, xi2) = mean of (cos 2theta, cos 4theta) over the laminate, in-plane
with equal weights, bending with the cubic weights of the ply's distance from the mid-plane.
Balanced symmetric laminates of 0, +-45 and 90 deg plies have A16 = A26 = 0; the models also
neglect D16 and D26 (the lamination parameters carry no sine terms), as is usual when the
stacking sequence is designed through lamination parameters.

Stiffness from the Tsai-Pagano invariants (Jones, Mechanics of Composite Materials, 2nd ed.,
sec. 2.9 and 4.5):
    A11 = h(U1 + U2 xi1 + U3 xi2)   A22 = h(U1 - U2 xi1 + U3 xi2)
    A12 = h(U4 - U3 xi2)            A66 = h(U5 - U3 xi2)
and D alike with h^3/12 and the bending parameters. Units: N and mm (stiffness in MPa).
"""

from dataclasses import dataclass

import numpy as np


@dataclass(frozen=True)
class Ply:
    """A unidirectional carbon/epoxy ply (typical intermediate-modulus values)."""

    e1: float = 140e3
    e2: float = 9.5e3
    g12: float = 5.5e3
    nu12: float = 0.30
    thickness: float = 0.125

    def reduced(self):
        """Q11, Q22, Q12, Q66 of the ply in its own axes."""
        d = 1 - self.nu12 ** 2 * self.e2 / self.e1
        q11, q22 = self.e1 / d, self.e2 / d
        return q11, q22, self.nu12 * q22, self.g12

    def invariants(self):
        q11, q22, q12, q66 = self.reduced()
        return ((3 * q11 + 3 * q22 + 2 * q12 + 4 * q66) / 8, (q11 - q22) / 2,
                (q11 + q22 - 2 * q12 - 4 * q66) / 8, (q11 + q22 + 6 * q12 - 4 * q66) / 8,
                (q11 + q22 - 2 * q12 + 4 * q66) / 8)


def stiffness(xi1, xi2, scale, ply):
    """(11, 22, 12, 66) terms: scale h gives A, h^3/12 gives D."""
    u1, u2, u3, u4, u5 = ply.invariants()
    return (scale * (u1 + u2 * xi1 + u3 * xi2), scale * (u1 - u2 * xi1 + u3 * xi2),
            scale * (u4 - u3 * xi2), scale * (u5 - u3 * xi2))


def membrane_modulus(xi1, xi2, thickness, ply):
    """Ex * t of a laminate free to contract sideways: A11 - A12^2 / A22 (N/mm)."""
    a11, a22, a12, _ = stiffness(xi1, xi2, thickness, ply)
    return a11 - a12 ** 2 / a22


def full_ply_counts(xi1, xi2, plies):
    """Whole-laminate numbers of 0, +-45 and 90 deg plies from the in-plane parameters:
    xi1 = (n0 - n90)/N, xi2 = (n0 + n90 - n45)/N."""
    n45 = np.rint(plies * (1 - xi2) / 2)
    n0 = np.rint((plies - n45 + plies * xi1) / 2)
    return n0, n45, plies - n0 - n45


def long_plate_simply_supported(d11, d22, d12, d66, width):
    """Compression buckling of a long orthotropic plate simply supported on its long edges
    (Whitney, Structural Analysis of Laminated Anisotropic Plates, ch. 5):
        N_cr = 2 pi^2 / b^2 (sqrt(D11 D22) + D12 + 2 D66)."""
    return 2 * np.pi ** 2 / width ** 2 * (np.sqrt(d11 * d22) + d12 + 2 * d66)


def long_plate_clamped(d11, d22, d12, d66, width):
    """Compression buckling of a long orthotropic plate clamped on its long edges, the usual
    closed-form fit (Kassapoglou, Design and Analysis of Composite Structures, ch. 6;
    isotropic k = 7.27 against the exact 6.97):
        N_cr = pi^2 / b^2 (4.6 sqrt(D11 D22) + 2.67 (D12 + 2 D66))."""
    return np.pi ** 2 / width ** 2 * (4.6 * np.sqrt(d11 * d22) + 2.67 * (d12 + 2 * d66))


def long_plate_shear(d11, d22, d12, d66, width):
    """Shear buckling of a long orthotropic plate simply supported on its long edges
    (Seydel's solution as fitted in Kassapoglou ch. 6 and Nemeth, NASA TP-2605), with
    theta = sqrt(D11 D22) / (D12 + 2 D66):
        theta >= 1: N_xy = 4/b^2 (D11 D22^3)^(1/4) (8.125 + 5.045/theta)
        theta <  1: N_xy = 4/b^2 sqrt(D22 (D12 + 2 D66)) (11.71 + 1.46 theta^2)
    (isotropic: k_s = 5.34)."""
    h = d12 + 2 * d66
    theta = np.sqrt(d11 * d22) / h
    orthotropic = 4 / width ** 2 * (d11 * d22 ** 3) ** 0.25 * (8.125 + 5.045 / theta)
    isotropic_like = 4 / width ** 2 * np.sqrt(d22 * h) * (11.71 + 1.46 * theta ** 2)
    return np.where(theta >= 1, orthotropic, isotropic_like)


def ply_strains(ex, ey, gxy, degrees):
    """Strains in the axes of a ply at `degrees` (fibre 1, transverse 2, shear 12)."""
    t = np.radians(degrees)
    c, s = np.cos(t), np.sin(t)
    e1 = ex * c * c + ey * s * s + gxy * c * s
    e2 = ex * s * s + ey * c * c - gxy * c * s
    g12 = 2 * (ey - ex) * s * c + gxy * (c * c - s * s)
    return e1, e2, g12


def first_positive_root(a, b):
    """The load factor lam > 0 of a lam^2 + b lam = 1 (a >= 0), written so that a = 0 and
    a tiny a lose no digits: lam = 2 / (b + sqrt(b^2 + 4a))."""
    return 2 / (b + np.sqrt(b * b + 4 * a))


def check_parameters(x, skin_plies, stiffener_plies):
    """(x as an N x 8 array, skin plies, stiffener plies as arrays of N) with the checks every
    model makes where a design enters."""
    x = np.atleast_2d(np.asarray(x, dtype=float))
    if x.ndim != 2 or x.shape[1] != 8:
        raise ValueError(f"params must be an N x 8 array, not of shape {x.shape}")
    plies = [np.broadcast_to(np.asarray(p, dtype=float), x.shape[:1]) for p in
             (skin_plies, stiffener_plies)]
    bad = ~np.all(np.isfinite(x), axis=1)
    for p in plies:
        bad |= ~(p > 0)
    for i in (0, 2, 4, 6):
        xi1, xi2 = x[:, i], x[:, i + 1]
        bad |= (np.abs(xi1) > 1 + 1e-9) | (xi2 > 1 + 1e-9) | (xi2 < 2 * xi1 ** 2 - 1 - 1e-9)
    if bad.any():
        raise ValueError("designs with ply totals that are not positive or lamination "
                         f"parameters no laminate can have: rows {np.flatnonzero(bad)[:10].tolist()}")
    return x, plies[0], plies[1]
