#!/usr/bin/env python3
"""Writes data/log_scale.txt, the reference table of the log-scale distribution functions (run once).

Every input is written as repr() of the double the test feeds; every value is computed at 50 significant
digits or more and printed with 20. With --tables it prints instead the constant tables that the functions'
sources were entered from, so that they can be checked or extended.

Row names say the function and, for the gamma integral, the region of (a, lo, hi) the row is meant to reach:
  integral/small     a < 1, hi <= 2 (power series over the interval)
  integral/lower     both ends at or below the mode t = a (a >= 1): difference of lower tails
  integral/upper     both ends at or above the mode (above 2 for a < 1, or across 2): difference of upper tails
  integral/across    lo < a < hi: Gamma(a) less both tails, or the two sides apart
  integral/narrow    intervals too narrow for a difference of tails (and just wide enough for one)
  integral/expansion a >= 50 with an end near the mode, and the bounds of that region
  integral/extreme   ends at 1e-300 or 1e300, masses far beyond the double range, tiny and huge a
"""
import math
import os
import sys
from fractions import Fraction

import mpmath as mp

from make_reference import DATA, around, fmt  # the tables' shared number format and neighbours of doubles


# ---------------------------------------------------------------------------------------------------------
# Reference of ln int_lo^hi t^(a-1) e^-t dt, by tanh-sinh quadrature in u = ln t of exp(a u - e^u), scaled by
# its largest value on the interval, with break points on a geometric ladder about that point (scale: the
# integrand's local width) and about u = 0, and the interval cut where the integrand has fallen by e^-400.
# Checked against mpmath's own incomplete gamma function wherever that one converges.

def log_gamma_integral(a, lo, hi, dps=45):
    with mp.workdps(dps):
        A = mp.mpf(a)
        ul = -mp.inf if lo == 0 else mp.log(mp.mpf(lo))
        uh = mp.inf if hi == math.inf else mp.log(mp.mpf(hi))

        def psi(u):
            return A * u - mp.exp(u)

        us = mp.log(A) if A > 0 else ul
        us = min(max(us, ul), uh)
        ps = psi(us)
        es = mp.exp(us)
        w = min(1 / mp.sqrt(es + (A - es) ** 2), mp.mpf(1))
        drop = mp.mpf(400)

        def cut(direction, bound):
            step, u = w, us
            while True:
                nu = u + direction * step
                if direction > 0 and nu > 1000:
                    nu = mp.mpf(1000)
                if (direction < 0 and nu <= bound) or (direction > 0 and nu >= bound):
                    return bound
                if ps - psi(nu) > drop:
                    break
                u, step = nu, step * 2
            x0, x1 = u, nu
            for _ in range(200):
                m = (x0 + x1) / 2
                if ps - psi(m) > drop:
                    x1 = m
                else:
                    x0 = m
                if abs(x1 - x0) <= w / 1000:
                    break
            return x1

        left = cut(-1, ul) if us > ul else ul
        right = cut(+1, uh) if us < uh else uh
        points = {left, right, us}
        for k in range(-3, 80):
            d = w * mp.mpf(2) ** k
            for p in (us - d, us + d):
                if left < p < right:
                    points.add(p)
        for k in range(-4, 11):
            for p in (-mp.mpf(2) ** k, mp.mpf(2) ** k, mp.mpf(0)):
                if left < p < right:
                    points.add(p)
        value = mp.quad(lambda u: mp.exp(psi(u) - ps), sorted(points))
        return ps + mp.log(value)


def checked_integral(a, lo, hi):
    v = log_gamma_integral(a, lo, hi)
    if 0 < a < 2000:
        try:
            with mp.workdps(80):  # its difference of tails loses digits on a narrow interval
                g = mp.log(mp.gammainc(mp.mpf(a), mp.mpf(lo), mp.inf if hi == math.inf else mp.mpf(hi)))
            if mp.isfinite(g):
                assert abs(g - v) <= mp.mpf(10) ** -25 * max(1, abs(v)), (a, lo, hi, v, g)
        except (mp.libmp.NoConvergence, ValueError, ZeroDivisionError):
            pass
    return v


def expansion_bounds():
    """t/a where t/a - 1 - ln(t/a) = 1/2, the edges of the large-a expansion's region."""
    f = lambda m: m - 1 - mp.log(m) - mp.mpf(1) / 2  # noqa: E731
    return float(mp.findroot(f, 0.3)), float(mp.findroot(f, 2.4))


