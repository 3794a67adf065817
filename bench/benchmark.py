"""The benchmark runner shared by the bench/run-* scripts: each script names its generated
inputs, and this module compresses and restores them with corvale and, in the same run, gzip -9,
xz -9e and zstd -19, and prints a table: archive size, ratio, compress and decompress speed
(MB = 10^6 bytes, wall clock, one thread each) and peak memory (maximum resident set size).

The corvale program is taken from --corvale, else $CORVALE, else the newest build under build/
of this repository. Missing tools (gzip, xz-utils, zstd, time) are installed with apt-get.
"""

import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TIME = "/usr/bin/time"


def find_corvale(explicit):
    if explicit:
        return os.path.abspath(explicit)
    if os.environ.get("CORVALE"):
        return os.path.abspath(os.environ["CORVALE"])
    found = [p for p in glob.glob(os.path.join(ROOT, "build", "**", "corvale"), recursive=True)
             if os.path.isfile(p) and os.access(p, os.X_OK)]
    if not found:
        sys.exit("corvale not found: build it first, or pass --corvale PATH")
    return max(found, key=os.path.getmtime)


def measured(argv, stdin_path=None, stdout_path=None):
    """Runs argv under /usr/bin/time -v; returns (seconds, peak RSS in KiB)."""
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    stdout = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    try:
        start = time.perf_counter()
        r = subprocess.run([TIME, "-v"] + argv, stdin=stdin, stdout=stdout, stderr=subprocess.PIPE)
        seconds = time.perf_counter() - start
    finally:
        if stdin_path:
            stdin.close()
        if stdout_path:
            stdout.close()
    err = r.stderr.decode(errors="replace")
    if r.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (r.returncode, " ".join(argv), err))
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", err).group(1))
    return seconds, rss


def tools(corvale):
    def stream(cmd, dcmd):
        return (lambda src, arc: measured(cmd, src, arc), lambda arc, out: measured(dcmd, arc, out))

    return [
        ("corvale", (lambda src, arc: measured([corvale, "compress", "-i", src, "-o", arc]),
                     lambda arc, out: measured([corvale, "decompress", "-i", arc, "-o", out]))),
        ("gzip -9", stream(["gzip", "-9", "-c"], ["gzip", "-d", "-c"])),
        ("xz -9e", stream(["xz", "-9e", "-T1", "-c"], ["xz", "-d", "-T1", "-c"])),
        ("zstd -19", stream(["zstd", "-19", "-T1", "-q", "-c"], ["zstd", "-d", "-q", "-c"])),
    ]


def install_missing_tools():
    wanted = {"gzip": "gzip", "xz": "xz-utils", "zstd": "zstd", TIME: "time"}
    missing = sorted(pkg for prog, pkg in wanted.items() if not shutil.which(prog))
    if not missing:
        return
    print("Installing: " + " ".join(missing))
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "install", "-y", "-q", "--no-install-recommends"] + missing,
                   check=True, env=env)


def same_file(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            x, y = fa.read(1 << 20), fb.read(1 << 20)
            if x != y:
                return False
            if not x:
                return True


def main(description, datasets):
    """Runs every tool on every (name, make) of datasets(quick) and prints the table."""
    ap = argparse.ArgumentParser(description=description)
    ap.add_argument("--corvale")
    ap.add_argument("--keep", help="generate the inputs into DIR and keep them")
    ap.add_argument("--quick", action="store_true", help="inputs a tenth of the size")
    args = ap.parse_args()
    install_missing_tools()
    corvale = find_corvale(args.corvale)

    work = args.keep or tempfile.mkdtemp(prefix="corvale-bench-")
    os.makedirs(work, exist_ok=True)
    try:
        print("corvale: %s" % corvale)
        print("%-15s %-9s %11s %11s %8s %9s %9s %9s %9s" % (
            "file", "tool", "input", "archive", "ratio", "comp MB/s", "dec MB/s", "comp MiB", "dec MiB"))
        for name, make in datasets(args.quick):
            src = os.path.join(work, name)
            if not os.path.exists(src):
                data = make()
                with open(src, "wb") if isinstance(data, bytes) else open(src, "w", newline="") as f:
                    f.write(data)
            size = os.path.getsize(src)
            for tool, (compress, decompress) in tools(corvale):
                arc = src + ".arc"
                out = src + ".restored"
                for p in (arc, out):
                    if os.path.exists(p):
                        os.remove(p)
                c_sec, c_rss = compress(src, arc)
                d_sec, d_rss = decompress(arc, out)
                if not same_file(src, out):
                    sys.exit("%s did not restore %s" % (tool, name))
                packed = os.path.getsize(arc)
                print("%-15s %-9s %11d %11d %8.2f %9.1f %9.1f %9.1f %9.1f" % (
                    name, tool, size, packed, size / packed, size / 1e6 / c_sec, size / 1e6 / d_sec,
                    c_rss / 1024, d_rss / 1024))
                os.remove(arc)
                os.remove(out)
            sys.stdout.flush()
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)

