#!/usr/bin/env bash
# Merges what fuzzing runs found (build-fuzz/corpus/<target>/, which
# fuzz/run.sh fills) into the corpus kept in the repository
# (fuzz/corpus/<target>/). Every input kept already stays: inputs that once
# broke a check are among them, and they matter for the order of what they
# do, not only for what they reach. Of the new finds, only the fewest that
# reach a branch neither the kept corpus nor the seeds (fuzz/seeds/<target>/)
# reach are added. Needs the fuzzers built by fuzz/run.sh. Prints the size
# of each.
#
#   fuzz/merge-corpus.sh [TARGET...]     (default: every target)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_json_parser fuzz_bap_json_parser fuzz_json_builder fuzz_plugin_session)
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export G_SLICE=always-malloc

for target in "${targets[@]}"; do
  fuzzer=$build/bin/$target
  if [ ! -x "$fuzzer" ]; then
    echo "$target: $fuzzer is missing (build it with fuzz/run.sh)" >&2
    exit 2
  fi
  seeds=$root/fuzz/seeds/$target
  kept=$root/fuzz/corpus/$target
  found=$build/corpus/$target
  mkdir -p "$kept" "$found"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # The seeds and the kept corpus go in first, so that only what they do
  # not reach is added.
  mkdir "$work/merged"
  cp "$seeds"/* "$work/merged/"
  cp -r "$kept"/. "$work/merged/"
  options=()
  [ "$target" = fuzz_plugin_session ] && options+=(-max_len=16384)
  # Edges only (no hit counts): of the finds, the fewest that reach a new branch.
  "$fuzzer" -merge=1 -use_counters=0 -timeout=10 -rss_limit_mb=2048 "${options[@]}" "$work/merged" "$found" \
    >"$work/merge.log" 2>&1 || { tail -n 30 "$work/merge.log"; exit 1; }
  for seed in "$seeds"/*; do
    rm -f "$work/merged/$(basename "$seed")"
  done
  rm -rf "$kept"
  mv "$work/merged" "$kept"
  rm -rf "$work"
  trap - EXIT
  printf '%-22s %4d inputs %8s\n' "$target" "$(find "$kept" -type f | wc -l)" "$(du -sh "$kept" | cut -f1)"
done