def narrow_edge(a, near, upper, factor):
    """The far end x at which ln(tail(x)/tail(near)) = factor * ln(7/8): the switch of the narrow rule."""
    target = factor * mp.log(mp.mpf(7) / 8)

    def tail(x):
        return mp.gammainc(a, x, mp.inf) if upper else mp.gammainc(a, 0, x)

    base = tail(near)
    g = lambda x: mp.log(tail(x) / base) - target  # noqa: E731
    scale = max(near, 1.0) / max(math.sqrt(max(a, 1.0)), 1.0)
    guess = near + (0.1 if upper else -0.1) * scale
    return float(mp.findroot(g, guess))


def integral_rows():
    rows = []

    def add(name, a, lo, hi):
        rows.append((name, a, lo, hi))

    # a = 0: the integral of e^-t / t, from tiny to huge ends
    for lo in (1e-300, 1e-20, 1e-3, 0.3, 0.999999, 1.0, 1.9999):
        for hi in (lo * (1 + 1e-12), lo * 1.5, 1.0, 2.0, 40.0, math.inf):
            if hi > lo:
                add("integral/small" if hi <= 2 else "integral/upper", 0.0, lo, hi)
    for lo in (1.5, 30.0, 700.0, 1e5, 1e300):
        for hi in (lo * (1 + 1e-12), lo * (1 + 1e-3), lo * 1.1, math.inf):
            add("integral/upper", 0.0, lo, hi)
    # 0 < a < 1, with the switch at t = 2
    for a in (1e-10, 0.3, 0.5, 0.999999):
        for lo, hi in ((0.0, 1e-200), (0.0, 0.01), (0.0, 1.0), (1e-300, 2.0), (0.2, 0.7), (0.5, 0.5 + 1e-9),
                       (0.0, 2.0), (0.0, math.nextafter(2.0, 3)), (0.3, math.inf), (1.999, 2.001), (2.0, 3.0),
                       (2.0, 2.0 + 1e-8), (1.5, 1.5 + 1e-8), (3.0, 50.0), (0.0, math.inf)):
            add("integral/small" if hi <= 2 else "integral/upper", a, lo, hi)
    # the switch at a = 1 and moderate shapes, on each side of the mode and across it
    for a in (math.nextafter(1.0, 0), 1.0, 1.5, 2.5, 7.0, 20.5, 49.5, math.nextafter(50.0, 0)):
        for lam_lo, lam_hi in ((0.0, 0.2), (0.0, 1.0), (0.1, 0.5), (0.5, 0.9), (0.9, 1.0), (1e-3, 1.0),
                               (1.0, 1.1), (1.0, math.inf), (1.2, 3.0), (2.0, math.inf), (0.0, math.inf),
                               (0.5, 1.5), (0.99, 1.02), (0.0, 1.3), (0.8, math.inf)):
            lo, hi = a * lam_lo, a * lam_hi if lam_hi != math.inf else math.inf
            name = "integral/lower" if hi <= a else "integral/upper" if lo >= a else "integral/across"
            add(name, a, lo, hi)
    # large shapes: the expansion region, its edges, and beyond them the series and the fraction
    m_lo, m_hi = expansion_bounds()
    for a in (50.0, 50.5, 300.0, 1e4, 5e5):
        for lam in (0.05, m_lo * (1 - 1e-6), m_lo * (1 + 1e-6), 0.7, 0.999, 1.0):
            add("integral/lower" if lam < m_lo else "integral/expansion", a, 0.0, a * lam)
        for lam in (1.0, 1.001, 1.5, m_hi * (1 - 1e-6), m_hi * (1 + 1e-6), 5.0):
            add("integral/upper" if lam > m_hi else "integral/expansion", a, a * lam, math.inf)
        for lam_lo, lam_hi in ((0.5, 0.9), (0.9, 1.2), (0.995, 1.005), (1.1, 1.2), (m_lo, m_hi)):
            add("integral/expansion", a, a * lam_lo, a * lam_hi)
    # narrow intervals, down to hi/lo - 1 = 1e-12, at the mode t = a - 1 of t^(a-1) e^-t and off it
    for a in (0.0, 0.5, 2.5, 20.0, 60.0, 1e3, 5e5):
        for t in (max(a - 1.0, 0.25), max(a, 1.0) * 0.5, max(a, 1.0) * 3.0, 1e-5):
            for rel in (1e-12, 1e-9, 1e-6, 1e-3):
                add("integral/narrow", a, t, t * (1 + rel))
    # the switch between a difference of tails and the quadrature, both sides of it
    for a, near, upper in ((3.5, 3.0, False), (3.5, 5.0, True), (60.0, 58.0, False), (60.0, 70.0, True),
                           (0.5, 2.0, True), (0.0, 1.5, True)):
        for factor in (0.99, 1.01):
            far = narrow_edge(a, near, upper, factor)
            add("integral/narrow", a, min(near, far), max(near, far))
    # across the mode with Gamma(a) less the tails near its limit of 1/8 of Gamma(a), and within it
    for a in (2.0, 30.0, 5e3):
        for share in (0.1, 0.124, 0.126, 0.2):
            # a symmetric interval in P(a, t) about P(a, a) holding the given share of Gamma(a)
            pa = mp.gammainc(a, 0, a, regularized=True)
            f_lo = lambda x: mp.gammainc(a, 0, x, regularized=True) - (pa - share / 2)  # noqa: E731
            f_hi = lambda x: mp.gammainc(a, 0, x, regularized=True) - (pa + share / 2)  # noqa: E731
            s = math.sqrt(a)
            lo = float(mp.findroot(f_lo, a - 0.15 * s))
            hi = float(mp.findroot(f_hi, a + 0.15 * s))
            add("integral/across", a, lo, hi)
    # extremes: ends at the limits of the range, masses far outside the doubles, tiny and subnormal a
    for a in (5e-324, 1e-300, 1e-5, 0.5, 3.0, 77.5, 5e5):
        for lo, hi in ((1e-300, 1e300), (1e-300, 1e-299), (1e300, math.inf), (1e300, 1e300 * (1 + 1e-12)),
                       (1e5, math.inf), (1e-300, 2e-300)):
            if a > 0 or lo > 0:
                add("integral/extreme", a, lo, hi)
    add("integral/extreme", 5e5, 0.0, 1e-300)
    add("integral/extreme", 5e5, 0.0, 1e3)
    add("integral/extreme", 2.5, 1e5, 1e5 + 1.0)
    add("integral/extreme", 5e5, 1.2e6, 1.3e6)
    return rows


