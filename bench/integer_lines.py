"""Realistic integer-line texts for the sample file and the benchmark.

Every generator is deterministic for a given seed, so a run can be repeated exactly.
"""

import math
import random


def sensor_readings(lines, seed=1, sensors=1):
    """Temperatures in hundredths of a degree, one reading a minute: a daily swing, a slow
    weather drift, sensor noise, and now and then a dropout written as -0 or a spike."""
    rng = random.Random(seed)
    out = []
    drift = [0.0] * sensors
    for i in range(lines):
        s = i % sensors
        minute = i // sensors
        drift[s] += rng.uniform(-4.0, 4.0)
        drift[s] *= 0.999
        day = math.sin(2 * math.pi * (minute % 1440) / 1440.0 - math.pi / 2)
        value = int(round(1850 + 450 * day + drift[s] + 60 * s + rng.gauss(0, 6)))
        r = rng.random()
        if r < 0.0005:
            out.append("-0")
        elif r < 0.001:
            out.append(str(value + rng.choice((-1, 1)) * rng.randint(2000, 9000)))
        else:
            out.append(str(value))
    return "\n".join(out) + "\n"


def timestamps(lines, seed=2):
    """Event times in milliseconds since the epoch: mostly about a second apart, with jitter and
    the occasional pause."""
    rng = random.Random(seed)
    t = 1767225600000
    out = []
    for _ in range(lines):
        t += 1000 + rng.randint(-15, 15) if rng.random() > 0.01 else rng.randint(2000, 600000)
        out.append(str(t))
    return "\n".join(out) + "\n"


def counters(lines, seed=3):
    """A network interface's byte counter sampled every 10 s: bursts of traffic over a quiet
    baseline, wrapping at 2^32 as such counters do."""
    rng = random.Random(seed)
    c = 3141592653
    busy = False
    out = []
    for _ in range(lines):
        if rng.random() < 0.02:
            busy = not busy
        c = (c + (rng.randint(200000, 2000000) if busy else rng.randint(500, 5000))) % (1 << 32)
        out.append(str(c))
    return "\n".join(out) + "\n"


def accelerations(lines, seed=4):
    """A vibration sensor's signed samples in milli-g, CR LF line endings as a Windows logger
    writes them."""
    rng = random.Random(seed)
    out = []
    phase = 0.0
    for _ in range(lines):
        phase += 0.37
        out.append(str(int(round(800 * math.sin(phase) + 120 * math.sin(phase * 7.1) + rng.gauss(0, 25)))))
    return "\r\n".join(out) + "\r\n"
