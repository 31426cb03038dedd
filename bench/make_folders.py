#!/usr/bin/env python3
"""Writes COUNT folders f0000, f0001, ... under DIRECTORY, each with a y.txt of
3 to 30 lognormal measurements in one to three groups (fixed seed) and an
in_bayes.txt, as a batch for bandreport."""
import os
import random
import sys

count = int(sys.argv[1])
directory = sys.argv[2]
rng = random.Random(2024)
settings = "5.0\n0.3 20.0\n1.1 8.0\n0.1 0.2 0.3 0.25 0.15\n"
for f in range(count):
    folder = os.path.join(directory, f"f{f:04d}")
    os.makedirs(folder, exist_ok=True)
    values = rng.randint(3, 30)
    groups = rng.randint(1, 3)
    rows = -(-values // groups)
    cells = [f"{rng.lognormvariate(0.3, 0.7):.4f}" for _ in range(values)]
    cells += ["-1"] * (rows * groups - values)  # missing entries fill the last row
    with open(os.path.join(folder, "y.txt"), "w") as out:
        out.write(f"{groups}\n{rows}\n")
        for r in range(rows):
            out.write(" ".join(cells[r * groups:(r + 1) * groups]) + "\n")
    with open(os.path.join(folder, "in_bayes.txt"), "w") as out:
        out.write(settings)
