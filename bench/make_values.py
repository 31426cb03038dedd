#!/usr/bin/env python3
"""Writes a logy.txt for vantor with N values drawn from a normal distribution
(fixed seed), one per line, plus a matching in_bayes.txt in the same directory."""
import random
import sys

n = int(sys.argv[1])
directory = sys.argv[2]
rng = random.Random(n)
with open(f"{directory}/logy.txt", "w") as f:
    f.write(f"{n}\n")
    f.writelines(f"{rng.gauss(0.3, 0.7)!r}\n" for _ in range(n))
with open(f"{directory}/in_bayes.txt", "w") as f:
    f.write("5.0\n0.3 20.0\n1.1 8.0\n0.1 0.2 0.3 0.25 0.15\n")
