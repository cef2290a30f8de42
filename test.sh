#!/usr/bin/env bash
# Sets up this machine, builds everything (Release) and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build/release"
cd "$root/build/release"
ctest --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)" "$@"
