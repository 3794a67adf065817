"""The real-data corpus of bench/run: public files taken from Debian and npm packages, plus a
few numbers computed from their definitions, sorted into the kinds of input corvale handles.

Everything lands in bench/corpus/ (ignored by git): the downloaded packages under packages/,
the files under full/<category>/ and, for --quick, their shortened copies under quick/. A
file is fetched or built only when it is missing, so a second run starts at once. Every file
is listed with its source, licence, size and SHA-256 in MANIFEST.tsv beside them.

Packages come through their ordinary clients: `apt-get download` + `dpkg-deb -x` for Debian
(the version the machine's sources offer, recorded in the manifest) and `npm pack` for npm
(pinned versions).
"""

import csv
import gzip
import hashlib
import math
import os
import struct
import subprocess
import sys
import tarfile
import tempfile
import zipfile

import archive_bytes

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
PACKAGES = os.path.join(CORPUS, "packages")

MB = 10 ** 6
MIB = 1 << 20

# The order in which categories are run and reported.
CATEGORIES = ["integer lists", "number text", "tables", "logs", "single numbers", "block archive"]

# Quick runs cut every file after its first line break past this size, so that each still
# counts among the files of 1 MB or more, and the block archive input to a bit over the 32 MiB
# from which corvale writes a block archive.
QUICK_CUT = 1500 * 1000
QUICK_BLOCK_CUT = 33 * MIB


