"""A second closed-form panel model, of our own, for timing searches where failure modes meet.

Not a design model: a stand-in whose modes trade off in other directions than the blade
panel's (examples/blade_panel.py), so that a bound is not tuned to one model. A blade-stiffened
bay under compression N and shear S per unit width:

1. skin shear buckling of a long simply supported orthotropic plate,
       S_cr = 4 / b^2 (D11 D22^3)^(1/4) (8.125 + 5.05 / t),  t = sqrt(D11 D22) / (D12 + 2 D66),
   over the shear the skin carries, S;
2. column buckling of the stiffened bay between frames, pi^2 (EI) / a^2 over N b, with EI the
   skin and blade about their common neutral axis (membrane moduli Ex = A11 - A12^2/A22);
3. blade crippling, a strain of 1.2 (D66 / A11)^(1/2) / h_b (a plate with a free edge),
   over the axial strain of the bay.

Same variables and ply data as the blade panel; load_factors(x, skin_plies, stiffener_plies)
returns the three factors and their minimum. The shear grows with the cube of the mean ply total
(from 120 N/mm at 28 plies), as the skin's buckling load does, so that the modes meet at every
thickness.
"""

import numpy as np

FACTORS = ("shear_buckling", "column", "crippling", "minimum")
U = None


def _invariants(e1=138e3, e2=9e3, g12=7.1e3, nu12=0.30):
    d = 1 - nu12 ** 2 * e2 / e1
    q11, q22, q66 = e1 / d, e2 / d, g12
    q12 = nu12 * q22
    return ((3 * q11 + 3 * q22 + 2 * q12 + 4 * q66) / 8, (q11 - q22) / 2,
            (q11 + q22 - 2 * q12 - 4 * q66) / 8, (q11 + q22 + 6 * q12 - 4 * q66) / 8,
            (q11 + q22 - 2 * q12 + 4 * q66) / 8)


def _stiffness(xi1, xi2, scale, u):
    u1, u2, u3, u4, u5 = u
    return (scale * (u1 + u2 * xi1 + u3 * xi2), scale * (u1 - u2 * xi1 + u3 * xi2),
            scale * (u4 - u3 * xi2), scale * (u5 - u3 * xi2))


def load_factors(x, skin_plies, stiffener_plies, ply=0.125, b=150.0, hb=45.0, a=600.0,
                 compression=900.0, shear=120.0):
    x = np.atleast_2d(np.asarray(x, dtype=float))
    shear = shear * ((np.asarray(skin_plies) + np.asarray(stiffener_plies)) / 56.0) ** 3
    u = _invariants()
    hs, ht = np.asarray(skin_plies) * ply, np.asarray(stiffener_plies) * ply
    a11, a22, a12, _ = _stiffness(x[:, 0], x[:, 1], hs, u)
    ex_skin = a11 - a12 ** 2 / a22
    ta11, ta22, ta12, _ = _stiffness(x[:, 2], x[:, 3], ht, u)
    ex_blade = ta11 - ta12 ** 2 / ta22
    d11, d22, d12, d66 = _stiffness(x[:, 4], x[:, 5], hs ** 3 / 12, u)
    t = np.sqrt(d11 * d22) / (d12 + 2 * d66)
    shear_buckling = 4 / b ** 2 * (d11 * d22 ** 3) ** 0.25 * (8.125 + 5.05 / t) / shear
    # Neutral axis from the skin's mid-plane; the blade's membrane stiffness sits at hb/2.
    ea = b * ex_skin + hb * ex_blade
    z = hb * ex_blade * (hs + hb) / 2 / ea
    ei = b * ex_skin * z ** 2 + ex_blade * hb ** 3 / 12 + hb * ex_blade * ((hs + hb) / 2 - z) ** 2
    column = np.pi ** 2 * ei / a ** 2 / (compression * b)
    _, _, _, bd66 = _stiffness(x[:, 6], x[:, 7], ht ** 3 / 12, u)
    strain = compression * b / ea
    crippling = 1.2 * np.sqrt(bd66 / ta11) / hb / strain
    g = np.stack([shear_buckling, column, crippling])
    return dict(zip(FACTORS, (g[0], g[1], g[2], g.min(axis=0))))
