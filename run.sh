#!/usr/bin/env bash
# Sets up this machine, builds the meter (Release) and starts it. Without a
# display it starts a virtual one (Xvfb with openbox) and a JACK server on its
# dummy driver, and ends both when the meter quits. Ctrl+C, SIGTERM and SIGHUP
# reach the meter alone, which quits as through its close button; the helpers,
# each in a session of its own, go only after it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build/release" -DZELX_BUILD_TESTS=OFF -DZELX_BUILD_BENCH=OFF
app="$root/build/release/host/ZELX51"

if [ -n "${DISPLAY:-}" ]; then
  exec "$app" "$@"
fi

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
  done
  wait 2>/dev/null || true
}
trap cleanup EXIT
for signal in INT TERM HUP; do
  trap "exit $((128 + $(kill -l "$signal")))" "$signal"
done

logs="$(mktemp -d -t zelx-run-XXXXXX)"
exec 3<> "$logs/displayfd"
# -noreset: a server that resets when its last client leaves drops one connecting then.
setsid Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
pids+=($!)
display=""
for _ in $(seq 100); do
  display="$(head -n1 "$logs/displayfd" 2>/dev/null || true)"
  [ -n "$display" ] && break
  sleep 0.1
done
if [ -z "$display" ]; then
  echo "No display, and the virtual display did not start (see $logs/xvfb.log)." >&2
  exit 1
fi
exec 3>&-
export DISPLAY=":$display"
setsid openbox --sm-disable >"$logs/openbox.log" 2>&1 &
pids+=($!)

export JACK_NO_AUDIO_RESERVATION=1
if ! jack_lsp >/dev/null 2>&1; then
  setsid jackd --no-realtime -d dummy -r 48000 -p 512 -C 6 -P 6 >"$logs/jackd.log" 2>&1 &
  pids+=($!)
  timeout 15 jack_wait -w -t 10 >"$logs/jack_wait.log" 2>&1 || echo "The JACK server did not start (see $logs/jackd.log)." >&2
  jack_note=" and a JACK server on its dummy driver (48000 Hz, 6 in, 6 out)"
else
  jack_note=" with the JACK server already running"
fi

echo "No display: running the meter on virtual display $DISPLAY (Xvfb with openbox)${jack_note}."
echo "Logs of these helpers are in $logs. Stop the meter with Ctrl+C."
setsid "$app" "$@" &
meter=$!
for signal in INT TERM HUP; do
  trap "kill -s $signal $meter 2>/dev/null || true" "$signal"
done
# A signal ends a wait early: wait again until the meter has quit, then end
# with its status.
while kill -0 "$meter" 2>/dev/null; do
  wait "$meter" || true
done
wait "$meter"
