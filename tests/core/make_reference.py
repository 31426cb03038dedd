#!/usr/bin/env python3
"""Reference values for regression on order statistics, computed independently of the C++ code.

Counts and plotting positions are exact fractions from the measured values themselves (not their logarithms);
normal scores, the least-squares fit, the imputed values and cardel's summary numbers are computed with mpmath at
40 digits. Prints the numbers pinned in tests/core/order_statistics_regression_test.cpp and in
tests/cardel/cardel_end_to_end_test.cpp.

    python3 tests/core/make_reference.py
"""
from fractions import Fraction

import mpmath as mp

mp.mp.dps = 40
ZERO_SUBSTITUTE = 1.0000000116860974e-07  # the double that stands for a zero before its logarithm
FOLD_FACTOR = 3.9200000762939453


def ros(detected, limits_of_entries):
    """detected: measured values (0 allowed); limits_of_entries: the X of every entry <X.
    Returns (intercept, slope, {limit: [imputed values in rank order]}) or None without a fit."""
    logs = [mp.log(mp.mpf(ZERO_SUBSTITUTE if y == 0 else y)) for y in detected]
    if len(set(logs)) < 2:
        return None
    limits = sorted(set(limits_of_entries))
    m = len(limits)
    bounds = [Fraction(0)] + [Fraction(x) for x in limits] + [None]
    values = sorted(Fraction(y) for y in detected)

    def in_interval(y, j):
        return y >= bounds[j] and (bounds[j + 1] is None or y < bounds[j + 1])

    A = [sum(1 for y in values if in_interval(y, j)) for j in range(m + 1)]
    B = [None] + [sum(1 for y in values if y < bounds[j]) + sum(1 for x in limits_of_entries if Fraction(x) <= bounds[j])
                  for j in range(1, m + 1)]
    pe = [Fraction(0)] * (m + 2)
    for j in range(m, 0, -1):
        pe[j] = pe[j + 1] if A[j] + B[j] == 0 else pe[j + 1] + Fraction(A[j], A[j] + B[j]) * (1 - pe[j + 1])
    pe[0] = Fraction(1)

    def score(p):
        return mp.sqrt(2) * mp.erfinv(2 * mp.mpf(p.numerator) / p.denominator - 1)

    points = []  # (normal score, log of the detected value)
    for j in range(m + 1):
        inside = [y for y in values if in_interval(y, j)]
        for r, y in enumerate(inside, start=1):
            p = (1 - pe[j]) + (pe[j] - pe[j + 1]) * Fraction(r, A[j] + 1)
            points.append((score(p), mp.log(mp.mpf(ZERO_SUBSTITUTE if y == 0 else float(y)))))
    n = len(points)
    mz = mp.fsum(z for z, _ in points) / n
    my = mp.fsum(y for _, y in points) / n
    slope = mp.fsum((z - mz) * (y - my) for z, y in points) / mp.fsum((z - mz) ** 2 for z, _ in points)
    intercept = my - slope * mz
    imputed = {}
    for j, x in enumerate(limits, start=1):
        c = sum(1 for e in limits_of_entries if e == x)
        imputed[x] = [mp.exp(intercept + slope * score((1 - pe[j]) * Fraction(r, c + 1))) for r in range(1, c + 1)]
    return intercept, slope, imputed


def cardel_summary(groups):
    """groups: lists of entries, a float a measurement (negative: missing), a string '<X' an entry below X.
    Returns fold range, mean, SD, geometric mean and geometric SD as cardel defines them."""
    detected = [y for g in groups for y in g if not isinstance(y, str) and y >= 0]
    limits = [float(e[1:]) for g in groups for e in g if isinstance(e, str)]
    fit = ros(detected, limits)
    if fit is None:
        return None
    intercept, slope, imputed = fit
    values = [mp.mpf(y) for y in detected] + [v for x in imputed for v in imputed[x]]
    logs = [mp.log(mp.mpf(ZERO_SUBSTITUTE if y == 0 else y)) for y in detected] + [mp.log(v) for x in imputed
                                                                                      for v in imputed[x]]
    n = len(values)
    mean = mp.fsum(values) / n
    sd = mp.sqrt(mp.fsum((v - mean) ** 2 for v in values) / (n - 1))
    mean_log = mp.fsum(logs) / n
    sd_log = mp.sqrt(mp.fsum((v - mean_log) ** 2 for v in logs) / (n - 1))
    limit_mean = {x: mp.fsum(imputed[x]) / len(imputed[x]) for x in imputed}
    means = []
    for g in groups:
        entries = [limit_mean[float(e[1:])] if isinstance(e, str) else mp.mpf(e) for e in g
                   if isinstance(e, str) or e >= 0]
        if entries:
            means.append(mp.fsum(entries) / len(entries))
    c = mp.log(mp.fsum(means) / len(means))
    s = mp.sqrt(mp.fsum((mp.log(v) - c) ** 2 for v in means) / (len(means) - 1))
    return mp.exp(FOLD_FACTOR * s), mean, sd, mp.exp(mean_log), mp.exp(sd_log)


def show(x):
    return mp.nstr(x, 17, min_fixed=-4, max_fixed=6)


CORE_CASES = {
    # Two limits; a zero; a tie; a detected value equal to a limit (it counts at or above that limit).
    "two limits": ([0.3, 0.7, 0.7, 1.0, 1.2, 2.5, 0.9, 4.1, 0.0], [0.5, 0.5, 1.0, 1.0, 1.0]),
    # A limit below the zero's substitute 1e-7: the zero still ranks below it.
    "zero below a tiny limit": ([0.0, 3e-9, 1e-8, 5e-8, 2e-7], [1e-9, 1e-9]),
    # The fitted line passes above the limit within its range of plotting positions.
    "imputed above the limit": ([0.9, 0.95, 1.1, 50.0, 1000.0], [1.0] * 10),
}

if __name__ == "__main__":
    for name, (detected, limits) in CORE_CASES.items():
        intercept, slope, imputed = ros(detected, limits)
        print(f"{name}: intercept {show(intercept)} slope {show(slope)}")
        for x, v in imputed.items():
            print(f"  <{x}: " + ", ".join(show(e) for e in v) + f"  (above {sum(1 for e in v if e > x)})")
    tables = {
        "cardel: limits and a zero": [[0.21, "<0.05", 0.34, 0.12, 0.0], [0.08, 0.15, "<0.1", 0.46, -1],
                                      ["<0.05", 0.27, 0.09, "<0.1", 0.19]],
        "README example": [[0.21, "<0.05", 0.34, 0.12], [0.08, 0.15, "<0.1", 0.46], ["<0.05", 0.27, 0.09, "<0.1"]],
        "cardel: imputed above the limit": [[0.9, "<1", "<1", 50.0, "<1"], [0.95, 1.1, "<1", 1000.0, -1]],
    }
    for name, groups in tables.items():
        print(name + ": " + ", ".join(show(v) for v in cardel_summary(groups)))
