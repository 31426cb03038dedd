#!/usr/bin/env python3
"""Writes a measurement table for cardel: GROUPS groups x ROWS rows, about 10 %
missing entries (-1), lognormal values, from a fixed seed."""
import math
import random
import sys

groups = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
rng = random.Random(20261208)
out = [f"{groups}\n", f"{rows}\n"]
for _ in range(rows):
    out.append(" ".join("-1" if rng.random() < 0.1 else f"{math.exp(rng.gauss(0.5, 0.8)):.6g}"
                        for _ in range(groups)) + "\n")
sys.stdout.write("".join(out))
