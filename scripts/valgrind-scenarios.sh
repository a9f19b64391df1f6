#!/usr/bin/env bash
# Runs lbs-sim under valgrind's memcheck over every golden scenario, the
# unreadable ones and the demo, then the first link's unit tests (ctest label
# kov), all from a native build without sanitizers.
#
#   scripts/valgrind-scenarios.sh [BUILD_DIR]      (default: build)
#
# A run passes when memcheck reports no error, 0 bytes definitely lost and 0
# bytes indirectly lost, and the program did exactly what it does without
# valgrind:
#   golden scenario   exit 0, standard output equal to NAME.trace
#                     (run from tests/scenarios with --trace and the options of
#                     its "# lbs-sim-args:" line, as ctest runs it)
#   unreadable        exit 2, nothing on standard output, standard error equal
#                     to NAME.err
#   demo              exit 0, output equal to that of a run without valgrind
#                     (lbs-sim --logs sim/scenarios/default.scn)
#   unit test         exit 0
# Memory that GLib keeps for the life of the process is suppressed by
# scripts/valgrind.supp; nothing of ours is. Each line also shows, for
# information, the bytes possibly lost and those still reachable at exit
# once GLib's are set aside: what the plugin, the simulator and the loader
# still hold when a scenario ends with the link up.
#
# One line per run, then a summary with the wall time; exit status 1 when any
# run failed, 2 when the build or valgrind is missing. Everything valgrind and
# the programs printed is kept in BUILD_DIR/valgrind/.
#
# Environment: VG_JOBS (default 2) runs in parallel; VG_EXTRA more valgrind
# options, e.g. VG_EXTRA=--track-origins=yes to find where an uninitialised
# value came from.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
self=$root/scripts/$(basename "${BASH_SOURCE[0]}")

# ---- one run (the script calls itself through xargs) -----------------------

check_vg_log() {
  # Sets vg_summary and returns 1 when the log shows an error or a definite or
  # indirect leak. Possibly lost and still reachable (what is left once GLib's
  # own lifetime data is suppressed) are shown for information.
  local log=$1 errors definite indirect possible reachable
  field() { sed -n "s/.*$1: \([0-9,]*\) bytes.*/\1/p" "$log" | tail -n1 | tr -d ,; }
  errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9,]*\) errors.*/\1/p' "$log" | tail -n1 | tr -d ,)
  if [ -z "$errors" ]; then
    vg_summary="no memcheck summary (valgrind did not finish)"
    return 1
  fi
  # "All heap blocks were freed" replaces the leak summary when nothing is left.
  definite=$(field "definitely lost") indirect=$(field "indirectly lost")
  possible=$(field "possibly lost") reachable=$(field "still reachable")
  vg_summary="errors $errors, definitely ${definite:-0} B, indirectly ${indirect:-0} B"
  vg_summary+=" (possibly ${possible:-0} B, reachable ${reachable:-0} B)"
  [ "$errors" = 0 ] && [ "${definite:-0}" = 0 ] && [ "${indirect:-0}" = 0 ]
}

# Appends to problems whether a differing output also differs without
# valgrind, which tells a stale golden file from a run valgrind changed.
same_without_valgrind() {
  local actual=$1 native=$2
  if cmp -s "$actual" "$native"; then
    problems+=("the same without valgrind")
  else
    problems+=("valgrind changed the output ($native)")
  fi
}

