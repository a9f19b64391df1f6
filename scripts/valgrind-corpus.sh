#!/usr/bin/env bash
# Replays the whole fuzz corpus (fuzz/corpus/<target>/ and fuzz/seeds/<target>/)
# through the plugin under valgrind's memcheck, one run per fuzz target, with
# the replay programs of a native build without sanitizers (<target>_replay,
# built with LBS_BUILD_FUZZ_REPLAY, which the native preset sets). json-glib
# is not instrumented by the sanitizers; this is where its memory errors show.
#
#   scripts/valgrind-corpus.sh [BUILD_DIR]      (default: build)
#
# A run passes when the program exits 0 (no broken invariant), memcheck
# reports no error and 0 bytes definitely or indirectly lost. GLib's memory
# for the life of the process is suppressed by scripts/valgrind.supp. One
# line per target, then the wall time; exit status 1 when any run failed, 2
# when a program or valgrind is missing. Logs are kept in BUILD_DIR/valgrind-corpus/.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
out=$build/valgrind-corpus
targets=(fuzz_json_parser fuzz_bap_json_parser fuzz_json_builder fuzz_plugin_session)
command -v valgrind >/dev/null || { echo "valgrind is missing" >&2; exit 2; }
cmake --build "$build" --target lbs_fuzz_replays
rm -rf "$out"
mkdir -p "$out"
export G_SLICE=always-malloc
start=$(date +%s)

run_one() {
  local target=$1 log=$out/$1
  local program=$build/bin/${target}_replay
  [ -x "$program" ] || { echo "$target: $program is missing"; return 2; }
  local rc=0
  valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --show-leak-kinds=definite,indirect --error-exitcode=97 --num-callers=40 \
    --suppressions="$root/scripts/valgrind.supp" --log-file="$log.vg" \
    "$program" "$root/fuzz/corpus/$target" "$root/fuzz/seeds/$target" >"$log.out" 2>"$log.err" || rc=$?
  local errors definite indirect
  errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9,]*\) errors.*/\1/p' "$log.vg" | tail -n1 | tr -d ,)
  definite=$(sed -n 's/.*definitely lost: \([0-9,]*\) bytes.*/\1/p' "$log.vg" | tail -n1 | tr -d ,)
  indirect=$(sed -n 's/.*indirectly lost: \([0-9,]*\) bytes.*/\1/p' "$log.vg" | tail -n1 | tr -d ,)
  local summary
  summary="$(cat "$log.out"), exit $rc, errors ${errors:-?}, definitely ${definite:-0} B, indirectly ${indirect:-0} B"
  if [ "$rc" -eq 0 ] && [ "${errors:-1}" = 0 ] && [ "${definite:-0}" = 0 ] && [ "${indirect:-0}" = 0 ]; then
    printf 'ok    %-22s %s\n' "$target" "$summary"
  else
    printf 'FAIL  %-22s %s (see %s.vg, %s.err)\n' "$target" "$summary" "$log" "$log"
    return 1
  fi
}

failed=0
for target in "${targets[@]}"; do
  run_one "$target" || failed=1
done
echo "valgrind-corpus: ${#targets[@]} targets in $(($(date +%s) - start)) s"
exit "$failed"
