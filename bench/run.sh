#!/usr/bin/env bash
# Judges the plugin's performance budgets and prints them as one Markdown
# table, ready for the README:
#
#   bench/run.sh [BUILD_DIR]      (default: build-bench)
#
# BUILD_DIR is a native build configured with -DLBS_BUILD_BENCH=ON and its
# benchmark programs built (lbs_bench_count, lbs_bench_checks). Speed is
# judged on instruction counts from callgrind, which stay the same on a busy
# machine where wall times do not; each measured loop is counted alone, after
# a warm-up, with collection switched on around it by the program itself.
# Budgets:
#   position reply, on_data_ind to the host callback   <= 2.2x one parse (stretch 1.3x, reported only)
#   150-position batch reply, the same                  <= 2.2x one parse (stretch 1.3x, reported only)
#   every request rendering                              <= 1.5x g_strdup_printf of the same template and values
#   heap over 10,000 replies                             allocations - releases = 0
#   after a finished tracking session                    no alarm armed, no GLib source ready
#   stripped armhf plugin                                <= 128 KiB (skipped without build-armhf/)
# "One parse" is json_parser_new + json_parser_load_from_data + g_object_unref
# of the same text. The log stand-in's own work (__dlog_print, which keeps
# every line in memory) is left out of every count: it is not the device's
# log. LBS_BENCH_COUNT_LOG=1 counts it too.
#
# Exit status: 0 every budget kept, 1 a budget broken or a measurement that
# went wrong, 2 something to measure with is missing.
#
# Environment: LBS_ARMHF_BUILD (default build-armhf) is the armhf build whose
# lib/libZUV-lbs-plugin-consumer.so.0 is weighed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arg=${1:-build-bench}
build=$arg
case $build in /*) ;; *) build=$root/$build ;; esac
armhf=${LBS_ARMHF_BUILD:-$root/build-armhf}
case $armhf in /*) ;; *) armhf=$root/$armhf ;; esac

for prog in lbs_bench_count lbs_bench_checks; do
  if [ ! -x "$build/bin/$prog" ]; then
    echo "bench: $build/bin/$prog is missing; configure with -DLBS_BUILD_BENCH=ON and build it" >&2
    exit 2
  fi
done
if ! command -v valgrind >/dev/null; then
  echo "bench: valgrind is not installed (scripts/install-deps.sh installs it)" >&2
  exit 2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# ---- measurements ------------------------------------------------------------

callgrind=(valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$tmp/cg.out")
log_note="the log stand-in's \`__dlog_print\` is not counted"
if [ "${LBS_BENCH_COUNT_LOG:-0}" != 1 ]; then
  # Collection is switched off on entry to the function and back on on exit.
  callgrind+=(--toggle-collect=__dlog_print)
else
  log_note="log lines are counted (LBS_BENCH_COUNT_LOG=1)"
fi
if ! "${callgrind[@]}" "$build/bin/lbs_bench_count" >"$tmp/sections" 2>"$tmp/callgrind.log"; then
  echo "bench: lbs_bench_count failed under callgrind:" >&2
  grep -v '^==' "$tmp/callgrind.log" >&2 || true
  exit 1
fi
# One dump per section: "NAME INSTRUCTIONS".
for dump in "$tmp"/cg.out.*; do
  awk '/^desc: Trigger: Client Request: / { name = $5 }
       /^totals: / { total = $2 }
       END { if (name != "") print name, total }' "$dump"
done >"$tmp/counts"

if ! "$build/bin/lbs_bench_checks" >"$tmp/checks" 2>"$tmp/checks.err"; then
  echo "bench: lbs_bench_checks failed:" >&2
  cat "$tmp/checks.err" >&2
  exit 1
fi

# ---- the table -----------------------------------------------------------------

broken=0
rows=()

# Instructions per operation of a section.
per_op() {
  local name=$1 iterations total
  iterations=$(awk -v n="$name" '$1 == "section" && $2 == n { print $3 }' "$tmp/sections")
  total=$(awk -v n="$name" '$1 == n { print $2 }' "$tmp/counts")
  if [ -z "$iterations" ] || [ -z "$total" ] || [ "$iterations" -eq 0 ]; then
    echo "bench: no count for section $name" >&2
    exit 1
  fi
  echo $((total / iterations))
}

thousands() { printf '%s' "$1" | sed ':a; s/\B[0-9]\{3\}\>/,&/; ta'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
within() { awk -v r="$1" -v limit="$2" 'BEGIN { exit !(r <= limit) }'; }

# compare LABEL MINE REFERENCE BUDGET [STRETCH]
compare() {
  local label=$1 mine reference r result
  mine=$(per_op "$2")
  reference=$(per_op "$3")
  r=$(ratio "$mine" "$reference")
  if within "$r" "$4"; then result=ok; else result="**over budget**"; broken=1; fi
  rows+=("| $label | $(thousands "$mine") | $(thousands "$reference") | ${r}x | ≤ $4x | $result |")
  if [ -n "${5:-}" ]; then
    if within "$r" "$5"; then result="met"; else result="not met (reported only)"; fi
    rows+=("| … stretch target | | | ${r}x | ≤ $5x | $result |")
  fi
}

compare "Position reply, \`on_data_ind\` to the host callback, vs one parse" reply.plugin reply.parse 2.2 1.3
compare "150-position batch reply, the same, vs one parse" batch.plugin batch.parse 2.2 1.3
while read -r _ name _; do
  case $name in
    render.*) compare "Render \`${name#render.}\` vs \`g_strdup_printf\`" "$name" "printf.${name#render.}" 1.5 ;;
  esac
done <"$tmp/sections"

read -r _ replies events allocations releases < <(grep '^heap ' "$tmp/checks")
net=$((allocations - releases))
if [ "$net" -eq 0 ] && [ "$events" -eq "$replies" ]; then result=ok; else result="**over budget**"; broken=1; fi
[ "$events" -eq "$replies" ] || result="$result (only $events of $replies replies reached the host)"
rows+=("| Heap: allocations − releases over $(thousands "$replies") replies (one in ten a 150-position batch) | $net | $(thousands "$allocations") − $(thousands "$releases") | | = 0 | $result |")

# Only an alarm a fresh start forgot may stay armed (until it fires once),
# and only an idle answer may wait in the main loop (it runs once).
read -r _ held pending left < <(grep '^idle ' "$tmp/checks")
if [ "$held" -eq 0 ] && [ "$pending" -eq 0 ] && [ "$left" -eq 0 ]; then result=ok; else result="**over budget**"; broken=1; fi
pending_word=no
[ "$pending" -eq 0 ] || pending_word=yes
rows+=("| Idle after a tracking session ends: alarms the link still holds, GLib source ready once the loop ran dry, alarms armed after 421 s | $held, $pending_word, $left | | | 0, no, 0 | $result |")

plugin_so=$armhf/lib/libZUV-lbs-plugin-consumer.so.0
if [ -f "$plugin_so" ] && command -v arm-linux-gnueabihf-strip >/dev/null; then
  arm-linux-gnueabihf-strip -o "$tmp/plugin.so" "$plugin_so"
  size=$(stat -c %s "$tmp/plugin.so")
  if [ "$size" -le 131072 ]; then result=ok; else result="**over budget**"; broken=1; fi
  rows+=("| Stripped armhf plugin | $(thousands "$size") B | | | ≤ 131,072 B (128 KiB) | $result |")
else
  rows+=("| Stripped armhf plugin | | | | ≤ 131,072 B (128 KiB) | skipped: no armhf build (${plugin_so#"$root"/} missing) or no arm-linux-gnueabihf-strip |")
fi

# ---- output ----------------------------------------------------------------------

cmd="bench/run.sh"
[ $# -eq 0 ] || cmd="bench/run.sh $arg"
[ "${LBS_BENCH_COUNT_LOG:-0}" != 1 ] || cmd="LBS_BENCH_COUNT_LOG=1 $cmd"
echo "Made with \`$cmd\` ($(valgrind --version), GLib $(pkg-config --modversion glib-2.0 2>/dev/null || echo '?'), json-glib $(pkg-config --modversion json-glib-1.0 2>/dev/null || echo '?'), $(uname -m)). Counts are instructions per operation (callgrind; $log_note); \"one parse\" is \`json_parser_new\` + \`json_parser_load_from_data\` + \`g_object_unref\` of the same text."
echo
echo "| Measure | Plugin | Reference | Ratio | Budget | Result |"
echo "|---|---:|---:|---:|---:|---|"
printf '%s\n' "${rows[@]}"
echo
if [ "$broken" -ne 0 ]; then
  echo "bench: a budget is broken" >&2
  exit 1
fi
