#!/bin/sh
# lbs-sim's command line: --help and --version, outputs refused before
# anything runs (and nothing left behind by the check), a scenario read
# from standard input.
#
#   sh lbs_sim_cli_test.sh VERSION WORKDIR SCENARIO_DIR LBS-SIM [EMULATOR...]
set -u
version=$1 work=$2 scenarios=$3
shift 3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$work" && mkdir -p "$work" || exit 1
scn=$scenarios/device_side_without_listeners.scn

# --help: usage, every option, the verbs, on one screen of 79 columns.
"$@" --help > "$work/help" || fail "--help exit status $?"
for word in 'Usage: lbs-sim' --trace --logs --realtime --plugin --gpx-out --plot --interactive --record \
            --help --version 'host ' 'kov ' 'bap ' 'phone ' 'advance SECONDS' docs/scenarios.md; do
  grep -q -- "$word" "$work/help" || fail "--help does not mention $word"
done
[ "$(wc -l < "$work/help")" -le 50 ] || fail "--help takes more than 50 lines"
awk 'length($0) > 79 { bad = 1 } END { exit bad }' "$work/help" || fail "--help has lines over 79 columns"

out=$("$@" --version) || fail "--version exit status $?"
[ "$out" = "lbs-sim $version" ] || fail "--version printed '$out'"

# Refused with exit status 2, a message, and nothing run (no output).
refused() { # WHAT MESSAGE ARGS...
  what=$1 message=$2
  shift 2
  "$@" > "$work/out" 2> "$work/err"
  rc=$?
  [ $rc -eq 2 ] || fail "$what: exit status $rc"
  [ ! -s "$work/out" ] || fail "$what: the scenario ran"
  grep -qF -- "$message" "$work/err" || fail "$what: no '$message' in: $(cat "$work/err")"
}
refused "plot not png" "give a FILE ending in .png, not '$work/walk.jpg'" "$@" --plot "$work/walk.jpg" "$scn"
refused "gpx in a missing directory" "cannot write $work/no/walk.gpx: No such file or directory" \
  "$@" --gpx-out "$work/no/walk.gpx" "$scn"
refused "record to a directory" "cannot write $work: Is a directory" "$@" --record "$work" "$scn"
# The plot's path passed its check and is not left behind; an existing file
# is not emptied by the check.
echo kept > "$work/old.gpx"
refused "later output" "cannot write $work/no/x.scn" \
  "$@" --plot "$work/fresh.png" --gpx-out "$work/old.gpx" --record "$work/no/x.scn" "$scn"
[ ! -e "$work/fresh.png" ] || fail "the check left $work/fresh.png behind"
[ "$(cat "$work/old.gpx")" = kept ] || fail "the check emptied $work/old.gpx"
refused "console and standard input" "give the scenario as a file" "$@" --interactive -

# - is standard input: the same trace as the file gives.
(cd "$scenarios" && "$@" --trace - < "$scn" > "$work/stdin.trace") || fail "--trace - exit status $?"
cmp -s "$work/stdin.trace" "${scn%.scn}.trace" || fail "--trace - differs from the golden trace"

[ $failures -eq 0 ] && echo "lbs-sim command line: all checks passed"
exit $failures
