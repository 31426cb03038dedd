#!/usr/bin/env python3
"""Writes the reference for vantor's censored band probabilities and its posterior estimates.

Run from the repository root (a few minutes per case; progress on stderr):
    python3 tests/vantor/make_censored_reference.py > tests/vantor/data/censored_reference.txt
Options: --only NAME computes one case; --fine doubles the panels and the
rule's nodes, which shows how far the printed values are from converged (the
committed table agrees with --fine to far better than the tests ask).

Output: for a band case one line `name L1 .. L5 W1 .. W5` (flat and weighted
probabilities); for an estimates case also five lines `name.quantity q2.5 q50
q70 q95 q97.5`, every number in exponent form with 15 significant digits.

What is computed, per case (log values with some flagged as ln of a
detection limit, limit x, gm_bounds, gsd_bounds, band prior c(1..5)):
  * The 30000 grid values mu, S(mu) over the detected values, the band
    breakpoints v(1..6) and sigma(k) = 1/sqrt(v(7-k)) clamped into the sigma
    bounds are formed in double arithmetic as the program forms them (the
    grid, S and v from make_reference.py).
  * f(sigma) = sigma^-n_d exp(-S/(2 sigma^2)) prod over the entries below a
    limit of Phi((ln limit - mu)/sigma), n_d the detected count: the
    likelihood under flat priors in mu and sigma, whose constant factors
    cancel.  ln Phi comes from the C library's erfc (log1p of the upper tail
    above 0) and, below z = -30, from mpmath at 30 digits.
  * Each grid point is integrated in x = ln sigma (the integrand f(e^x) e^x)
    by 12-point Gauss-Legendre panels (nodes from mpmath): the peak sigma* of
    f comes from a golden-section search on ln f(1/u), which is concave in u
    (so f is unimodal); the range [sigma_a, sigma_b] where ln f lies within 50
    of its peak is cut into 16 equal panels in x and split at the band ends.
    As f is unimodal, the left-out tails hold at most (sigma_a - sigma_lo)
    f(sigma_a) + (sigma_hi - sigma_b) f(sigma_b); the script checks that this
    is below 1e-15 of the point's mass.
  * A grid point is skipped when (sigma_hi - sigma_lo) f(sigma*), an upper
    bound of its mass, is below e^-40 of the mass of the point with the
    largest such bound: all skipped points together carry less than
    30000 e^-40 < 1.3e-13 of the total, and with the weights of these cases
    (at most 3 times one another) of the weighted total.
  * L(k) and W(k) sum the band masses over the grid (W with each mass times
    c(k)) in mpmath and are normalised.
  * Estimates under the weighted posterior: geometric_mean is e^mu of the
    smallest grid value whose cumulative weighted mass reaches the level;
    for geometric_sd = e^sigma, percentile_95 = e^(mu + 1.6448536269515 sigma),
    arithmetic_mean = e^(mu + sigma^2/2) and exceedance_percent =
    100 Phi((mu - ln x)/sigma), each monotone in sigma at fixed mu, the
    distribution function at a value sums over the points the weighted mass
    of sigma on the side of the threshold the value sets, within a panel by
    integrating the polynomial through the panel's 12 values; each percentile
    is the root of that sum by the Illinois method to 1e-12.  Points whose
    weighted mass is below 1e-15 of the largest are left out of these sums.
"""

import argparse
import bisect
import math
import os
import sys
import time

import mpmath
from mpmath import mp, mpf

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_reference import BAND_PRIOR, EQUAL_PRIOR, GRID_POINTS, Z95, double_squares, exponent_form, \
    formula_values, v_values  # noqa: E402

SQRT_HALF = math.sqrt(0.5)
LEVELS = (0.025, 0.5, 0.7, 0.95, 0.975)
QUANTITIES = ('geometric_mean', 'geometric_sd', 'percentile_95', 'arithmetic_mean', 'exceedance_percent')
PEAK_DROP = 50.0  # the integrated range: where ln f lies within this of its peak
SKIP_LOG = 40.0  # grid points provably below e^-40 of the largest are skipped
ESTIMATE_SHARE = 1e-15  # points below this share of the largest weighted mass leave the estimates' sums


def log_phi(z):
    """ln Phi(z)."""
    if z > 0.0:
        return math.log1p(-0.5 * math.erfc(z * SQRT_HALF))
    if z > -30.0:
        return math.log(0.5 * math.erfc(-z * SQRT_HALF))
    with mp.workdps(30):
        return float(mp.log(mp.ncdf(z)))


def phi_percent(z):
    """100 Phi(z) without cancellation."""
    return 100.0 * (0.5 * math.erfc(-z * SQRT_HALF))


