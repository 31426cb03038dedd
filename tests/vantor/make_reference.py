#!/usr/bin/env python3
"""Writes the high-precision reference for vantor's band probabilities L(1..5) and W(1..5).

Run from the repository root:
    python3 tests/vantor/make_reference.py > tests/vantor/data/band_reference.txt
Options: --only NAME computes one case; --dps N sets the working precision
(default 30 decimal digits); --all-points sums every grid point even for
large n (slow; checks the cut described below).  Progress goes to stderr.

Output: one line per case, `name L1 L2 L3 L4 L5 W1 W2 W3 W4 W5`, every
probability in exponent form with 15 significant digits.  Some band
probabilities lie far below the smallest double (e.g. 1e-853); they are
printed as computed, and a reader that converts them to double gets 0.

What is computed, per case (values y(1..n), limit x, gm_bounds, gsd_bounds,
band prior c(1..5)):
  * mu_bounds = ln(gm_bounds), sigma_bounds = ln(gsd_bounds), the grid step
    h = (mu_bounds(2) - mu_bounds(1)) / 29999 and the 30000 grid values
    mu = (j - 1)*h + mu_bounds(1) are all taken in double arithmetic, in that
    operation order, so they are bit-identical to the program's.
  * S(mu) = sum of (y(i) - mu)^2.  For n <= 30 it is the double sum in index
    order starting from 0.0, exactly as the program forms it.  For larger n it
    is computed exactly in rational arithmetic as SS + n*(ybar - mu)^2 (SS and
    ybar exact, formed once) and then correctly rounded to double; the
    program's own running sum may differ from this in the last bits.
  * From S on, the breakpoints q(1..6), their three-stage clamping, sigma(k),
    v = 1/(sigma*sigma) and t(7-k) = v / r with r = 2/S are evaluated in
    double arithmetic exactly as the program evaluates them.
  * S == 0 (every value equals the grid value) takes the limit of the masses
    as S -> 0, on the scale of the other points: with v(k) = r*t(k) =
    1/sigma(7-k)^2, the mass of [t(i), t(i+1)] tends to ln(v(i+1)/v(i)) for
    n = 1 and to (v(i+1)^a - v(i)^a)/Gamma(a + 1) for n >= 2.
  * Band masses in high precision: for the interval [t(i), t(i+1)], stored as
    band 6-i, the mass is 0 when the two ends are equal; otherwise for n = 1 it
    is the integral of exp(-t)/t over the interval, and for n >= 2 it is
    r^a * [P(a, t(i+1)) - P(a, t(i))] with a = (n-1)/2, P the regularized lower
    incomplete gamma function and r the double 2/S raised in high precision
    (no overflow or underflow).  P comes from its power series below a + 1 and
    from the continued fraction of its complement above (mpmath's own
    incomplete gamma fails to converge for some arguments at a near 50000);
    the working precision is raised wherever the subtraction cancels.
  * L(k) = sum over the grid of the band-k masses, W(k) = the same with each
    mass times c(k); both normalised to sum 1, all in high precision.
  * For n > 30 a grid point is skipped when a*ln(r), an upper bound of the log
    of its total mass (the regularized gamma difference is at most 1), lies
    more than 100 below the exact log-mass of the grid point with the smallest
    S.  Every skipped point carries less than exp(-100) of the largest point's
    mass, so all of them together shift no probability by more than
    30000*exp(-100) < 1.2e-39: every printed value above 1e-24 keeps all its
    digits, while a band whose only mass lies in skipped points prints as 0
    (with --all-points it shows its true, far smaller, value).  For n = 1 the
    same cut applies with exp(-t(1))/t(1) as the bound (t(1) the point's
    smallest t, which bounds the integral of exp(-t)/t above t(1)).  For
    2 <= n <= 30 every grid point is summed.
"""

import argparse
import math
import struct
import sys
import time
from fractions import Fraction

import mpmath
from mpmath import mp, mpf

GRID_POINTS = 30000
Z95 = 1.6448536269515  # standard normal 95% quantile


def single(x):
    """The single-precision value nearest to x, widened to double."""
    return struct.unpack('f', struct.pack('f', x))[0]


# Interior ratio breakpoints 0.01, 0.1, 0.5, 1 as single-precision values.
BAND_FRACTIONS = (single(0.01), single(0.1), single(0.5), single(1.0))
BAND_PRIOR = (0.1, 0.2, 0.3, 0.25, 0.15)


def formula_values(n):
    """The n test values defined by the integer formula shared with the C++ test."""
    values = []
    for i in range(1, n + 1):
        a = (i * 7919) % 1009
        b = (i * 104729) % 1013
        d = (i * 15485863) % 1019
        values.append(float(a + b + d - 1512) / 600.0)
    return values