run_one() {
  local kind=$1 name=$2
  local out=$LBS_VG_OUT/${kind}_$name
  local sim=$LBS_VG_BUILD/bin/lbs-sim
  # shellcheck disable=SC2054 # the commas belong to the options
  local -a vg=(valgrind --tool=memcheck --leak-check=full
    --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect,possible
    --error-exitcode=97 --num-callers=40 --suppressions="$root/scripts/valgrind.supp"
    --log-file="$out.vg")
  # shellcheck disable=SC2206 # options are words
  vg+=(${VG_EXTRA:-})
  local -a args=()
  local start rc=0 want_rc=0 problems=() vg_summary=""
  start=$EPOCHREALTIME

  case $kind in
    scenario)
      args=(--trace)
      local line extra
      set -f
      while IFS= read -r line; do
        extra=${line#"# lbs-sim-args:"}
        # shellcheck disable=SC2206 # split like cmake's separate_arguments
        args+=($extra)
      done < <(grep '^# lbs-sim-args:' "$root/tests/scenarios/$name.scn" || true)
      set +f
      (cd "$root/tests/scenarios" && "${vg[@]}" "$sim" "${args[@]}" "$name.scn") >"$out.out" 2>"$out.err" || rc=$?
      local golden="$root/tests/scenarios/$name.trace"
      # A scenario that needs root cannot print its golden trace elsewhere;
      # the run without valgrind stands in for it.
      if [ "$(id -u)" != 0 ] && grep -q '^# lbs-sim-requires: root$' "$root/tests/scenarios/$name.scn"; then
        golden="$out.native"
        (cd "$root/tests/scenarios" && "$sim" "${args[@]}" "$name.scn") >"$golden" 2>/dev/null || true
      fi
      if ! cmp -s "$out.out" "$golden"; then
        diff -u "$golden" "$out.out" >"$out.diff" || true
        problems+=("trace differs from $(basename "$golden") ($out.diff)")
        (cd "$root/tests/scenarios" && "$sim" "${args[@]}" "$name.scn") >"$out.native" 2>/dev/null || true
        same_without_valgrind "$out.out" "$out.native"
      fi
      ;;
    unreadable)
      want_rc=2
      (cd "$root/tests/scenarios" && "${vg[@]}" "$sim" --trace "unreadable/$name.scn") >"$out.out" 2>"$out.err" || rc=$?
      [ -s "$out.out" ] && problems+=("printed on standard output ($out.out)")
      if ! cmp -s "$out.err" "$root/tests/scenarios/unreadable/$name.err"; then
        diff -u "$root/tests/scenarios/unreadable/$name.err" "$out.err" >"$out.diff" || true
        problems+=("message differs from $name.err ($out.diff)")
        (cd "$root/tests/scenarios" && "$sim" --trace "unreadable/$name.scn") >/dev/null 2>"$out.native" || true
        same_without_valgrind "$out.err" "$out.native"
      fi
      ;;
    demo)
      local native_rc=0
      "$sim" --logs "$root/sim/scenarios/default.scn" >"$out.native" 2>&1 || native_rc=$?
      [ "$native_rc" = 0 ] || problems+=("exit status $native_rc without valgrind")
      "${vg[@]}" "$sim" --logs "$root/sim/scenarios/default.scn" >"$out.out" 2>&1 || rc=$?
      if ! cmp -s "$out.out" "$out.native"; then
        diff -u "$out.native" "$out.out" >"$out.diff" || true
        problems+=("output differs from the run without valgrind ($out.diff)")
      fi
      ;;
    unit)
      local exe
      exe=$(grep -F "/$name" "$LBS_VG_OUT/unit-tests" | head -n1)
      (cd "$LBS_VG_BUILD/tests" && "${vg[@]}" "$exe") >"$out.out" 2>&1 || rc=$?
      ;;
    *)
      echo "valgrind-scenarios: unknown kind $kind" >&2
      return 2
      ;;
  esac

  if [ "$rc" = 97 ]; then
    problems+=("memcheck found problems")
  elif [ "$rc" != "$want_rc" ]; then
    problems+=("exit status $rc, expected $want_rc")
  fi
  check_vg_log "$out.vg" || problems+=("see $out.vg")

  local secs result
  secs=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
  if [ ${#problems[@]} -eq 0 ]; then
    result=PASS
  else
    result=FAIL
  fi
  local detail="$vg_summary"
  local p
  for p in "${problems[@]}"; do detail+="; $p"; done
  printf '%s %-10s %-48s %5ss  %s\n' "$result" "$kind" "$name" "$secs" "$detail" | tee "$out.result"
  # A failing unit test shows what failed, so that a CI log alone tells.
  if [ "$result" = FAIL ] && [ "$kind" = unit ] && [ -f "$out.out" ]; then
    grep -E -A8 '^\[  FAILED  \]|Failure$' "$out.out" | head -n 40 | sed 's/^/    /' || true
  fi
}

if [ "${1:-}" = "--one" ]; then
  shift
  run_one "$@"
  exit 0 # the verdict is in the result file; xargs must go on
fi

# ---- the whole run ---------------------------------------------------------

build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
jobs=${VG_JOBS:-2}

if ! command -v valgrind >/dev/null; then
  echo "valgrind-scenarios: valgrind is not installed (scripts/install-deps.sh installs it)" >&2
  exit 2
fi
if [ ! -x "$build/bin/lbs-sim" ]; then
  echo "valgrind-scenarios: $build/bin/lbs-sim is missing; build the native configuration first" >&2
  exit 2
fi
if grep -q '^LBS_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  echo "valgrind-scenarios: $build is a sanitizer build; memcheck needs a plain one" >&2
  exit 2
fi

out=$build/valgrind
rm -rf "$out"
mkdir -p "$out"
: >"$out/unit-runs"
export LBS_VG_BUILD=$build LBS_VG_OUT=$out
# GLib's slice allocator hides blocks from memcheck; plain malloc shows them.
export G_SLICE=always-malloc G_DEBUG=gc-friendly

# The unit tests of label kov, as ctest knows them.
ctest --test-dir "$build" -N -V -L kov 2>/dev/null |
  sed -n 's/^[0-9]*: Test command: //p' >"$out/unit-tests" || true

: >"$out/serial-runs"
{
  for scn in "$root"/tests/scenarios/*.scn; do
    # Those that take the file directory away run alone, after the others.
    if grep -q '^filedir ' "$scn"; then
      echo "scenario $(basename "$scn" .scn)" >>"$out/serial-runs"
    else
      echo "scenario $(basename "$scn" .scn)"
    fi
  done
  for scn in "$root"/tests/scenarios/unreadable/*.scn; do
    [ -e "$scn" ] && echo "unreadable $(basename "$scn" .scn)"
  done
  echo "demo default"
} >"$out/runs"
missing=0
while read -r exe; do
  if [ ! -x "$exe" ]; then
    echo "FAIL unit       $(basename "$exe")  not built ($exe)"
    missing=$((missing + 1))
  else
    echo "unit $(basename "$exe")" >>"$out/unit-runs"
  fi
done <"$out/unit-tests"

start=$EPOCHREALTIME
echo "valgrind-scenarios: $(( $(wc -l <"$out/runs") + $(wc -l <"$out/serial-runs") )) simulator runs, $jobs at a time ($(wc -l <"$out/serial-runs") alone), build $build"
# Each run prints its own verdict line; the count below is taken from them.
xargs -P "$jobs" -L 1 "$self" --one <"$out/runs" || true
xargs -P 1 -L 1 "$self" --one <"$out/serial-runs" || true
# The unit tests share the build tree's file directory with the scenarios
# that transfer files and with each other (ctest keeps them apart with a
# resource lock), so they run once the scenarios are done, one at a time.
if [ -s "$out/unit-runs" ]; then
  echo "valgrind-scenarios: $(wc -l <"$out/unit-runs") unit test programs (label kov), one at a time"
  xargs -P 1 -L 1 "$self" --one <"$out/unit-runs" || true
fi
elapsed=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", b - a }')

# A run that printed no verdict (killed, say) counts as failed, as does a
# unit test program that was not built.
expected=$(( $(wc -l <"$out/runs") + $(wc -l <"$out/serial-runs") + $(wc -l <"$out/unit-runs") + missing ))
passed=$(cat "$out"/*.result 2>/dev/null | grep -c '^PASS' || true)
failed=$((expected - passed))
echo
echo "valgrind-scenarios: $expected runs, $passed passed, $failed failed, ${elapsed}s wall time ($jobs in parallel); logs in $out"
[ "$failed" -eq 0 ]