class Rule:
    """Gauss-Legendre nodes and weights on [-1, 1], and the matrix that takes values at the nodes to the
    Legendre coefficients of the polynomial through them."""

    def __init__(self, count):
        with mp.workdps(40):
            nodes, weights = [], []
            for k in range(1, count + 1):
                x = mp.cos(mp.pi * (k - mpf(1) / 4) / (count + mpf(1) / 2))
                for _ in range(100):
                    p, q = mp.legendre(count, x), mp.legendre(count - 1, x)
                    dp = count * (x * p - q) / (x * x - 1)
                    step = p / dp
                    x -= step
                    if abs(step) < mpf(10) ** -35:
                        break
                dp = count * (x * mp.legendre(count, x) - mp.legendre(count - 1, x)) / (x * x - 1)
                nodes.append(float(x))
                weights.append(float(2 / ((1 - x * x) * dp * dp)))
        self.nodes, self.weights = nodes, weights
        self.fit = [[(2 * k + 1) / 2 * w * legendre_values(x, count)[k] for x, w in zip(nodes, weights)]
                    for k in range(count)]


def legendre_values(t, count):
    """P_0(t) .. P_count(t)."""
    p = [1.0, t]
    for k in range(2, count + 1):
        p.append(((2 * k - 1) * t * p[k - 1] - (k - 1) * p[k - 2]) / k)
    return p[:count + 1]


class Point:
    """One grid point's weighted sigma distribution: panels in x = ln sigma with their values and integrals,
    all relative to e^scale."""

    __slots__ = ('mu', 'scale', 'edges', 'starts', 'bands', 'values', 'integrals', 'below', 'coefficients', 'masses')


def golden_peak(log_f, sigma_lo, sigma_hi):
    """sigma where f is largest over [sigma_lo, sigma_hi], by golden section on ln f(1/u) (concave in u)."""
    phi = lambda u: log_f(1.0 / u)  # noqa: E731
    a = 1.0 / sigma_hi
    if sigma_lo > 0.0:
        b = 1.0 / sigma_lo
    else:
        b, previous = 2.0 * a, phi(a)
        while True:
            value = phi(b)
            if value < previous or b > 1e15:
                break
            previous, b = value, 2.0 * b
        if b > 1e15:
            return sigma_lo
    g = (math.sqrt(5.0) - 1.0) / 2.0
    c, d = b - g * (b - a), a + g * (b - a)
    fc, fd = phi(c), phi(d)
    for _ in range(80):
        if fc >= fd:
            b, d, fd = d, c, fc
            c = b - g * (b - a)
            fc = phi(c)
        else:
            a, c, fc = c, d, fd
            d = a + g * (b - a)
            fd = phi(d)
        if b - a <= 1e-14 * b:
            break
    u = 0.5 * (a + b)
    # The ends themselves when the peak lies on them.
    best = max((1.0 / sigma_hi, u) + ((1.0 / sigma_lo,) if sigma_lo > 0.0 else ()), key=phi)
    return 1.0 / best


def cut(log_f, peak, top, bound, direction):
    """The sigma between the peak and `bound` where ln f falls to top - PEAK_DROP, or `bound` when it does
    not fall that far."""
    if peak == bound:
        return bound
    step = 0.01
    inner = peak
    while True:
        sigma = peak * math.exp(direction * step)
        if (direction > 0 and sigma >= bound) or (direction < 0 and sigma <= bound):
            if log_f(bound) >= top - PEAK_DROP:
                return bound
            outer = bound
            break
        if log_f(sigma) < top - PEAK_DROP:
            outer = sigma
            break
        inner, step = sigma, 2.0 * step
    for _ in range(60):
        middle = 0.5 * (inner + outer) if outer == 0.0 else math.sqrt(inner * outer)
        if middle <= 0.0:
            middle = 0.5 * (inner + outer)
        if log_f(middle) < top - PEAK_DROP:
            outer = middle
        else:
            inner = middle
    return outer


