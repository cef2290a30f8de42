#!/usr/bin/env bash
# Builds and runs every benchmark.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
# The build folder is shared with ./run.sh, which leaves the benchmarks out.
"$root/scripts/build.sh" "$root/build/release" -DZELX_BUILD_BENCH=ON
for b in "$root"/build/release/bench/*; do
  if [ -x "$b" ] && [ -f "$b" ]; then
    echo "== $(basename "$b")"
    "$b"
  fi
done
# The whole program's CPU against two peer meters on the same live audio; the
# script installs the peers, which are not among the project's packages.
echo "== cpu_vs_peer"
"$root/bench/cpu_vs_peer.py"