EQUAL_PRIOR = (1.0, 1.0, 1.0, 1.0, 1.0)
LOG_042 = math.log(0.42)

# name, values, limit, gm_bounds, gsd_bounds[, band prior (default BAND_PRIOR)]
CASES = (
    ('one', [0.3], 5.0, (0.5, 20.0), (1.2, 8.0)),
    ('two', [0.1, 0.9], 10.0, (0.2, 30.0), (1.05, 12.0)),
    ('six', [-0.5, 0.2, 0.4, 1.1, 0.8, 0.05], 3.0, (0.1, 10.0), (1.1, 6.0)),
    ('thirty', formula_values(30), 4.0, (0.3, 5.0), (1.1, 5.0)),
    ('n400', formula_values(400), 4.0, (0.3, 5.0), (1.1, 5.0)),
    ('n5000', formula_values(5000), 4.0, (0.3, 5.0), (1.1, 5.0)),
    ('n100000', formula_values(100000), 4.0, (0.3, 5.0), (1.1, 5.0)),
    # One value 0.42 with narrow or nearly degenerate sigma ranges: integrals
    # the adaptive integrator cannot finish, and masses it misses.
    ('gsd_1.05_1.06', [LOG_042], 1.0, (0.001, 10.0), (1.05, 1.06), EQUAL_PRIOR),
    ('gsd_1.005_10', [LOG_042], 1.0, (0.001, 10.0), (1.005, 10.0), EQUAL_PRIOR),
    ('gsd_1.002_10', [LOG_042], 1.0, (0.001, 10.0), (1.002, 10.0), EQUAL_PRIOR),
    ('gsd_1.0000001_1.0001', [LOG_042], 1.0, (0.001, 10.0), (1.0000001, 1.0001), EQUAL_PRIOR),
    # Every value equal to the first grid value: S = 0 there.
    ('s_zero_two', [0.0, 0.0], 5.0, (1.0, 2.0), (1.05, 2.0), EQUAL_PRIOR),
    ('s_zero_one', [0.0], 5.0, (1.0, 2.0), (1.05, 2.0), EQUAL_PRIOR),
)


def clamp_breakpoints(q):
    """Clamps q[1..4] (0-based list of six) in the program's three stages."""
    interior = q[1:5]
    if all(v <= q[0] for v in interior):
        q[1:5] = [q[0]] * 4
    elif all(v >= q[5] for v in interior):
        q[1:5] = [q[5]] * 4
    else:
        m = sum(1 for v in interior if v < q[0])
        for k in range(1, 1 + m):
            q[k] = q[0]
        m2 = sum(1 for v in q[0:5] if v > q[5])
        for k in range(5 - m2, 5):
            q[k] = q[5]


def v_values(mu, x, sigma_bounds):
    """v(1..6) = 1/sigma(7-k)^2 of one grid point, ascending, in double arithmetic."""
    q = [math.exp(mu + Z95 * sigma_bounds[0]) / x, *BAND_FRACTIONS,
         math.exp(mu + Z95 * sigma_bounds[1]) / x]
    clamp_breakpoints(q)
    v = [0.0] * 6
    for k in range(6):
        sigma = (math.log(q[k] * x) - mu) / Z95
        v[5 - k] = 1.0 / (sigma * sigma) if sigma != 0.0 else math.inf  # as IEEE division gives it
    return v


def t_values(mu, s, x, sigma_bounds):
    """The six ascending t breakpoints of one grid point, in double arithmetic."""
    r = 2.0 / s
    return r, [v / r for v in v_values(mu, x, sigma_bounds)]


def limit_masses(n, v):
    """The band masses P(1..5) of a grid point with S = 0: their limit as S -> 0."""
    a = mpf(n - 1) / 2
    p = [mpf(0)] * 5
    for i in range(5):
        lo, hi = mpf(v[i]), mpf(v[i + 1])
        if hi == lo:
            continue
        p[4 - i] = mp.log(hi / lo) if n == 1 else (hi ** a - lo ** a) / mp.gamma(a + 1)
    return p


class ExactSquares:
    """S(mu) = SS + n*(ybar - mu)^2 in exact rational arithmetic."""

    def __init__(self, values):
        exact = [Fraction(y) for y in values]
        self.n = len(exact)
        self.mean = sum(exact) / self.n
        self.ss = sum((y - self.mean) ** 2 for y in exact)

    def __call__(self, mu):
        return float(self.ss + self.n * (self.mean - Fraction(mu)) ** 2)


def double_squares(values):
    """S(mu) as the program's running double sum in index order."""
    def squares(mu):
        s = 0.0
        for y in values:
            d = y - mu
            s = s + d * d
        return s
    return squares