# ---------------------------------------------------------------------------------------------------------

def log_gamma_rows():
    xs = {5e-324, 1e-300, 1e-100, 1e-10, 0.1, 1 - 1e-10, 1.0, 1 + 1e-10, 2 - 1e-10, 2.0, 2 + 1e-10, 3.0,
          5.5, 20.0, 100.5, 1e5, 1e10, 1e100, 1e300, 1.7e308}
    for b in (0.5, 1.5, 2.5, 10.0):
        xs.update(around(b, 2))
    xs.update(0.05 + 0.25 * k for k in range(48))
    return sorted(xs)


def log_normal_rows():
    zs = {-1e154, -1e100, -1e10, -1e3, -100.0, -38.5, -37.5, -20.0, -8.0, -1e-300, 0.0, 1e-300, 1e-8, 8.0,
          20.0, 30.0, 37.0, 37.5, 38.0, 38.5, 40.0}
    for b in (0.7071067811865476, -0.7071067811865476):
        zs.update(around(b, 2))
    zs.update(-40.0 + 0.5 * k for k in range(161))
    return sorted(zs)


def log_normal(z):
    z = mp.mpf(z)
    return mp.log(mp.ncdf(z)) if z < 0 else mp.log1p(-mp.ncdf(-z))


def quantile_rows():
    ps = {5e-324, 1e-320, 2.2250738585072014e-308, 1e-300, 1e-100, 1e-20, 1e-10, 1e-5, 0.01, 0.1, 0.3, 0.45,
          0.5 - 1e-10, 0.5 - 2.0 ** -54, 0.5 + 1e-10, 0.9, 0.99, 1 - 1e-10, 1 - 2.0 ** -53}
    for b in (0.25, 0.5, 0.75):
        ps.update(around(b, 1))
    ps.discard(0.5)
    for n in (10, 1000):
        ps.update(r / (n + 1) for r in range(1, n + 1, max(1, n // 20)))
    # Where Newton's steps, rounded, flip between two neighbouring results instead of shrinking.
    ps.update({0.22917537330759488, 0.23225857061501978, 0.76847455955274835})
    return sorted(ps)


def quantile(p):
    if p > 0.5:
        return -quantile(1 - p)  # 1 - p is exact there
    target = mp.log(mp.mpf(p))
    start = mp.sqrt(2 * mp.pi) * (mp.mpf(p) - 0.5) if p > 0.2 else -mp.sqrt(-2 * target)
    return mp.findroot(lambda z: mp.log(mp.ncdf(z)) - target, start)


def write_table():
    with open(os.path.join(DATA, "log_scale.txt"), "w") as f:
        f.write("# name inputs... value (integral: a lo hi ln I; lgamma: a; lncdf: z; quantile: p)\n")
        for name, a, lo, hi in integral_rows():
            f.write(f"{name} {a!r} {lo!r} {hi!r} {fmt(checked_integral(a, lo, hi))}\n")
        for x in log_gamma_rows():
            f.write(f"lgamma {x!r} {fmt(mp.loggamma(x))}\n")
        for z in log_normal_rows():
            f.write(f"lncdf {z!r} {fmt(log_normal(z))}\n")
        for p in quantile_rows():
            f.write(f"quantile {p!r} {fmt(quantile(p))}\n")


# ---------------------------------------------------------------------------------------------------------
# The constant tables of the sources.

def series_reversion_coefficients(n):
    """Taylor coefficients of z/(m - 1) in z, z^2/2 = m - 1 - ln m, in exact rational arithmetic."""
    def mul(a, b):
        c = [Fraction(0)] * n
        for i, x in enumerate(a):
            if x:
                for j in range(n - i):
                    c[i + j] += x * b[j]
        return c

    def inverse(a):
        r = [Fraction(0)] * n
        r[0] = 1 / a[0]
        for k in range(1, n):
            r[k] = -sum(a[i] * r[k - i] for i in range(1, k + 1)) / a[0]
        return r

    def compose(a, b):
        res, power = [Fraction(0)] * n, [Fraction(1)] + [Fraction(0)] * (n - 1)
        for k in range(n):
            if a[k]:
                res = [r + a[k] * p for r, p in zip(res, power)]
            power = mul(power, b)
        return res

    # with v = m - 1: z = v s(v), s^2 = 2 (v - ln(1 + v)) / v^2 = sum 2 (-1)^k v^k / (k + 2)
    g = [Fraction(2 * (-1) ** k, k + 2) for k in range(n)]
    s = [Fraction(1)] + [Fraction(0)] * (n - 1)
    for k in range(1, n):
        s[k] = (g[k] - sum(s[i] * s[k - i] for i in range(1, k))) / 2
    # v = z w(z) with w(z) s(z w(z)) = 1, by fixed-point iteration on the series
    w = [Fraction(1)] + [Fraction(0)] * (n - 1)
    for _ in range(n):
        w = inverse(compose(s, [Fraction(0)] + w[: n - 1]))
    return inverse(w)  # z / v


def print_tables():
    print("f_j of z/(m - 1):", [mp.nstr(mp.mpf(c.numerator) / c.denominator, 17)
                                for c in series_reversion_coefficients(32)])
    print("(-1)^k (zeta(k) - 1)/k, k = 2..28:", [mp.nstr((-1) ** k * (mp.zeta(k) - 1) / k, 17)
                                                 for k in range(2, 29)])
    print("B(2k)/(2k (2k - 1)), k = 1..8:", [mp.nstr(mp.bernoulli(2 * k) / (2 * k * (2 * k - 1)), 17)
                                            for k in range(1, 9)])
    n, nodes, weights = 16, [], []
    for i in range(1, n // 2 + 1):
        x = mp.cos(mp.pi * (i - mp.mpf(1) / 4) / (n + mp.mpf(1) / 2))
        for _ in range(100):
            p0, p1 = mp.mpf(1), x
            for k in range(2, n + 1):
                p0, p1 = p1, ((2 * k - 1) * x * p1 - (k - 1) * p0) / k
            dp = n * (x * p1 - p0) / (x * x - 1)
            x -= p1 / dp
        p0, p1 = mp.mpf(1), x
        for k in range(2, n + 1):
            p0, p1 = p1, ((2 * k - 1) * x * p1 - (k - 1) * p0) / k
        dp = n * (x * p1 - p0) / (x * x - 1)
        nodes.append(x)
        weights.append(2 / ((1 - x * x) * dp * dp))
    print("Gauss-Legendre 16 nodes:", [mp.nstr(v, 17) for v in nodes])
    print("Gauss-Legendre 16 weights:", [mp.nstr(v, 17) for v in weights])


if __name__ == "__main__":
    if "--tables" in sys.argv[1:]:
        print_tables()
    else:
        os.makedirs(DATA, exist_ok=True)
        write_table()