class Package:
    """A Debian or npm package, downloaded and unpacked once; `version` is what was fetched."""

    def __init__(self, kind, name):
        self.kind = kind
        self.name = name
        self.version = None

    def __str__(self):
        pinned = "@" in self.name[1:]  # npm names carry their version
        return "%s %s" % (self.kind, self.name) + ("" if pinned or not self.version else " " + self.version)

    def root(self):
        """The unpacked package's folder (npm tarballs keep their `package/` prefix)."""
        folder = os.path.join(PACKAGES, "%s-%s" % (self.kind, self.name.replace("/", "_").replace("@", "")))
        stamp = os.path.join(folder, ".version")
        if not os.path.exists(stamp):
            os.makedirs(folder, exist_ok=True)
            version = (self._fetch_debian if self.kind == "debian" else self._fetch_npm)(folder)
            with open(stamp, "w") as f:
                f.write(version + "\n")
        with open(stamp) as f:
            self.version = f.read().strip()
        return folder

    def _fetch_debian(self, folder):
        with tempfile.TemporaryDirectory() as tmp:
            os.chmod(tmp, 0o755)  # apt-get download drops to the _apt user where it can
            subprocess.run(["apt-get", "download", "-q", self.name], cwd=tmp, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deb = os.path.join(tmp, [n for n in os.listdir(tmp) if n.endswith(".deb")][0])
            subprocess.run(["dpkg-deb", "-x", deb, folder], check=True)
            return subprocess.run(["dpkg-deb", "-f", deb, "Version"], check=True, capture_output=True,
                                  text=True).stdout.strip()

    def _fetch_npm(self, folder):
        with tempfile.TemporaryDirectory() as tmp:
            tgz = subprocess.run(["npm", "pack", "--silent", self.name], cwd=tmp, check=True,
                                 capture_output=True, text=True).stdout.split()[-1]
            with tarfile.open(os.path.join(tmp, tgz)) as tar:
                if hasattr(tarfile, "data_filter"):
                    tar.extractall(folder, filter="data")
                else:
                    tar.extractall(folder)
        return self.name.rsplit("@", 1)[1]

    def path(self, member):
        return os.path.join(self.root(), member)


def debian(name):
    return Package("debian", name)


def npm(spec):
    return Package("npm", spec)


CP2K = debian("cp2k-data")
RTKLIB = debian("rtklib")
VEGA_1 = npm("vega-datasets@1.31.1")
VEGA_3 = npm("vega-datasets@3.2.1")
OBSERVABLE = npm("@observablehq/sample-datasets@1.0.1")
FASHION = debian("dataset-fashion-mnist")
SCIPY = debian("python3-scipy")
PY = "usr/lib/python3/dist-packages/"


# --- builders: each writes one corpus file at `dest` ------------------------------------------

def copy_of(package, member):
    def build(dest):
        with open(package.path(member), "rb") as src, open(dest, "wb") as out:
            out.write(src.read())
    build.package = package
    build.how = member
    return build


def gunzip_of(package, member):
    def build(dest):
        with gzip.open(package.path(member)) as src, open(dest, "wb") as out:
            out.write(src.read())
    build.package = package
    build.how = member + ", uncompressed"
    return build


def csv_column_of(package, member, column):
    """One column of a real table, one value a line: how a series is exported from a sheet."""
    def build(dest):
        with open(package.path(member), newline="") as src, open(dest, "w", newline="") as out:
            for row in csv.DictReader(src):
                out.write(row[column] + "\n")
    build.package = package
    build.how = "column %r of %s, one value a line" % (column, member)
    return build


def concatenation_of(package, folder):
    def build(dest):
        base = package.path(folder)
        with open(dest, "wb") as out:
            for name in sorted(os.listdir(base)):
                if os.path.isfile(os.path.join(base, name)):
                    with open(os.path.join(base, name), "rb") as src:
                        out.write(src.read())
    build.package = package
    build.how = "every file of %s, in name order, one after another" % folder
    return build


def idx_images(member):
    """The pixels and count of an IDX image file (big-endian header, then one byte a pixel)."""
    with gzip.open(FASHION.path(member)) as f:
        data = f.read()
    magic, count, rows, cols = struct.unpack(">IIII", data[:16])
    if magic != 0x803:
        sys.exit("%s is not an IDX image file" % member)
    return data[16:], count, rows * cols


def fashion_pixels(dest):
    pixels, _, _ = idx_images("usr/share/datasets/fashion-mnist/t10k-images-idx3-ubyte.gz")
    with open(dest, "w", newline="") as out:
        out.write("\n".join(map(str, pixels)))
        out.write("\n")


fashion_pixels.package = FASHION
fashion_pixels.how = "the 7,840,000 pixels (0-255) of the 10,000 test images, image after image, one a line"


def fashion_train_csv(dest):
    pixels, count, size = idx_images("usr/share/datasets/fashion-mnist/train-images-idx3-ubyte.gz")
    with gzip.open(FASHION.path("usr/share/datasets/fashion-mnist/train-labels-idx1-ubyte.gz")) as f:
        labels = f.read()[8:]
    with open(dest, "w", newline="") as out:
        out.write("label," + ",".join("pixel%d" % i for i in range(1, size + 1)) + "\n")
        for i in range(count):
            row = pixels[i * size:(i + 1) * size]
            out.write("%d,%s\n" % (labels[i], ",".join(map(str, row))))


fashion_train_csv.package = FASHION
fashion_train_csv.how = ("the 60,000 training images as CSV: a header, then one row an image, its label and "
                         "784 pixels, the form in which the dataset is commonly shared")


def ecg_samples(dest):
    """The raw ADC samples of scipy's electrocardiogram (an .npy array of uint16 in a zip)."""
    with zipfile.ZipFile(SCIPY.path(PY + "scipy/misc/ecg.dat")) as z:
        npy = z.read("ecg.npy")
    header_len = struct.unpack("<H", npy[8:10])[0]
    header = npy[10:10 + header_len].decode("latin-1")
    if "'<u2'" not in header:
        sys.exit("unexpected ecg.npy header: " + header)
    body = npy[10 + header_len:]
    values = struct.unpack("<%dH" % (len(body) // 2), body)
    with open(dest, "w", newline="") as out:
        out.write("\n".join(map(str, values)) + "\n")


ecg_samples.package = SCIPY
ecg_samples.how = ("scipy/misc/ecg.dat: the 108,000 raw 11-bit samples (360 Hz, 5 minutes) of MIT-BIH "
                   "Arrhythmia Database record 208, one a line")

PI = debian("pi")


def pi_digits(dest):
    """The first million digits of pi as one integer: the program's output without its point."""
    PI.root()  # the version for the manifest; the program itself is installed with its library
    text = subprocess.run(["pi", "1000000"], check=True, capture_output=True, text=True).stdout
    digits = text.replace(".", "").strip()
    if not digits.startswith("31415926535897932384") or not digits.isdigit():
        sys.exit("pi printed something unexpected")
    with open(dest, "w", newline="") as out:
        out.write(digits + "\n")


pi_digits.package = PI
pi_digits.how = "the output of `pi 1000000` without its decimal point"


def factorial_20000(dest):
    if hasattr(sys, "set_int_max_str_digits"):
        sys.set_int_max_str_digits(0)
    with open(dest, "w", newline="") as out:
        out.write(str(math.factorial(20000)) + "\n")


factorial_20000.package = None
factorial_20000.how = "20000! in decimal (77,338 digits), computed with Python's math.factorial"

MERSENNE_EXPONENT = 82589933


def mersenne_prime(corvale):
    """2^82589933 - 1 in decimal (24,862,048 digits), the largest known prime from 2018 to
    2024, restored by corvale from a power-form archive of a few bytes and checked against its
    digit count and last digits, which Python computes by itself."""
    def build(dest):
        seed = dest + ".seed"
        with open(seed, "wb") as f:
            f.write(archive_bytes.power_form(2, MERSENNE_EXPONENT, offset=-1, flags=archive_bytes.LINE_FEED))
        subprocess.run([corvale, "decompress", "-i", seed, "-o", dest], check=True, stdout=subprocess.DEVNULL)
        os.remove(seed)
        last = str(pow(2, MERSENNE_EXPONENT, 10 ** 30) - 1).rjust(30, "0")
        with open(dest, "rb") as f:
            f.seek(-31, os.SEEK_END)
            tail = f.read().decode()
        if os.path.getsize(dest) != 24862048 + 1 or tail != last + "\n":
            sys.exit("the restored Mersenne prime is wrong")
    build.package = None
    build.how = "2^82589933 - 1 in decimal, restored by corvale from a power-form archive and checked"
    return build


class Entry:
    def __init__(self, category, name, build, licence, quick=True):
        self.category = category
        self.name = name
        self.build = build
        self.licence = licence
        self.quick = quick

    def path(self, quick):
        return os.path.join(CORPUS, "quick" if quick else "full", self.category.replace(" ", "-"), self.name)


def entries(corvale):
    return [
        # Integer lists: series exported one value a line.
        Entry("integer lists", "flights-3m-date.txt", csv_column_of(VEGA_1, "package/data/flights-3m.csv", "date"),
              "BSD-3-Clause (vega-datasets); flight data of the U.S. Bureau of Transportation Statistics"),
        Entry("integer lists", "flights-3m-delay.txt", csv_column_of(VEGA_1, "package/data/flights-3m.csv", "delay"),
              "BSD-3-Clause (vega-datasets); flight data of the U.S. Bureau of Transportation Statistics",
              quick=False),
        Entry("integer lists", "flights-3m-distance.txt",
              csv_column_of(VEGA_1, "package/data/flights-3m.csv", "distance"),
              "BSD-3-Clause (vega-datasets); flight data of the U.S. Bureau of Transportation Statistics",
              quick=False),
        Entry("integer lists", "fashion-mnist-t10k-pixels.txt", fashion_pixels, "MIT (Fashion-MNIST, Zalando SE)"),
        Entry("integer lists", "ecg-mitbih-208.txt", ecg_samples,
              "BSD-3-Clause (scipy); the recording: MIT-BIH Arrhythmia Database on PhysioNet (ODC-By 1.0)",
              quick=False),
        Entry("integer lists", "zipcodes-zip.txt", csv_column_of(VEGA_3, "package/data/zipcodes.csv", "zip_code"),
              "BSD-3-Clause (vega-datasets); GeoNames data (CC BY 4.0)", quick=False),
        # Number text: numbers and separators only.
        Entry("number text", "dftd3.dat", copy_of(CP2K, "usr/share/cp2k/dftd3.dat"), "GPL-2+ (CP2K)"),
        Entry("number text", "t_c_g.dat", copy_of(CP2K, "usr/share/cp2k/t_c_g.dat"), "GPL-2+ (CP2K)"),
        Entry("number text", "t_sh_p_s_c.dat", copy_of(CP2K, "usr/share/cp2k/t_sh_p_s_c.dat"), "GPL-2+ (CP2K)",
              quick=False),
        Entry("number text", "rVV10_kernel_table.dat", copy_of(CP2K, "usr/share/cp2k/rVV10_kernel_table.dat"),
              "GPL-2+ (CP2K)", quick=False),
        Entry("number text", "digits.csv",
              gunzip_of(debian("python3-sklearn"), PY + "sklearn/datasets/data/digits.csv.gz"),
              "BSD-3-Clause (scikit-learn); UCI optical digits (CC BY 4.0)", quick=False),
        # Tables.
        Entry("tables", "flights-3m.csv", copy_of(VEGA_1, "package/data/flights-3m.csv"),
              "BSD-3-Clause (vega-datasets); flight data of the U.S. Bureau of Transportation Statistics"),
        Entry("tables", "diamonds.csv", copy_of(OBSERVABLE, "package/diamonds.csv"), "ISC (Observable)"),
        Entry("tables", "pizza.csv", copy_of(OBSERVABLE, "package/pizza.csv"), "ISC (Observable)", quick=False),
        Entry("tables", "olympians.csv", copy_of(OBSERVABLE, "package/olympians.csv"), "ISC (Observable)",
              quick=False),
        Entry("tables", "zipcodes.csv", copy_of(VEGA_3, "package/data/zipcodes.csv"),
              "BSD-3-Clause (vega-datasets); GeoNames data (CC BY 4.0)", quick=False),
        Entry("tables", "birdstrikes.csv", copy_of(VEGA_3, "package/data/birdstrikes.csv"),
              "BSD-3-Clause (vega-datasets); FAA wildlife strike data", quick=False),
        Entry("tables", "UnicodeData.txt", copy_of(debian("unicode-data"), "usr/share/unicode/UnicodeData.txt"),
              "Unicode License v3", quick=False),
        Entry("tables", "randhie.csv",
              copy_of(debian("python3-statsmodels"), PY + "statsmodels/datasets/randhie/randhie.csv"),
              "BSD-3-Clause (statsmodels); RAND Health Insurance Experiment data", quick=False),
        # Logs: lines of blank-separated fields with numbers.
        Entry("logs", "eopc04_IAU2000.62-now",
              copy_of(debian("python3-astropy"), PY + "astropy/utils/iers/data/eopc04_IAU2000.62-now"),
              "BSD-3-Clause (astropy); IERS EOP C04 series of the Paris Observatory"),
        Entry("logs", "TLE_20201201.txt", copy_of(RTKLIB, "usr/share/rtklib/TLE_20201201txt.txt"),
              "BSD-2-Clause (RTKLIB); two-line orbital elements as published by CelesTrak"),
        Entry("logs", "igs20P2131_wocov.snx", copy_of(RTKLIB, "usr/share/rtklib/igs20P2131_wocov.snx"),
              "BSD-2-Clause (RTKLIB); IGS weekly station solution", quick=False),
        Entry("logs", "fail2ban-samples.log",
              concatenation_of(debian("fail2ban"), PY + "fail2ban/tests/files/logs"),
              "GPL-2+ (fail2ban); server log lines collected for its tests", quick=False),
        # Single numbers.
        Entry("single numbers", "pi-1e6.txt", pi_digits, "the digits of pi; the program pi: GPL-2+"),
        Entry("single numbers", "factorial-20000.txt", factorial_20000, "a mathematical fact"),
        Entry("single numbers", "mersenne-82589933.txt", mersenne_prime(corvale), "a mathematical fact",
              quick=False),
        # One input over 100 MB, stored as a block archive.
        Entry("block archive", "fashion-mnist_train.csv", fashion_train_csv, "MIT (Fashion-MNIST, Zalando SE)"),
    ]


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    return h.hexdigest()


def cut_copy(src, dest, limit):
    """The first line of src that ends past `limit` bytes, and everything before it."""
    with open(src, "rb") as f:
        data = f.read(limit)
        rest = f.readline()
    with open(dest, "wb") as out:
        out.write(data + rest)


def prepare(corvale, quick, log=print):
    """Fetches and builds what is missing; returns [(entry, path)] in report order and
    writes the manifest."""
    chosen = [e for e in entries(corvale) if e.quick or not quick]
    ready = []
    for e in chosen:
        full = e.path(False)
        if not os.path.exists(full):
            log("building %s (%s)" % (e.name, e.category))
            os.makedirs(os.path.dirname(full), exist_ok=True)
            e.build(full + ".part")
            os.replace(full + ".part", full)
        path = full
        if quick:
            path = e.path(True)
            limit = QUICK_BLOCK_CUT if e.category == "block archive" else QUICK_CUT
            if not os.path.exists(path):
                os.makedirs(os.path.dirname(path), exist_ok=True)
                cut_copy(full, path + ".part", limit)
                os.replace(path + ".part", path)
        if e.build.package is not None:
            e.build.package.root()  # the version, for the manifest
        ready.append((e, path))
    ready.sort(key=lambda ep: CATEGORIES.index(ep[0].category))
    write_manifest(ready, quick)
    return ready


def write_manifest(ready, quick):
    path = os.path.join(CORPUS, "MANIFEST-quick.tsv" if quick else "MANIFEST.tsv")
    with open(path, "w", newline="") as f:
        w = csv.writer(f, delimiter="\t", lineterminator="\n")
        w.writerow(["category", "file", "bytes", "sha256", "source", "taken as", "licence"])
        for e, p in ready:
            source = str(e.build.package) if e.build.package else "computed"
            how = e.build.how + (" (cut after a line end for quick runs)" if quick else "")
            w.writerow([e.category, e.name, os.path.getsize(p), sha256(p), source, how, e.licence])
