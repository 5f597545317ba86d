#!/usr/bin/python3
# The cutting force table of SoilCuttingTest, worked out independently from
# the fundamental earthmoving equation (Reece; McKyes): P for each failure
# angle on a 0.01 degree grid, the least taken, then H and V. Run it and
# paste its rows into the test when the cases change.
from math import radians as R, sin, cos, tan, inf
g = 9.81
def N(a, b, f, dl):
    D = cos(a + dl) + sin(a + dl) / tan(b + f)
    if D <= 1e-9 or a + b + f + dl >= R(180): return None
    k = 1 / tan(a) + 1 / tan(b)
    return k / (2 * D), (1 + 1 / (tan(b) * tan(b + f))) / D, (1 - 1 / (tan(a) * tan(b + f))) / D, k / D, D
def P(s, a, b, d, w, v, q):
    n = N(a, b, s[2], s[3])
    if n is None: return inf
    Ng, Nc, Na, Nq, D = n
    inertia = s[0] * v * v * d * (tan(b) + 1 / tan(b + s[2])) / ((1 + tan(b) / tan(a)) * D)
    return (s[0] * g * d * d * Ng + s[1] * d * Nc + s[4] * d * Na + q * d * Nq + inertia) * w
soils = {'sand': (1600, 0, R(30), R(20), 0), 'earth': (1850, 10e3, R(28), R(18), 0),
         'clay': (1950, 60e3, 0, 0, 30e3), 'clay-loose': (1450, 5e3, R(25), R(15), 5e3)}
cases = [(n, d, ad, 1.3, 0, 0) for n in ('sand', 'earth', 'clay') for d in (0.15, 0.35) for ad in (30, 60)]
cases += [('earth', 0.35, 60, 1.3, 0, 3e3), ('earth', 0.35, 60, 1.3, 1.0, 0), ('clay', 0.25, 90, 0.84, 0.5, 0),
          ('clay-loose', 0.2, 45, 0.84, 0, 0), ('sand', 0.5, 20, 0.84, 0.8, 2e3), ('earth', 0.1, 75, 0.84, 0, 0)]
for n, d, ad, w, v, q in cases:
    s, a = soils[n], R(ad)
    p, b = min((P(s, a, R(k / 100), d, w, v, q), k) for k in range(50, 8951))
    H = p * sin(a + s[3]) + s[4] * d * w / tan(a)
    V = p * cos(a + s[3]) - s[4] * d * w
    print('{"%s", %.2f, %d, %.2f, %.1f, %.0f, %.1f, %.1f},' % (n, d, ad, w, v, q, H, V))
