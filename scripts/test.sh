#!/usr/bin/env bash
# The test command: installs what the build needs, configures build/ (the
# native preset), builds everything and runs every test.
#
#   scripts/test.sh [CTEST ARGS...]      e.g. scripts/test.sh -L host
#
# LBS_WERROR=ON in the environment turns compiler warnings into errors (CI
# does that); left unset, build/ keeps whatever it was configured with.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

configure_args=()
if [ -n "${LBS_WERROR:-}" ]; then
  configure_args+=("-DLBS_WERROR=$LBS_WERROR")
fi
cmake --preset native "${configure_args[@]}"
cmake --build --preset native
ctest --preset native "$@"
