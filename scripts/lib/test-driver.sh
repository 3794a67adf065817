# Sourced by the Windows test drivers (scripts/test-windows, test-gui-window, test-gui-jobs):
# one way to count and report checks, one Windows build folder, a throw-away Wine prefix, Xvfb,
# the window's process and probe, and the Windows form of a path. Sets $root (the source tree)
# and $driver (the sourcing script's name); changes no shell option.
#
# Build folder: the first argument of the driver, else $CORVALE_WINDOWS_BUILD, else
# build/windows (the "windows" preset's folder); its build log is the folder's name + ".log".

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
driver=$(basename "$0")

# --- counting ------------------------------------------------------------------------------
passed=0
failed=0
# pass [NAME]: a check that held; printed when named.
pass() {
  passed=$((passed + 1))
  [ -z "${1:-}" ] || echo "ok   $1"
}
# fail NAME: a check that did not hold.
fail() {
  failed=$((failed + 1))
  echo "FAIL $1"
}
# check NAME EXPECTED ACTUAL
check() {
  if [ "$2" = "$3" ]; then
    pass "$1"
  else
    fail "$1"
    printf '     expected: %s\n     actual:   %s\n' "$2" "$3"
  fi
}
# check_true NAME COMMAND...
check_true() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
# Prints "N passed, N failed" and ends the driver: status 0 when nothing failed.
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit $?
}
# within SECONDS COMMAND...: whether COMMAND succeeds within that time, tried every 0.1 s
within() {
  local tries=$(($1 * 10))
  shift
  while ! "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}
# A driver that cannot go on at all (status 2).
die() {
  echo "$driver: $*" >&2
  exit 2
}

# --- build ---------------------------------------------------------------------------------
# windows_build_dir [DIR]: sets $build.
windows_build_dir() {
  build=$(realpath -m "${1:-${CORVALE_WINDOWS_BUILD:-$root/build/windows}}")
}

# build_windows TARGET...: the tools, the MinGW libraries the engine needs (each built once and
# cached by its own script), then the targets in $build; the log goes to $build.log and its end
# is shown on failure.
build_windows() {
  echo "building $* in $build"
  mkdir -p "$(dirname "$build")"
  local script
  if ! "$root/scripts/install-deps" >"$build.log" 2>&1; then
    tail -30 "$build.log"
    return 1
  fi
  for script in "$root"/scripts/build-*-mingw; do
    [ -x "$script" ] || continue
    if ! "$script" >>"$build.log" 2>&1; then
      tail -30 "$build.log"
      return 1
    fi
  done
  if ! cmake --preset windows -S "$root" -B "$build" >>"$build.log" 2>&1 ||
     ! cmake --build "$build" --target "$@" >>"$build.log" 2>&1; then
    tail -30 "$build.log"
    return 1
  fi
}

# build_stand_in SOURCE EXE: a program that stands in for another in the tests, built for
# Windows from its one source file.
build_stand_in() {
  mkdir -p "$(dirname "$2")"
  x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static -municode -o "$2" "$1" >>"$build.log" 2>&1
}

# --- Wine and Xvfb -------------------------------------------------------------------------
# A scratch folder, removed at exit, that holds the Wine prefix and whatever the driver puts
# there.
tmp=$(mktemp -d "${TMPDIR:-/tmp}/corvale-$driver.XXXXXX")
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=""
gui_pid=""
cleanup() {
  [ -n "$gui_pid" ] && kill "$gui_pid" 2>/dev/null
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null  # the server of this prefix only
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# start_wine: prepares the prefix (after start_xvfb when the driver shows windows).
start_wine() { wineboot -i >/dev/null 2>&1; }

# start_xvfb: a virtual display on a free number, in $DISPLAY; fails when none starts.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
  [ -s "$tmp/display" ] || return 1
  export DISPLAY=":$(head -1 "$tmp/display")"
}

# winpath PATH: the Windows form of a path of this machine (Wine's drive Z: is the root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The English locale to start the window in, and whether the Russian one exists (Wine's user
# interface language follows LANG only when that locale exists).
english_locale=C.UTF-8
locale -a 2>/dev/null | grep -qix 'en_US.utf8' && english_locale=en_US.UTF-8
have_ru_locale() { locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; }

# --- the window ----------------------------------------------------------------------------
# The probe program, $probe, reads the window back; see corvale-gui/tests/probe.
probe=""
probe_timeout=90
# run_probe ARGS...: the probe's output, at most $probe_timeout seconds
run_probe() { timeout "$probe_timeout" wine "$probe" "$@" 2>/dev/null | tr -d '\r'; }
# field KEY OUTPUT: the value of KEY=... in a probe's output
field() { sed -n "s/^$1=//p" <<<"$2"; }
# await KEY=TEXT: waits until the window shows TEXT in KEY and sets state to what it shows;
# says what the probe saw when that never happens
await() {
  if ! state=$(run_probe wait-state "$1"); then
    echo "     (waited for $1; the probe saw: $(tr '\n' ' ' <<<"$state"))"
  fi
}

# start_window PROGRAM ARG...: starts the window in the background as $gui_pid.
start_window() {
  wine "$@" >"$tmp/gui.log" 2>&1 &
  gui_pid=$!
}
# wait_gui_exit SECONDS: waits for the window's process; sets exit_status to its exit status,
# or "timeout" (then the process is killed)
wait_gui_exit() {
  exit_status=timeout
  for _ in $(seq $(($1 * 10))); do
    if ! kill -0 "$gui_pid" 2>/dev/null; then
      wait "$gui_pid"
      exit_status=$?
      break
    fi
    sleep 0.1
  done
  [ "$exit_status" = timeout ] && kill "$gui_pid" 2>/dev/null
  gui_pid=""
}
gui_alive() { kill -0 "$gui_pid" 2>/dev/null; }
