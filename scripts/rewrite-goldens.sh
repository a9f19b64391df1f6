#!/usr/bin/env bash
# Rewrites golden traces from what the built lbs-sim prints now.
#
#   scripts/rewrite-goldens.sh [-b BUILD_DIR] [NAME...]
#
# Each tests/scenarios/NAME.scn (all of them when no NAME is given) is run as
# ctest runs it: from tests/scenarios, with --trace and the options of its
# "# lbs-sim-args:" line; standard output replaces NAME.trace. Scenarios run
# one at a time, since some of them change the build tree's file directory.
# A scenario marked "# lbs-sim-requires: root" is left alone when not run as
# root. A run that does not exit 0 leaves its golden untouched and makes the
# script exit 1. BUILD_DIR defaults to build.
#
# A rewritten trace is only a candidate: read `git diff tests/scenarios`
# line by line and keep only what the plugin must do.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
if [ "${1:-}" = "-b" ]; then
  build=$(cd "$2" && pwd)
  shift 2
fi
sim=$build/bin/lbs-sim
if [ ! -x "$sim" ]; then
  echo "rewrite-goldens: no $sim (build the lbs-sim target first)" >&2
  exit 2
fi

dir=$root/tests/scenarios
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for scn in "$dir"/*.scn; do
    names+=("$(basename "$scn" .scn)")
  done
fi

status=0 rewritten=0 skipped=0
for name in "${names[@]}"; do
  scn=$dir/$name.scn
  if [ ! -f "$scn" ]; then
    echo "rewrite-goldens: no $scn" >&2
    status=1
    continue
  fi
  if [ "$(id -u)" != 0 ] && grep -q '^# lbs-sim-requires: root$' "$scn"; then
    echo "skipped (needs root): $name"
    skipped=$((skipped + 1))
    continue
  fi
  args=(--trace)
  set -f
  while IFS= read -r line; do
    extra=${line#"# lbs-sim-args:"}
    # shellcheck disable=SC2206 # split like cmake's separate_arguments
    args+=($extra)
  done < <(grep '^# lbs-sim-args:' "$scn" || true)
  set +f
  tmp=$(mktemp)
  if (cd "$dir" && "$sim" "${args[@]}" "$name.scn") >"$tmp"; then
    mv "$tmp" "$dir/$name.trace"
    rewritten=$((rewritten + 1))
  else
    echo "rewrite-goldens: $name: lbs-sim failed, golden kept" >&2
    rm -f "$tmp"
    status=1
  fi
done
echo "rewritten: $rewritten, skipped: $skipped"
exit $status
