"""Text logs for the benchmark, written the way servers and programs write them: a web server's
access log, traditional syslog, an application log with ISO timestamps and levels, and
telemetry lines of key=value readings.

Every generator is deterministic for a given seed, so a run can be repeated exactly.
"""

import random
import time

START = 1717200000  # 2024-06-01 00:00:00 UTC

AGENTS = [
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0.0.0 Safari/537.36",
    "Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Mobile/15E148",
    "curl/7.88.1",
    "Wget/1.21.3",
    "Googlebot/2.1 (+http://www.google.com/bot.html)",
    "python-requests/2.31.0",
]
PATHS = ["/", "/index.html", "/about", "/login", "/logout", "/favicon.ico", "/robots.txt", "/static/app.js",
         "/static/style.css", "/images/logo.png", "/api/v1/items", "/api/v1/orders", "/search"]
REFERRERS = ["-", "-", "-", "https://www.example.com/", "https://www.example.com/search?q=numbers"]


def _address(rng):
    return "%d.%d.%d.%d" % (rng.randint(1, 223), rng.randint(0, 255), rng.randint(0, 255), rng.randint(1, 254))


def _clock(rng, low, high):
    t = START
    while True:
        t += rng.randint(low, high)
        yield t


def access_log(lines, seed=41):
    """Combined log format: client, time, request, status, bytes, referrer and agent. Clients
    come back many times, requests cluster on a few paths, most answers are 200."""
    rng = random.Random(seed)
    clients = [_address(rng) for _ in range(800)]
    clock = _clock(rng, 0, 2)
    out = []
    for _ in range(lines):
        t = next(clock)
        path = rng.choice(PATHS)
        if path.startswith("/api"):
            path += "/%d" % rng.randint(1, 20000) if rng.random() < 0.6 else "?page=%d" % rng.randint(1, 40)
        elif path == "/search":
            path += "?q=item%d" % rng.randint(1, 500)
        status = rng.choices([200, 304, 301, 404, 500], [80, 10, 4, 5, 1])[0]
        size = 0 if status == 304 else int(rng.lognormvariate(8, 1.3))
        out.append('%s - - [%s] "%s %s HTTP/1.1" %d %d "%s" "%s"' % (
            rng.choice(clients[:40]) if rng.random() < 0.7 else rng.choice(clients),
            time.strftime("%d/%b/%Y:%H:%M:%S +0000", time.gmtime(t)),
            "POST" if rng.random() < 0.1 else "GET", path, status, size, rng.choice(REFERRERS),
            rng.choice(AGENTS)))
    return "\n".join(out) + "\n"


def syslog(lines, seed=42):
    """Traditional syslog: time, host, program[pid] and a message of the program's own form."""
    rng = random.Random(seed)
    clock = _clock(rng, 0, 9)
    hosts = ["web01", "web02", "db01", "cache01"]
    out = []
    for _ in range(lines):
        t = next(clock)
        head = "%s %s " % (time.strftime("%b %e %H:%M:%S", time.gmtime(t)), rng.choice(hosts))
        kind = rng.random()
        if kind < 0.3:
            msg = "sshd[%d]: Accepted publickey for deploy from 10.0.%d.%d port %d ssh2: ED25519 SHA256:%s" % (
                rng.randint(1000, 60000), rng.randint(0, 9), rng.randint(1, 254), rng.randint(30000, 65000),
                "".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789") for _ in range(43)))
        elif kind < 0.5:
            msg = "CRON[%d]: (root) CMD (command -v debian-sa1 > /dev/null && debian-sa1 1 1)" % rng.randint(1000, 60000)
        elif kind < 0.7:
            msg = "kernel: [%d.%06d] [UFW BLOCK] IN=eth0 OUT= SRC=%s DST=10.0.0.%d LEN=%d TTL=%d ID=%d PROTO=TCP SPT=%d DPT=%d" % (
                rng.randint(100000, 999999), rng.randint(0, 999999), _address(rng), rng.randint(1, 20),
                rng.choice([40, 44, 52, 60]), rng.choice([48, 64, 128, 245]), rng.randint(0, 65535),
                rng.randint(1024, 65535), rng.choice([22, 23, 80, 443, 3389, 8080]))
        elif kind < 0.9:
            msg = "systemd[1]: Started session-%d.scope - Session %d of User deploy." % ((n := rng.randint(1, 9000)), n)
        else:
            msg = "postfix/smtpd[%d]: disconnect from unknown[%s] ehlo=1 auth=0/1 commands=1/2" % (
                rng.randint(1000, 60000), _address(rng))
        out.append(head + msg)
    return "\n".join(out) + "\n"


def application_log(lines, seed=43):
    """An application log: ISO time with milliseconds, level, thread, logger and a message that
    carries counts, durations and identifiers."""
    rng = random.Random(seed)
    clock = _clock(rng, 0, 1)
    loggers = ["c.e.orders.OrderService", "c.e.http.RequestLog", "c.e.db.Pool", "c.e.cache.Evictor"]
    out = []
    for _ in range(lines):
        t = next(clock)
        level = rng.choices(["INFO", "DEBUG", "WARN", "ERROR"], [70, 20, 8, 2])[0]
        logger = rng.choice(loggers)
        if logger.endswith("OrderService"):
            msg = "order %d accepted: %d items, total %.2f EUR" % (rng.randint(100000, 999999), rng.randint(1, 12),
                                                                   rng.uniform(3, 900))
        elif logger.endswith("RequestLog"):
            msg = "GET /api/v1/items/%d 200 %d ms" % (rng.randint(1, 50000), int(rng.expovariate(1 / 40)) + 1)
        elif logger.endswith("Pool"):
            msg = "pool stats: active=%d idle=%d waiting=%d" % (rng.randint(0, 20), rng.randint(0, 20),
                                                              rng.randint(0, 3))
        else:
            msg = "evicted %d entries in %.3f s" % (rng.randint(0, 5000), rng.uniform(0, 2))
        out.append("%s.%03dZ %-5s [worker-%d] %s - %s" % (
            time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(t)), rng.randint(0, 999), level, rng.randint(1, 16),
            logger, msg))
    return "\n".join(out) + "\n"


def telemetry(lines, seed=44):
    """Sensor telemetry: epoch time, device, then readings that drift slowly."""
    rng = random.Random(seed)
    devices = {"dev%02d" % d: [20 + rng.uniform(-3, 3), 45 + rng.uniform(-10, 10), 1013.0] for d in range(12)}
    names = sorted(devices)
    t = START
    out = []
    for i in range(lines):
        t += rng.randint(0, 1)
        name = names[i % len(names)]
        state = devices[name]
        state[0] += rng.gauss(0, 0.05)
        state[1] += rng.gauss(0, 0.2)
        state[2] += rng.gauss(0, 0.1)
        out.append("%d %s temp=%.2f hum=%.1f pres=%.1f bat=%d rssi=-%d" % (
            t, name, state[0], state[1], state[2], 100 - i * 100 // lines, rng.randint(40, 90)))
    return "\n".join(out) + "\n"
