"""The benchmark runner shared by the bench/run-* scripts: each script names its generated
inputs, and this module compresses and restores them with corvale and, in the same run, gzip -9,
xz -9e and zstd -19, and prints a table: archive size, ratio, compress and decompress speed
(MB = 10^6 bytes, wall clock, one thread each) and peak memory (maximum resident set size).

The corvale program is taken from --corvale, else $CORVALE, else the newest build under build/
of this repository. Missing tools (gzip, xz-utils, zstd, time) are installed with apt-get.
"""

import argparse
import collections
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


def shown_path(path):
    """path as a saved report shows it: within this repository relative to its root, elsewhere
    by its last part only, so that a report committed from any machine names none of its folders."""
    path = os.path.abspath(path)
    if os.path.commonpath([path, ROOT]) == ROOT:
        return os.path.relpath(path, ROOT)
    return os.path.basename(path)


Measure = collections.namedtuple("Measure", "seconds cpu rss")
Measure.__doc__ = """One run: wall-clock seconds, CPU seconds (user and system: on a shared
machine the wall clock also counts the time other programs held the core) and peak resident
memory in KiB."""


Run = collections.namedtuple("Run", "returncode err measure")
Run.__doc__ = """One run that may fail: its exit status, what it wrote to standard error (without
the report of /usr/bin/time) and its Measure."""


def run_measured(argv, stdin_path=None, stdout_path=None):
    """Runs argv under /usr/bin/time -v; returns its Run, whether it failed or not."""
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

    def field(label):
        return float(re.search(re.escape(label) + r": ([0-9.]+)", err).group(1))

    cpu = field("User time (seconds)") + field("System time (seconds)")
    # time reports after all the program wrote, opening with how a failed run ended.
    own = err[:err.rfind("\tCommand being timed:")]
    own = re.sub(r"Command (exited with non-zero status|terminated by signal) \d+\n$", "", own)
    return Run(r.returncode, own, Measure(seconds, cpu, int(field("Maximum resident set size (kbytes)"))))


def measured(argv, stdin_path=None, stdout_path=None):
    """Runs argv under /usr/bin/time -v and stops the benchmark when it fails; returns its Measure."""
    run = run_measured(argv, stdin_path, stdout_path)
    if run.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (run.returncode, " ".join(argv), run.err))
    return run.measure


def stream_tool(compress_argv, decompress_argv):
    """A compressor that reads standard input and writes standard output, as (compress,
    decompress), each taking (source path, destination path) and returning a Measure."""
    return (lambda src, dest: measured(compress_argv, src, dest),
            lambda src, dest: measured(decompress_argv, src, dest))


def corvale_tool(corvale, extra=()):
    return (lambda src, dest: measured([corvale, "compress", "-i", src, "-o", dest] + list(extra)),
            lambda src, dest: measured([corvale, "decompress", "-i", src, "-o", dest] + list(extra)))


GZIP_9 = ("gzip -9", stream_tool(["gzip", "-9", "-c"], ["gzip", "-d", "-c"]))
XZ_9E = ("xz -9e", stream_tool(["xz", "-9e", "-T1", "-c"], ["xz", "-d", "-T1", "-c"]))
ZSTD_19 = ("zstd -19", stream_tool(["zstd", "-19", "-T1", "-q", "-c"], ["zstd", "-d", "-q", "-c"]))


def tools(corvale):
    return [("corvale", corvale_tool(corvale)), GZIP_9, XZ_9E, ZSTD_19]


def install_missing_tools(more=None):
    """Installs with apt-get the Debian packages of the programs that are missing; `more`
    maps further programs to their packages."""
    wanted = {"gzip": "gzip", "xz": "xz-utils", "zstd": "zstd", TIME: "time"}
    wanted.update(more or {})
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


def main(description, datasets, tools=tools, quick_help="inputs a tenth of the size", in_seconds=False):
    """Runs every tool of tools(corvale) on every (name, make) of datasets(quick, corvale), where
    make() returns the input's bytes or text, and prints the table: speeds in MB/s, or with
    in_seconds the seconds each run took (for inputs too small for a speed to mean much)."""
    ap = argparse.ArgumentParser(description=description)
    ap.add_argument("--corvale")
    ap.add_argument("--keep", help="generate the inputs into DIR and keep them")
    ap.add_argument("--quick", action="store_true", help=quick_help)
    args = ap.parse_args()
    install_missing_tools()
    corvale = find_corvale(args.corvale)

    work = args.keep or tempfile.mkdtemp(prefix="corvale-bench-")
    os.makedirs(work, exist_ok=True)
    try:
        print("corvale: %s" % corvale)
        if in_seconds:
            print("%-22s %-9s %11s %11s %9s %9s %9s %9s" % (
                "file", "tool", "input", "archive", "comp s", "dec s", "comp MiB", "dec MiB"))
        else:
            print("%-15s %-9s %11s %11s %8s %9s %9s %9s %9s" % (
                "file", "tool", "input", "archive", "ratio", "comp MB/s", "dec MB/s", "comp MiB", "dec MiB"))
        for name, make in datasets(args.quick, corvale):
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
                c = compress(src, arc)
                d = decompress(arc, out)
                if not same_file(src, out):
                    sys.exit("%s did not restore %s" % (tool, name))
                packed = os.path.getsize(arc)
                if in_seconds:
                    print("%-22s %-9s %11d %11d %9.3f %9.3f %9.1f %9.1f" % (
                        name, tool, size, packed, c.seconds, d.seconds, c.rss / 1024, d.rss / 1024))
                else:
                    print("%-15s %-9s %11d %11d %8.2f %9.1f %9.1f %9.1f %9.1f" % (
                        name, tool, size, packed, size / packed, size / 1e6 / c.seconds, size / 1e6 / d.seconds,
                        c.rss / 1024, d.rss / 1024))
                os.remove(arc)
                os.remove(out)
            sys.stdout.flush()
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)