def integrate_point(log_f, peak, sigma_lo, sigma_hi, band_sigma, rule, panel_count):
    """The point's panels, each with its band, values of f(e^x) e^x / e^scale at the nodes and integral."""
    top = log_f(peak)
    sigma_a = cut(log_f, peak, top, sigma_lo, -1) if peak > sigma_lo else sigma_lo
    sigma_b = cut(log_f, peak, top, sigma_hi, +1) if peak < sigma_hi else sigma_hi
    if sigma_a <= 0.0:
        raise ArithmeticError('the integrated range reaches sigma = 0')
    xa, xb = math.log(sigma_a), math.log(sigma_b)
    edges = [xa + (xb - xa) * i / panel_count for i in range(panel_count + 1)]
    edges[-1] = xb
    for k in range(1, 5):
        s = band_sigma[k]
        if sigma_a < s < sigma_b:
            edges.append(math.log(s))
    edges.sort()
    scale = top + math.log(peak)
    point = Point()
    point.scale = scale
    point.edges, point.bands, point.values, point.integrals = [], [], [], []
    for lo, hi in zip(edges, edges[1:]):
        if not hi > lo:
            continue
        c, h = 0.5 * (lo + hi), 0.5 * (hi - lo)
        values = [math.exp(log_f(math.exp(c + h * t)) + c + h * t - scale) for t in rule.nodes]
        middle = math.exp(c)
        band = max(k for k in range(5) if k == 0 or middle >= band_sigma[k])
        point.edges.append((lo, hi))
        point.bands.append(band)
        point.values.append(values)
        point.integrals.append(h * math.fsum(w * v for w, v in zip(rule.weights, values)))
    mass = math.fsum(point.integrals)
    tails = 0.0
    if sigma_a > sigma_lo:
        tails += (sigma_a - sigma_lo) * math.exp(log_f(sigma_a) - scale)
    if sigma_b < sigma_hi:
        tails += (sigma_hi - sigma_b) * math.exp(log_f(sigma_b) - scale)
    if not tails <= 1e-15 * mass:
        raise ArithmeticError(f'tails {tails} of a point of mass {mass}')
    point.masses = [math.fsum(i for i, b in zip(point.integrals, point.bands) if b == k) for k in range(5)]
    return point


def band_sigmas(mu, x, sigma_bounds):
    """sigma(1..6) of one grid point as the program forms them."""
    v = v_values(mu, x, sigma_bounds)
    sigma = [0.0] * 6
    sigma[0], sigma[5] = sigma_bounds
    for k in range(1, 5):
        sigma[k] = min(max(1.0 / math.sqrt(v[5 - k]), sigma[k - 1]), sigma_bounds[1])
    return sigma


def make_log_f(n_detected, squares, mu, limits):
    terms = [(log_limit - mu, count) for log_limit, count in limits]
    log = math.log

    def log_f(sigma):
        if sigma == 0.0:
            return -math.inf
        value = -n_detected * log(sigma) - 0.5 * squares / (sigma * sigma)
        for d, count in terms:
            value += count * log_phi(d / sigma)
        return value
    return log_f


def grid_posterior(case, rule, panel_count):
    """The kept grid points of a case with their panels."""
    values, below, x, gm_bounds, gsd_bounds, prior = case['values'], case['below'], case['limit'], \
        case['gm'], case['gsd'], case['prior']
    detected = [v for v, b in zip(values, below) if not b]
    limits = {}
    for v, b in zip(values, below):
        if b:
            limits[v] = limits.get(v, 0) + 1
    limits = sorted(limits.items())
    mu_bounds = (math.log(gm_bounds[0]), math.log(gm_bounds[1]))
    sigma_bounds = (math.log(gsd_bounds[0]), math.log(gsd_bounds[1]))
    h = (mu_bounds[1] - mu_bounds[0]) / (GRID_POINTS - 1)
    grid = [(j - 1) * h + mu_bounds[0] for j in range(1, GRID_POINTS + 1)]
    squares = double_squares(detected)
    sigma_lo, sigma_hi = sigma_bounds
    log_fs, peaks, bounds = [], [], []
    for j, mu in enumerate(grid):
        if j % 5000 == 0:
            print(f'  peaks {j}/{GRID_POINTS}', file=sys.stderr, flush=True)
        log_f = make_log_f(len(detected), squares(mu), mu, limits)
        peak = golden_peak(log_f, sigma_lo, sigma_hi)
        log_fs.append(log_f)
        peaks.append(peak)
        bounds.append(log_f(peak) + math.log(sigma_hi - sigma_lo))
    best = max(range(GRID_POINTS), key=lambda j: bounds[j])
    first = integrate_point(log_fs[best], peaks[best], sigma_lo, sigma_hi,
                            band_sigmas(grid[best], x, sigma_bounds), rule, panel_count)
    floor = first.scale + math.log(math.fsum(first.masses)) - SKIP_LOG
    points = []
    for j, mu in enumerate(grid):
        if j % 5000 == 0:
            print(f'  panels {j}/{GRID_POINTS}', file=sys.stderr, flush=True)
        if bounds[j] < floor:
            continue
        point = integrate_point(log_fs[j], peaks[j], sigma_lo, sigma_hi, band_sigmas(mu, x, sigma_bounds),
                                rule, panel_count)
        point.mu = mu
        points.append(point)
    return points