def e1_difference(lo, hi):
    """E1(lo) - E1(hi), the integral of exp(-t)/t from lo to hi, to full working precision.

    The two exponential integrals nearly cancel when the interval is narrow, so
    the working precision is raised by the digits the subtraction loses."""
    extra = 10
    while True:
        with mp.workdps(mp.dps + extra):
            upper = mpmath.e1(lo)
            diff = upper - mpmath.e1(hi)
            lost = float(mpmath.log10(abs(upper / diff))) if diff != 0 else math.inf
        if lost < extra - 5:
            return +diff
        if extra > 400:
            raise ArithmeticError(f'E1 difference over [{lo}, {hi}] does not resolve')
        extra = (extra + 40) if math.isinf(lost) else int(lost) + 15


def gamma_p_series(a, x):
    """Regularized lower incomplete gamma P(a, x) by its power series (x < a + 1)."""
    eps = mpf(2) ** (-mp.prec - 4)
    term = mpf(1)
    total = mpf(1)
    k = 0
    while True:
        k += 1
        term *= x / (a + k)
        total += term
        if term < eps * total:
            break
    return mp.exp(a * mp.log(x) - x - mp.loggamma(a + 1)) * total


def gamma_q_fraction(a, x):
    """Regularized upper incomplete gamma Q(a, x) by its continued fraction (x >= a + 1),
    evaluated with the modified Lentz recurrence."""
    eps = mpf(2) ** (-mp.prec - 4)
    tiny = mpf(2) ** (-4 * mp.prec)
    b = x + 1 - a
    c = 1 / tiny
    d = 1 / b
    h = d
    i = 0
    while True:
        i += 1
        an = -i * (i - a)
        b += 2
        d = an * d + b
        if d == 0:
            d = tiny
        c = b + an / c
        if c == 0:
            c = tiny
        d = 1 / d
        delta = d * c
        h *= delta
        if abs(delta - 1) < eps:
            break
    return mp.exp(a * mp.log(x) - x - mp.loggamma(a)) * h


def gamma_difference(a, lo, hi):
    """P(a, hi) - P(a, lo) for 0 <= lo < hi, to full working precision.

    Below a + 1 the lower function comes from its series, above it the upper
    function from its continued fraction; the difference is taken between like
    quantities so that the far tails keep their relative accuracy, and the
    working precision is raised by the digits the subtraction loses."""
    extra = 15
    while True:
        with mp.workdps(mp.dps + extra):
            a_, lo_, hi_ = mpf(a), mpf(lo), mpf(hi)
            series_lo = lo_ < a_ + 1
            series_hi = hi_ < a_ + 1
            p_lo = gamma_p_series(a_, lo_) if series_lo and lo_ > 0 else mpf(0)
            if series_hi:
                p_hi = gamma_p_series(a_, hi_)
                diff, scale = p_hi - p_lo, p_hi
            elif series_lo:
                diff, scale = 1 - gamma_q_fraction(a_, hi_) - p_lo, mpf(1)
            else:
                q_lo = gamma_q_fraction(a_, lo_)
                diff, scale = q_lo - gamma_q_fraction(a_, hi_), q_lo
            lost = float(mp.log10(scale / diff)) if diff > 0 else math.inf
        if lost < extra - 5:
            return +diff
        if extra > 400:
            raise ArithmeticError(f'gamma difference over [{lo}, {hi}] does not resolve')
        extra = (extra + 40) if math.isinf(lost) else int(lost) + 20


def band_masses(n, r, t):
    """The five band masses P(1..5) of one grid point, in high precision."""
    a = mpf(n - 1) / 2
    f = mpf(1) if n == 1 else mpf(r) ** a
    p = [mpf(0)] * 5
    for i in range(5):
        lo, hi = t[i], t[i + 1]
        if hi == lo:
            continue
        if n == 1:
            mass = e1_difference(mpf(lo), mpf(hi))
        else:
            mass = f * gamma_difference(a, lo, hi)
        p[4 - i] = mass
    return p


def log_total_mass(n, r, t):
    """ln of the grid point's mass summed over the five bands (n >= 2)."""
    a = mpf(n - 1) / 2
    return a * mpmath.log(mpf(r)) + mpmath.log(gamma_difference(a, t[0], t[5]))


