#!/usr/bin/env bash
# Sets up this machine, builds the meter (Release) and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build/release" -DZELX_BUILD_TESTS=OFF -DZELX_BUILD_BENCH=OFF
app="$root/build/release/host/ZELX51"
if [ ! -x "$app" ]; then
  echo "Built the libraries; the program itself is not part of this build yet."
  exit 0
fi
exec "$app" "$@"