def band_probabilities(points, prior):
    top = max(p.scale for p in points)
    lsum, wsum = [mpf(0)] * 5, [mpf(0)] * 5
    for p in points:
        factor = mp.exp(mpf(p.scale - top))
        for k in range(5):
            lsum[k] += factor * p.masses[k]
            wsum[k] += factor * p.masses[k] * prior[k]
    total_l, total_w = mpmath.fsum(lsum), mpmath.fsum(wsum)
    return [v / total_l for v in lsum], [v / total_w for v in wsum]


class Weighted:
    """The weighted posterior as the estimates' sums read it."""

    def __init__(self, points, prior, rule):
        self.rule = rule
        top = max(p.scale + math.log(max(m * c for m, c in zip(p.masses, prior)) or 1e-300) for p in points)
        for p in points:
            factor = math.exp(p.scale - top)
            p.integrals = [i * factor * prior[b] for i, b in zip(p.integrals, p.bands)]
            p.values = [[v * factor * prior[b] for v in values] for values, b in zip(p.values, p.bands)]
            p.below = [0.0]
            for i in p.integrals:
                p.below.append(p.below[-1] + i)
            p.coefficients = [None] * len(p.integrals)
            p.starts = [e[0] for e in p.edges]
        largest = max(p.below[-1] for p in points)
        self.all_points = points
        self.points = [p for p in points if p.below[-1] >= ESTIMATE_SHARE * largest]
        self.total = math.fsum(p.below[-1] for p in points)

    def mass_below(self, p, sigma):
        """Weighted mass of point p with sigma' <= sigma."""
        if sigma <= 0.0:
            return 0.0
        x = math.log(sigma)
        if x <= p.edges[0][0]:
            return 0.0
        if x >= p.edges[-1][1]:
            return p.below[-1]
        i = bisect.bisect_right(p.starts, x) - 1
        lo, hi = p.edges[i]
        if p.coefficients[i] is None:
            p.coefficients[i] = [math.fsum(m * v for m, v in zip(row, p.values[i])) for row in self.rule.fit]
        c = p.coefficients[i]
        h = 0.5 * (hi - lo)
        t = (x - (lo + h)) / h
        leg = legendre_values(t, len(c))
        integral = c[0] * (t + 1.0)
        for k in range(1, len(c)):
            integral += c[k] * (leg[k + 1] - leg[k - 1]) / (2 * k + 1)
        return p.below[i] + h * integral

    def cdf(self, quantity, s, log_limit):
        total = 0.0
        parts = []
        for p in self.points:
            mu = p.mu
            if quantity == 'geometric_sd':
                part = self.mass_below(p, s)
            elif quantity == 'percentile_95':
                part = self.mass_below(p, (s - mu) / Z95)
            elif quantity == 'arithmetic_mean':
                part = self.mass_below(p, math.sqrt(2.0 * (s - mu))) if s > mu else 0.0
            else:
                d = mu - log_limit  # z = d/sigma
                if d > 0.0:
                    part = p.below[-1] - self.mass_below(p, d / s) if s > 0.0 else 0.0
                elif d < 0.0:
                    part = self.mass_below(p, d / s) if s < 0.0 else p.below[-1]
                else:
                    part = p.below[-1] if s >= 0.0 else 0.0
            parts.append(part)
        total = math.fsum(parts)
        return total / self.total

    def percentile(self, quantity, level, lo, hi, log_limit):
        """The root of cdf = level in [lo, hi] by the Illinois method."""
        f_lo, f_hi = self.cdf(quantity, lo, log_limit) - level, self.cdf(quantity, hi, log_limit) - level
        assert f_lo < 0.0 < f_hi, (quantity, level, f_lo, f_hi)
        side = 0
        for _ in range(200):
            s = (lo * f_hi - hi * f_lo) / (f_hi - f_lo)
            if not lo < s < hi:
                s = 0.5 * (lo + hi)
            f = self.cdf(quantity, s, log_limit) - level
            if f > 0.0:
                hi, f_hi = s, f
                if side == 1:
                    f_lo *= 0.5
                side = 1
            else:
                lo, f_lo = s, f
                if side == -1:
                    f_hi *= 0.5
                side = -1
            if hi - lo <= 1e-12 * max(1.0, abs(s)) or f == 0.0:
                break
        return 0.5 * (lo + hi) if f != 0.0 else s


