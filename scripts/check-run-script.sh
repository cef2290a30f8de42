#!/usr/bin/env bash
# Runs ./run.sh as a newcomer does on a machine without a display, waits for
# the meter's window, then stops it with SIGINT as Ctrl+C does: the script must
# end with the meter's status 0, without having had to kill it.
#   scripts/check-run-script.sh [seconds for the setup and the build, default 1500]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
limit_s="${1:-1500}"
out="$(mktemp -t zelx-check-run-XXXXXX)"

# A background job of a script starts with SIGINT ignored, which run.sh could
# then not take.
env -u DISPLAY --default-signal=INT "$root/run.sh" > >(tee "$out") 2>&1 &
script=$!

fail() {
  echo "check-run-script: $1" >&2
  kill -s TERM "$script" 2>/dev/null || true
  exit 1
}

display=""
for ((i = 0; i < limit_s * 10; i++)); do
  kill -0 "$script" 2>/dev/null || fail "./run.sh ended before it started the meter"
  if grep -q "Stop the meter with Ctrl+C." "$out"; then
    display="$(sed -n 's/.* on virtual display \(:[0-9]*\) .*/\1/p' "$out")"
    break
  fi
  sleep 0.1
done
[ -n "$display" ] || fail "./run.sh did not start the meter on a virtual display within $limit_s s"
# Asked again rather than waited for: a window that goes while xdotool looks
# at it (one of the framework's own at start) ends xdotool with an X error.
shown=""
for ((i = 0; i < 600; i++)); do
  if DISPLAY="$display" xdotool search --onlyvisible --name '^ZELx 5\.1$' >/dev/null 2>&1; then
    shown=1
    break
  fi
  kill -0 "$script" 2>/dev/null || fail "./run.sh ended before the meter's window showed"
  sleep 0.1
done
[ -n "$shown" ] || fail "the meter's window did not show within 60 s"

kill -s INT "$script"
for ((i = 0; i < 300; i++)); do
  kill -0 "$script" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$script" 2>/dev/null && fail "./run.sh did not end within 30 s of SIGINT"
code=0
wait "$script" || code=$?
[ "$code" -eq 0 ] || fail "./run.sh ended with code $code, not the meter's 0"
if grep -q "The meter has not quit" "$out"; then
  fail "./run.sh had to kill the meter"
fi
rm -f "$out"
echo "check-run-script: ./run.sh started the meter, and ended with it on SIGINT"
