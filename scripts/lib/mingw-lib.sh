# Sourced by scripts/build-gmp-mingw and scripts/build-libdeflate, which build a static library
# once, from Debian's own source package (for x86_64-w64-mingw32, which has no package of
# either; libdeflate also natively, patched), into a prefix outside the source tree that CMake
# looks in. The sourcing script names its library and prefix, then:
#
#   exit_when_cached FILE...     ends the script when every FILE (under the prefix) is there
#   enter_debian_source PACKAGE [DEPS]
#                                installs the tools (scripts/install-deps DEPS), downloads and
#                                unpacks the source package, and enters it
#   begin_stage                  $stage: an empty staging prefix to install into
#   finish_stage                 moves the staging prefix into place
#
# Building into a staging prefix that moves into place at the end means an interrupted build
# never leaves something that looks cached. Tools come from scripts/install-deps; root (or
# sudo) is needed only to add a deb-src entry for Debian's suites when none exists.
#
# Usage: library=NAME prefix=DIR . scripts/lib/mingw-lib.sh

host=x86_64-w64-mingw32
lib_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
script=$(basename "$0")

say() { echo "$script: $*"; }
die() { echo "$script: $*" >&2; exit 1; }

as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    die "needs root for: $*"
  fi
}

exit_when_cached() {
  local file
  for file in "$@"; do
    [[ -f "${prefix}/${file}" ]] || return 0
  done
  say "cached in ${prefix}"
  exit 0
}

have_deb_src() {
  grep -Eqs '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
    grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}

add_deb_src() {
  # Mirror the entry for Debian's own suites, source packages instead of binaries.
  local src=/etc/apt/sources.list.d/debian.sources
  local dst=/etc/apt/sources.list.d/corvale-debian-src.sources
  if [[ -f "${src}" ]]; then
    sed -E 's/^([[:space:]]*Types:).*/\1 deb-src/' "${src}" | as_root tee "${dst}" >/dev/null
  elif grep -Eqs '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list; then
    dst=/etc/apt/sources.list.d/corvale-debian-src.list
    sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' /etc/apt/sources.list | as_root tee "${dst}" >/dev/null
  else
    die "found no Debian entry in /etc/apt to mirror as deb-src"
  fi
  say "added ${dst}"
}

work=""
stage=""
trap 'rm -rf "${work}" "${stage}"' EXIT

# enter_debian_source PACKAGE [DEPS]: the unpacked .orig tarball of Debian's source package, in a
# scratch folder removed at exit.
enter_debian_source() {
  local package=$1 deps=${2:-} tarball srcdir
  "${lib_root}/scripts/install-deps" ${deps} || die "installing the build tools failed"
  work="$(mktemp -d "${TMPDIR:-/tmp}/${package}-build.XXXXXX")"
  cd "${work}" || die "no scratch folder"
  if ! apt-get source --download-only "${package}" >/dev/null 2>&1; then
    have_deb_src || add_deb_src
    as_root apt-get update -q
    apt-get source --download-only "${package}" || die "apt-get source ${package} failed"
  fi
  tarball=$(ls "${package}"_*.orig.tar.* 2>/dev/null | head -n 1)
  [[ -n "${tarball}" ]] || die "the ${package} source package has no .orig tarball"
  say "unpacking ${tarball}"
  tar -xf "${tarball}"
  srcdir=$(find . -maxdepth 1 -mindepth 1 -type d -name "${package}*" | head -n 1)
  [[ -n "${srcdir}" ]] || die "nothing unpacked from ${tarball}"
  cd "${srcdir}" || die "cannot enter ${srcdir}"
}

begin_stage() {
  stage="${prefix}.partial.$$"
  rm -rf "${stage}"
  mkdir -p "$(dirname "${prefix}")"
}

finish_stage() {
  rm -rf "${prefix}"
  mv "${stage}" "${prefix}"
  stage=""
  say "installed in ${prefix}"
}
