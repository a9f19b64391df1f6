#!/usr/bin/env bash
# The demo: builds the plugin, the platform stand-ins and lbs-sim, nothing
# else (no tests), in build-demo/, and plays a scenario through the
# simulator: by default sim/scenarios/default.scn, a city walk served over
# both links by the simulated phone.
#
#   scripts/demo.sh [--logs] [SIMULATOR OPTIONS...] [SCENARIO]
#
# The timeline leaves out the platform's log lines; --logs puts them in
# (lbs-sim --help lists the other options, e.g. --trace for the trace
# format). At the end the demo prints where its outputs are: the timeline as
# printed, the map image the phone sent (when the scenario asked for one), a
# plot of the positions the host received beside the track the phone walked,
# and those positions as GPX. --plot or --gpx-out given here replace the
# demo's own files.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
start=$(date +%s)

bash scripts/install-deps.sh >/dev/null

build=$root/build-demo
out=$build/demo
mkdir -p "$out"
# -O1 without debugging information: the build is most of the demo's time,
# and this halves it; the run takes under a second either way.
configure=(-S . -B "$build" -G Ninja -DLBS_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
  "-DCMAKE_C_FLAGS_RELEASE=-O1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG")
if command -v ccache >/dev/null; then
  configure+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
echo "demo: building the plugin, the platform stand-ins and lbs-sim in $build"
if ! cmake "${configure[@]}" >"$build/configure.log" 2>&1; then
  cat "$build/configure.log" >&2
  exit 1
fi
# lbs-sim depends on the plugin it loads and links the stand-ins.
cmake --build "$build" --target lbs-sim
sim=$build/bin/lbs-sim
echo "demo: built in $(($(date +%s) - start)) s"
echo

args=()
scenario=""
plot=$out/walk.png
gpx=$out/walk.gpx
while [ $# -gt 0 ]; do
  case $1 in
    --plot) plot=$2; shift 2 ;;
    --gpx-out) gpx=$2; shift 2 ;;
    --plugin) args+=("$1" "$2"); shift 2 ;;
    -*) args+=("$1"); shift ;;
    *) scenario=$1; shift ;;
  esac
done
if [ -z "$scenario" ]; then
  scenario=sim/scenarios/default.scn
fi
timeline=$out/timeline.txt
rc=0
"$sim" "${args[@]}" --plot "$plot" --gpx-out "$gpx" "$scenario" | tee "$timeline" || rc=${PIPESTATUS[0]}

# The file directory is the one this build gave the plugin; the last map
# image the host was told of is the one the phone sent.
extra=$build/extra
map=$(sed -n 's/.*HERE_MAP_DOWNLOAD.* error=\(NONE(0)\|0\) .*path=\$EXTRA\/\([^ ]*\).*/\2/p' "$timeline" | tail -n1)

real() { realpath -m "$1"; }
echo
echo "demo: lbs-sim exited with $rc after $(($(date +%s) - start)) s in all; its outputs:"
echo "  timeline      $(real "$timeline")"
if [ -n "$map" ] && [ -f "$extra/$map" ]; then
  echo "  map image     $(real "$extra/$map")   (sent by the phone into the plugin's file directory)"
else
  echo "  map image     none (the scenario received no map image)"
fi
[ -f "$plot" ] && echo "  plot          $(real "$plot")"
[ -f "$gpx" ] && echo "  positions     $(real "$gpx")   (GPX 1.1, one track per kind of position)"
echo "Again with the platform's log lines: scripts/demo.sh --logs; the simulator alone: $sim --help"
exit "$rc"