def band_probabilities(values, x, gm_bounds, gsd_bounds, prior, progress, all_points=False):
    """Normalised L(1..5) and W(1..5) for one case, plus the count of summed points."""
    n = len(values)
    mu_bounds = (math.log(gm_bounds[0]), math.log(gm_bounds[1]))
    sigma_bounds = (math.log(gsd_bounds[0]), math.log(gsd_bounds[1]))
    h = (mu_bounds[1] - mu_bounds[0]) / (GRID_POINTS - 1)
    grid = [(j - 1) * h + mu_bounds[0] for j in range(1, GRID_POINTS + 1)]
    squares = double_squares(values) if n <= 30 else ExactSquares(values)
    s_values = [squares(mu) for mu in grid]

    keep = [True] * GRID_POINTS
    if n == 1 and not all_points:
        # The mass of a grid point is at most E1(t(1)) < exp(-t(1))/t(1), t(1) its smallest t;
        # the point with the largest such bound carries at least a share of it that the exact
        # masses show, so points more than 100 below the best exact log-mass are cut as for n > 30.
        bounds = []
        for j in range(GRID_POINTS):
            s = s_values[j]
            if s == 0.0:
                bounds.append(math.inf)
                continue
            t1 = t_values(grid[j], s, x, sigma_bounds)[1][0]
            bounds.append(-t1 - math.log(t1) if t1 > 0.0 else math.inf)
        best = max(range(GRID_POINTS), key=lambda j: bounds[j])
        s = s_values[best]
        p = (limit_masses(n, v_values(grid[best], x, sigma_bounds)) if s == 0.0
             else band_masses(n, *t_values(grid[best], s, x, sigma_bounds)))
        cut = float(mpmath.log(mpmath.fsum(p))) - 100.0
        keep = [b >= cut for b in bounds]
    if n > 30 and not all_points:
        # Upper bounds a*ln(r); the exact log-mass of the smallest-S point is a
        # lower bound of the largest one, so the cut below is safe.
        a = (n - 1) / 2
        bounds = [a * math.log(2.0 / s) if s > 0.0 else math.inf for s in s_values]
        best = max(range(GRID_POINTS), key=lambda j: bounds[j])
        r, t = t_values(grid[best], s_values[best], x, sigma_bounds)
        cut = float(log_total_mass(n, r, t)) - 100.0
        keep = [b >= cut for b in bounds]

    c = [mpf(v) for v in prior]
    lsum = [mpf(0)] * 5
    wsum = [mpf(0)] * 5
    used = 0
    for j in range(GRID_POINTS):
        if progress and j % 3000 == 0:
            print(f'  grid point {j + 1}/{GRID_POINTS}', file=sys.stderr, flush=True)
        s = s_values[j]
        if not keep[j]:
            continue
        used += 1
        if s == 0.0:
            p = limit_masses(n, v_values(grid[j], x, sigma_bounds))
        else:
            r, t = t_values(grid[j], s, x, sigma_bounds)
            p = band_masses(n, r, t)
        for k in range(5):
            lsum[k] += p[k]
            wsum[k] += p[k] * c[k]
    total_l = mpmath.fsum(lsum)
    total_w = mpmath.fsum(wsum)
    return [v / total_l for v in lsum], [v / total_w for v in wsum], used


def exponent_form(v):
    """v in exponent form with 15 significant digits, rounded once from its exact value."""
    man, exp = mpf(v).man_exp
    if man == 0:
        return '0.00000000000000e+00'
    exact = Fraction(abs(man)) * Fraction(2) ** exp
    e = int(mp.floor(mp.log10(abs(mpf(v)))))
    while True:
        digits = round(exact * Fraction(10) ** (14 - e))
        if digits >= 10 ** 15:
            e += 1
        elif digits < 10 ** 14:
            e -= 1
        else:
            break
    text = str(digits)
    sign = '-' if man < 0 else ''
    return f'{sign}{text[0]}.{text[1:]}e{e:+03d}'


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--only', metavar='NAME', help='compute only this case')
    parser.add_argument('--dps', type=int, default=30, help='decimal working precision')
    parser.add_argument('--quiet', action='store_true', help='no progress lines')
    parser.add_argument('--all-points', action='store_true',
                        help='sum every grid point also for large n (slow; checks the cut)')
    args = parser.parse_args()
    mp.dps = args.dps
    cases = [c for c in CASES if args.only is None or c[0] == args.only]
    if not cases:
        parser.error(f'no case named {args.only!r}')
    for name, values, x, gm_bounds, gsd_bounds, *prior in cases:
        start = time.time()
        print(f'{name}: n = {len(values)}', file=sys.stderr, flush=True)
        l, w, used = band_probabilities(values, x, gm_bounds, gsd_bounds,
                                        prior[0] if prior else BAND_PRIOR, not args.quiet, args.all_points)
        print(' '.join([name] + [exponent_form(v) for v in l + w]), flush=True)
        print(f'{name}: {used} grid points summed, {time.time() - start:.1f} s',
              file=sys.stderr, flush=True)


if __name__ == '__main__':
    main()
