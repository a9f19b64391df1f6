#!/usr/bin/env bash
# Runs every example of docs/scenarios.md through lbs-sim, so that the
# document shows only what the tool accepts and prints.
#
#   tests/docs_scenarios.sh DOC WORKDIR TRACKS [EMULATOR ...] LBS-SIM
#
# Examples are of two kinds:
#  - a fenced block marked scn is a scenario; when a block marked trace
#    follows it, with only blank lines between, lbs-sim --trace (with the
#    options of the scenario's "# lbs-sim-args:" lines) must print exactly
#    that;
#  - in a paragraph or list item, every `code` span after "Example:" or
#    "Examples:" (or "More examples:") is one command, run as a scenario of
#    one line.
# Every example must exit 0. Scenarios are written to WORKDIR/scenarios,
# beside a link WORKDIR/tracks to TRACKS, so that ../tracks/FILE.gpx names a
# track as it does in sim/scenarios. Prints one line per failing example
# (with its line in DOC) and a count; exits 1 when any failed.
set -uo pipefail

if [ $# -lt 4 ]; then
  echo "usage: $0 DOC WORKDIR TRACKS [EMULATOR ...] LBS-SIM" >&2
  exit 2
fi
doc=$1 work=$2 tracks=$3
shift 3
sim=("$@")

rm -rf "$work"
mkdir -p "$work/scenarios"
ln -sfn "$tracks" "$work/tracks"

# Splits DOC into WORKDIR/scenarios/LINE.scn (and LINE.trace when a trace
# block follows) for fenced examples, and one-line LINE_N.scn files for
# inline ones. LINE is where the example starts in DOC.
awk -v out="$work/scenarios" '
  function flush_unit(   text, rest, n, span, pos) {
    text = unit; unit = ""
    pos = match(text, /(Examples?|More examples):/)
    if (pos == 0) return
    rest = substr(text, pos)
    n = 0
    while (match(rest, /`[^`]*`/)) {
      span = substr(rest, RSTART + 1, RLENGTH - 2)
      rest = substr(rest, RSTART + RLENGTH)
      n++
      file = out "/" unit_line "_" n ".scn"
      print span > file
      close(file)
    }
  }
  /^```/ {
    if (!in_fence) {
      flush_unit()
      in_fence = 1
      kind = substr($0, 4)
      if (kind == "scn") {
        last_scn = NR
        file = out "/" NR ".scn"
        printf "" > file
      } else if (kind == "trace" && last_scn && only_blank_since_scn) {
        file = out "/" last_scn ".trace"
        printf "" > file
      } else {
        file = ""
      }
      next
    }
    in_fence = 0
    if (file != "") close(file)
    only_blank_since_scn = (kind == "scn")
    next
  }
  in_fence { if (file != "") print > file; next }
  /^[ \t]*$/ { flush_unit(); next }
  { only_blank_since_scn = 0 }
  /^[ \t]*- / || /^\|/ || /^#/ { flush_unit() }
  { if (unit == "") unit_line = NR; unit = unit " " $0 }
  END { flush_unit() }
' "$doc"

failed=0
count=0
cd "$work/scenarios" || exit 2
for scn in $(ls -- *.scn | sort -t_ -k1,1n -k2,2n); do
  count=$((count + 1))
  name=${scn%.scn}
  where="$doc:${name%%_*}"
  args=(--trace)
  while IFS= read -r line; do
    # shellcheck disable=SC2206 # options are words
    args+=(${line#"# lbs-sim-args:"})
  done < <(grep '^# lbs-sim-args:' "$scn")
  "${sim[@]}" "${args[@]}" "$scn" >"$name.out" 2>"$name.err"
  rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "FAIL $where: exit status $rc: $(head -c 300 "$name.err")  [$(head -n1 "$scn")]"
    failed=$((failed + 1))
  elif [ -f "$name.trace" ] && ! cmp -s "$name.trace" "$name.out"; then
    echo "FAIL $where: the trace differs (- in the document, + printed):"
    diff -u "$name.trace" "$name.out" | tail -n +3
    failed=$((failed + 1))
  fi
done
echo "$count examples of $(basename "$doc") run, $((count - failed)) passed, $failed failed"
[ "$count" -gt 0 ] && [ "$failed" -eq 0 ]
