"""Realistic number texts for the benchmark: numbers with fractions, signs and exponents,
separated by blanks, commas, brackets and line breaks.

Every generator is deterministic for a given seed, so a run can be repeated exactly.
"""

import math
import random


def float_matrix(rows, cols=8, seed=21):
    """A whitespace-separated matrix as numerical programs save it: each column a slowly varying
    quantity written with six decimals and a sign only where negative."""
    rng = random.Random(seed)
    state = [rng.uniform(-50, 50) for _ in range(cols)]
    scale = [10 ** rng.randint(-1, 2) for _ in range(cols)]
    lines = []
    for _ in range(rows):
        cells = []
        for c in range(cols):
            state[c] += rng.gauss(0, 0.02 * scale[c])
            cells.append("%.6f" % state[c])
        lines.append(" ".join(cells))
    return "\n".join(lines) + "\n"


def json_array(records, seed=22):
    """A JSON-like array of readings, one record a line: a sample index, a voltage with three
    decimals, a current with two and a count, each line written as '[i, v, c, n],'."""
    rng = random.Random(seed)
    v = 3.3
    out = ["["]
    for i in range(records):
        v = min(3.6, max(3.0, v + rng.gauss(0, 0.004)))
        current = abs(rng.gauss(120, 15))
        count = rng.randint(0, 40) if rng.random() < 0.9 else rng.randint(0, 4000)
        out.append("[%d, %.3f, %.2f, %d]%s" % (i, v, current, count, "," if i + 1 < records else ""))
    out.append("]")
    return "\n".join(out) + "\n"


def exponent_series(rows, seed=23):
    """A time series as scientific software writes it: a time in seconds and two readings in
    exponent form with seven significant digits, tab-separated."""
    rng = random.Random(seed)
    t = 0.0
    lines = []
    for i in range(rows):
        t += 0.001
        a = 1.5e-3 * math.sin(t * 7.0) + rng.gauss(0, 2e-6)
        b = 2.2e5 * (1 + 0.1 * math.cos(t)) + rng.gauss(0, 30)
        lines.append("%.3f\t%.6e\t%.6E" % (t, a, b))
    return "\n".join(lines) + "\n"
