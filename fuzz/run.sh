#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one
# for SECONDS (default 30), the whole-plugin session target for
# SESSION_SECONDS (default 60), starting from the corpus kept in
# fuzz/corpus/<target>/ and the seeds in fuzz/seeds/<target>/, with
# fuzz/<target>.dict where there is one. What a run finds goes to
# build-fuzz/corpus/<target>/; fuzz/merge-corpus.sh merges it into the kept
# corpus, minimised.
# Exits non-zero when any target reports a crash, a leak, undefined
# behaviour, a broken invariant or a slow input; the input that did it is
# left in build-fuzz/artifacts/.
#
#   fuzz/run.sh [SECONDS [SESSION_SECONDS]]     (SESSION_SECONDS 0 leaves that target out)
set -euo pipefail

seconds=${1:-30}
session_seconds=${2:-60}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-fuzz
targets=(fuzz_json_parser fuzz_bap_json_parser fuzz_json_builder)
if [ "$session_seconds" -gt 0 ]; then
  targets+=(fuzz_plugin_session)
fi

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLBS_BUILD_FUZZERS=ON -DLBS_BUILD_TESTS=OFF -DLBS_WERROR=${LBS_WERROR:-ON}
cmake --build "$build" --target lbs_fuzzers

# Keep what CI sets; leaks and undefined behaviour always end a run.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Let the sanitizers see every GLib allocation.
export G_SLICE=always-malloc

mkdir -p "$build/artifacts"
failed=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  mkdir -p "$corpus" "$root/fuzz/corpus/$target"
  log=$build/$target.log
  time=$seconds
  options=()
  if [ "$target" = fuzz_plugin_session ]; then
    # Sequences of actions: longer inputs than one message.
    time=$session_seconds
    options+=(-max_len=16384)
  fi
  if [ -f "$root/fuzz/$target.dict" ]; then
    options+=(-dict="$root/fuzz/$target.dict")
  fi
  echo "==== $target: ${time} s"
  set +e
  "$build/bin/$target" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "${options[@]}" -artifact_prefix="$build/artifacts/$target-" "$corpus" "$root/fuzz/corpus/$target" "$root/fuzz/seeds/$target" \
    >"$log" 2>&1
  rc=$?
  set -e
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
  grep -E '^#[0-9]+\s' "$log" | tail -n 1 || true
  if [ "$rc" -ne 0 ] || grep -qE 'runtime error:|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|invariant broken' "$log"; then
    echo "==== $target: FAILED (exit $rc); log follows"
    tail -n 60 "$log"
    # What was found, once more at the end, where a shortened log keeps it.
    echo "==== $target: finding:"
    grep -E -m 5 'invariant broken|-CRITICAL \*\*|-WARNING \*\*|runtime error:|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|Test unit written' "$log" || true
    failed+=("$target")
  else
    echo "==== $target: OK"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: failed: ${failed[*]}"
  exit 1
fi
if [ "$session_seconds" -gt 0 ]; then
  echo "fuzz: ${#targets[@]} targets (${seconds} s each, fuzz_plugin_session ${session_seconds} s), no findings"
else
  echo "fuzz: ${#targets[@]} targets, ${seconds} s each (fuzz_plugin_session left out), no findings"
fi
