#!/usr/bin/env python3
"""Writes the reference tables of the distribution-function tests (run once; output is kept in data/).

Every input is written as repr() of the double the test feeds, so the test reads back the same
double; every value is computed at 50 significant digits and printed with 20.
"""
import math
import os

import mpmath as mp

mp.mp.dps = 50
HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")


def fmt(v):
    return mp.nstr(mp.mpf(v), 20, min_fixed=1, max_fixed=0) if v != 0 else "0"


def around(v, k=1):
    """v and its k nearest doubles on either side."""
    out = [v]
    lo = hi = v
    for _ in range(k):
        lo = math.nextafter(lo, -math.inf)
        hi = math.nextafter(hi, math.inf)
        out += [lo, hi]
    return out


def gamma_ratio_rows():
    small = [1e-300, 1e-20, 1e-10, 1e-5, 0.001, 0.01, 0.1, 0.25, 0.3, 0.4999, 0.5, 0.5001,
             0.6, 0.75, 0.9, 0.99, 0.999999]
    moderate = [1.0, 1.000001, 1.5, 2.0, 2.5, 3.0, 3.7, 5.0, 7.5, 10.0, 10.5, 12.3, 14.5, 15.0,
                17.0, 19.0, 19.5, 19.999]
    large = [20.0, 20.5, 25.0, 30.0, 50.0, 100.0, 149.5, 300.0, 500.0, 1000.0, 2000.0, 5000.0,
             1e4, 1e5]
    fixed_x = [1e-300, 1e-100, 1e-20, 1e-10, 1e-5, 1e-3, 0.01, 0.1, 0.2, 0.2499, 0.25, 0.5,
               1.0, 1.0999, 1.1, 2.0, 2.3, 3.0, 5.0, 10.0, 20.0, 30.0, 31.0, 40.0, 100.0,
               700.0, 1000.0, 1e5]
    ratios = [1e-3, 0.01, 0.1, 0.3, 0.5, 0.59, 0.61, 0.8, 0.9, 0.99, 0.999, 0.9999, 1.0,
              1.0001, 1.001, 1.01, 1.1, 1.2, 1.39, 1.41, 1.5, 2.0, 3.0, 5.0]
    rows = []
    for a in small + moderate + large:
        xs = set(fixed_x)
        if a >= 1.0:
            xs.update(a * r for r in ratios)
        if a >= 20.0:
            # inside and just outside the narrow band of Temme's expansion near x = a
            band = 0.00025 / math.sqrt(a)
            for k in (0.3, 0.9, 1.1, 3.0, 1e3 / a):
                xs.update((a * (1 - k * band), a * (1 + k * band)))
        for x in sorted(xs):
            rows.append((a, x))
    return rows


def ratio_pair(a, x):
    """P(a, x) and Q(a, x), each directly where the library manages, else as the complement."""
    p = q = None
    try:
        p = mp.gammainc(a, 0, x, regularized=True)
    except mp.libmp.NoConvergence:
        pass
    try:
        q = mp.gammainc(a, x, mp.inf, regularized=True)
    except mp.libmp.NoConvergence:
        pass
    if p is None:
        p = 1 - q
    if q is None:
        q = 1 - p
    assert abs(p + q - 1) < mp.mpf(10) ** -40, (a, x)
    return p, q


def write_gamma_ratio():
    with open(os.path.join(DATA, "gamma_ratio.txt"), "w") as f:
        f.write("# a x P(a,x) Q(a,x)\n")
        for a, x in gamma_ratio_rows():
            p, q = ratio_pair(a, x)
            f.write(f"{a!r} {x!r} {fmt(p)} {fmt(q)}\n")


def spread(lo, hi, n):
    return [lo + (hi - lo) * i / (n - 1) for i in range(n)]


def write_functions():
    rows = []
    # erf and erfc (plain and scaled), with the range bounds 0.5, 4, 5.6, 5.8
    xs = set(spread(-6.5, 6.5, 131)) | set(spread(6.5, 27.0, 42))
    xs |= {1e-300, 1e-20, 1e-8, -1e-8, 26.5, 26.6, 26.7, 30.0, 100.0}
    for b in (0.5, 4.0, 5.6, 5.8):
        xs.update(around(b, 2))
        xs.update(around(-b, 2))
    for x in sorted(xs):
        rows.append(("erf", x, mp.erf(x)))
        rows.append(("erfc", x, mp.erfc(x)))
        if x * x < 700 or x > 0:
            rows.append(("erfcx", x, mp.exp(mp.mpf(x) ** 2) * mp.erfc(x)))
    # Gamma: both sides of 15, reflection, up to the overflow bound
    gs = set(spread(-14.75, 14.75, 60)) | set(spread(15.0, 171.5, 40))
    gs |= {0.5, 1e-10, -1e-10, 1e-300, 14.999, 15.0, 15.5, 30.0, 171.0, -15.5, -20.25,
           -30.7, -100.5, -150.3}
    for a in sorted(gs):
        if a == int(a) and a <= 0:
            continue
        rows.append(("gamma", a, mp.gamma(a)))
    # 1/Gamma(a+1) - 1 on [-0.5, 1.5], with the switch at 0.5
    for a in sorted(set(spread(-0.5, 1.5, 81)) | set(around(0.5, 2)) | {1e-10, -1e-10, 1 + 1e-10}):
        if a == 0 or a == 1:
            continue
        rows.append(("gamma1", a, 1 / mp.gamma(mp.mpf(a) + 1) - 1))
    # exp(x) - 1 with the switch at |x| = 0.15
    es = set(spread(-1, 1, 81)) | set(around(0.15, 2)) | set(around(-0.15, 2))
    es |= {1e-300, 1e-10, -1e-10, 5.0, 20.0, 700.0, -5.0, -40.0, -745.0}
    for x in sorted(es):
        if x != 0:
            rows.append(("expm1", x, mp.expm1(x)))
    # x - 1 - ln x with the switches at 0.61, 0.82, 1.18 and 1.57
    ls = set(spread(0.05, 3, 119)) | {1e-300, 1e-10, 1e10, 1e300, 1 + 1e-8, 1 - 1e-8}
    for b in (0.61, 0.82, 1.18, 1.57):
        ls.update(around(b, 2))
    for x in sorted(ls):
        if x != 1:
            rows.append(("logdev", x, mp.mpf(x) - 1 - mp.log(x)))
    # standard normal, with the range bounds 0.66291 and 5.656854248
    ns = set(spread(-38, 38, 153)) | {1e-300, 1e-17, -1e-17, 0.1, -0.1}
    for b in (0.66291, 5.656854248):
        ns.update(around(b, 2))
        ns.update(around(-b, 2))
    for x in sorted(ns):
        rows.append(("normal", x, mp.ncdf(x)))
        rows.append(("normal_c", x, mp.ncdf(-mp.mpf(x))))
    with open(os.path.join(DATA, "functions.txt"), "w") as f:
        f.write("# function x value\n")
        for name, x, v in rows:
            f.write(f"{name} {x!r} {fmt(v)}\n")


if __name__ == "__main__":
    os.makedirs(DATA, exist_ok=True)
    write_functions()
    write_gamma_ratio()
