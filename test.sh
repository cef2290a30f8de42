#!/usr/bin/env bash
# Sets up this machine, builds everything (Release) and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh"
# The build folder is shared with ./run.sh, which leaves the tests out: turned
# back on here, they are configured and rebuilt, so that CTest never runs the
# test list or the binaries an earlier build left.
"$root/scripts/build.sh" "$root/build/release" -DZELX_BUILD_TESTS=ON
cd "$root/build/release"
ctest --no-tests=error --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)" "$@"
