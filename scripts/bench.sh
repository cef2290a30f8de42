#!/usr/bin/env bash
# Builds and runs every benchmark.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build/release"
for b in "$root"/build/release/bench/*; do
  if [ -x "$b" ] && [ -f "$b" ]; then
    echo "== $(basename "$b")"
    "$b"
  fi
done
# The whole program's CPU against a peer meter on the same live audio; the
# peer is not among the project's packages.
echo "== cpu_vs_peer"
if command -v x42-meter >/dev/null 2>&1; then
  "$root/bench/cpu_vs_peer.py"
else
  echo "skipped: needs x42-meter (apt-get install x42-plugins)"
fi
