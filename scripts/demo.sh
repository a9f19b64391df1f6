#!/usr/bin/env bash
# Builds everything (native preset, build/) and runs the simulator on the
# default scenario.
#
#   scripts/demo.sh [SIMULATOR OPTIONS...] [SCENARIO]
#
# Options such as --trace or --logs go to build/bin/lbs-sim; without any,
# the plugin's log lines are shown too (--logs). Without a scenario (a .scn
# file) sim/scenarios/default.scn is played.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
cmake --preset native
cmake --build --preset native

sim=build/bin/lbs-sim
if [ ! -x "$sim" ]; then
  echo "demo: $sim was not built (is there a sim/ directory?)" >&2
  exit 1
fi

args=("$@")
if [ ${#args[@]} -eq 0 ]; then
  args=(--logs)
fi
have_scenario=no
for a in "${args[@]}"; do
  case $a in *.scn) have_scenario=yes ;; esac
done
if [ "$have_scenario" = no ]; then
  scenario=sim/scenarios/default.scn
  if [ ! -f "$scenario" ]; then
    echo "demo: $scenario is missing" >&2
    exit 1
  fi
  args+=("$scenario")
fi

exec "$sim" "${args[@]}"