def estimates(points, case, rule):
    weighted = Weighted(points, case['prior'], rule)
    log_limit = math.log(case['limit'])
    rows = {}
    cumulative, row = 0.0, []
    masses = [(p.mu, p.below[-1]) for p in weighted.all_points]
    for level in LEVELS:
        cumulative = 0.0
        chosen = masses[-1][0]
        for mu, m in masses:
            cumulative += m
            if cumulative >= level * weighted.total:
                chosen = mu
                break
        row.append(math.exp(chosen))
    rows['geometric_mean'] = row
    sigma_lo, sigma_hi = (math.log(b) for b in case['gsd'])
    mus = [p.mu for p in weighted.points]
    ranges = {
        'geometric_sd': (sigma_lo, sigma_hi),
        'percentile_95': (min(mus) + Z95 * sigma_lo, max(mus) + Z95 * sigma_hi),
        'arithmetic_mean': (min(mus) + 0.5 * sigma_lo ** 2, max(mus) + 0.5 * sigma_hi ** 2),
        'exceedance_percent': (-40.0, 40.0),
    }
    for quantity in QUANTITIES[1:]:
        lo, hi = ranges[quantity]
        row = []
        for level in LEVELS:
            print(f'  {quantity} {level}', file=sys.stderr, flush=True)
            s = weighted.percentile(quantity, level, lo - 1e-9 * abs(lo) - 1e-12, hi + 1e-9 * abs(hi) + 1e-12,
                                    log_limit)
            row.append(phi_percent(s) if quantity == 'exceedance_percent' else math.exp(s))
        rows[quantity] = row
    return rows


def case(name, values, below, limit, gm, gsd, prior=BAND_PRIOR, estimates=False):
    return {'name': name, 'values': values, 'below': below, 'limit': limit, 'gm': gm, 'gsd': gsd,
            'prior': prior, 'estimates': estimates}


def thirty_with_limits():
    """formula_values(30) with every third entry replaced by one of three limits (shared with the C++ test)."""
    values = formula_values(30)
    below = [False] * 30
    for i in range(3, 31, 3):
        values[i - 1] = (-0.9, -0.5, -0.2)[(i // 3) % 3]
        below[i - 1] = True
    return values, below


CASES = (
    case('c6_2', [-0.5, 0.2, -0.2, 1.1, 0.8, 0.1], [False, False, True, False, False, True], 3.0, (0.1, 10.0),
         (1.1, 6.0), estimates=True),
    case('c30_10', *thirty_with_limits(), 4.0, (0.3, 5.0), (1.1, 5.0)),
    case('all_below', [-1.0, -1.0, -2.0, -1.0, -3.0], [True] * 5, 0.5, (0.001, 10.0), (1.5, 8.0)),
    case('one_detected', [-1.2, -2.0, -2.0], [False, True, True], 0.5, (0.001, 10.0), (1.5, 8.0)),
    # Every detected value equals the first grid value 0, sigma may reach 0 and one limit lies just below:
    # the point's mass is large but finite, and its likelihood peaks near sigma = 0.001.
    case('near_infinite', [0.0, 0.0, 0.0, -0.001], [False, False, False, True], 5.0, (1.0, 2.0), (1.0, 2.0)),
    case('six', [-0.5, 0.2, 0.4, 1.1, 0.8, 0.05], [False] * 6, 3.0, (0.1, 10.0), (1.1, 6.0), estimates=True),
    case('one', [0.3], [False], 5.0, (0.5, 20.0), (1.2, 8.0), estimates=True),
)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--only', metavar='NAME', help='compute only this case')
    parser.add_argument('--fine', action='store_true', help='twice the panels and more nodes')
    args = parser.parse_args()
    mp.dps = 30
    rule = Rule(20 if args.fine else 12)
    panel_count = 32 if args.fine else 16
    cases = [c for c in CASES if args.only is None or c['name'] == args.only]
    if not cases:
        parser.error(f'no case named {args.only!r}')
    for c in cases:
        start = time.time()
        print(f"{c['name']}: n = {len(c['values'])}", file=sys.stderr, flush=True)
        points = grid_posterior(c, rule, panel_count)
        l, w = band_probabilities(points, c['prior'])
        print(' '.join([c['name']] + [exponent_form(v) for v in l + w]), flush=True)
        if c['estimates']:
            rows = estimates(points, c, rule)
            for quantity in QUANTITIES:
                print(' '.join([f"{c['name']}.{quantity}"] + [exponent_form(mpf(v)) for v in rows[quantity]]),
                      flush=True)
        print(f"{c['name']}: {len(points)} grid points, {time.time() - start:.0f} s", file=sys.stderr, flush=True)


if __name__ == '__main__':
    main()
