#!/usr/bin/env python3
"""System test of the standalone meter.

Runs the real program on a private virtual display (Xvfb with openbox) against a
private JACK server on its dummy driver (48000 Hz, six capture and six playback
ports), in a mount namespace of its own with a private /dev/shm (JACK's folder
there is shared by every server of a user, and a server that exits deletes it),
a private home folder and, as root, a private common application-data folder,
and checks from the outside:

1. a first start creates "Tamvo" and an empty "ZELX51.prefs" before the window
   opens; the window appears; closing it writes the four keys;
2. with a device setup for JACK and an engine state that routes inputs 1-5 to
   outputs 1-5 and leaves output 6 unrouted, six tones played into the inputs
   come out each on its own output, unmixed, and output 6 is silent; closing it
   writes the four keys again;
3. a restart brings back the window position and the engine state (same
   routing), r and ctrl+f work on the focused window (kiosk mode fills the
   screen and ends again), and SIGTERM quits with the keys written;
4. without the JACK server (a JACK client killed would hold it up), a move is
   in the file within the save delay, whole, and it survives SIGKILL.

Every wait has a time limit, the whole run has one, and every process started
here is ended by its id on the way out. Exit code 77 means skipped. The user's
own JACK folder in /dev/shm is checked to be left as it was.

"system_test.py play-tones CLIENT [HZ:AMPLITUDE ...]" is the tone player the
tests start: a JACK client with one output per tone (by default TONES_HZ at
TONE_AMPLITUDE), playing until it is terminated.
"""

import argparse
import array
import ctypes
import math
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import wave
import xml.etree.ElementTree as ET

SKIP = 77
RUN_LIMIT_S = 115
SAMPLE_RATE = 48000
SCREEN = (1280, 1024)
WINDOW_TITLE = "^ZELx 5\\.1$"
CLIENT = "ZELX5.1"
TONES_HZ = [300.0, 500.0, 700.0, 1100.0, 1300.0, 1700.0]
TONE_AMPLITUDE = 0.5
INPUT_LAYOUT = "0;1;2;3;4;5;"
OUTPUT_LAYOUT = "0;1;2;3;4;-1;"  # slot 6 is not played: output 6 must stay silent
NAMESPACE_MARK = "ZELX_SYSTEM_TEST_IN_NAMESPACE"

started = time.monotonic()


class Failure(Exception):
    pass


def log(text):
    print(f"[{time.monotonic() - started:6.1f}s] {text}", flush=True)


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(condition, limit_s, what):
    """Polls condition() until it gives a true value, within limit_s and the run's own limit."""
    end = min(time.monotonic() + limit_s, started + RUN_LIMIT_S)
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= end:
            raise Failure(f"gave up waiting for {what} after {limit_s} s")
        time.sleep(0.1)


class Processes:
    """Every process this test starts; ended by id, newest first."""

    def __init__(self, workdir, env):
        self.workdir = workdir
        self.env = env
        self.running = []

    def start(self, name, args, **kwargs):
        out = open(os.path.join(self.workdir, name + ".log"), "ab")
        proc = subprocess.Popen(args, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                env=self.env, cwd=self.workdir, **kwargs)
        out.close()
        self.running.append((name, proc))
        return proc

    def stop(self, proc, limit_s=5):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(timeout=limit_s)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(timeout=limit_s)
        self.running = [(n, p) for n, p in self.running if p is not proc]

    def stop_all(self):
        for _, proc in reversed(list(self.running)):
            try:
                self.stop(proc)
            except Exception as error:  # keep ending the others
                log(f"could not end process {proc.pid}: {error}")

    def run(self, args, limit_s=15):
        """Runs a short tool to its end and returns its output."""
        result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env,
                                cwd=self.workdir, timeout=limit_s, stdin=subprocess.DEVNULL)
        return result.returncode, result.stdout.decode(errors="replace")


# ------------------------------------------------------------------------------
def read_prefs(path):
    """The preferences as a dict of lower-cased key -> (value text, child element)."""
    root = ET.parse(path).getroot()
    check(root.tag == "PROPERTIES", f"{path}: root element is {root.tag}")
    values = {}
    for item in root.findall("VALUE"):
        child = list(item)
        values[item.get("name").lower()] = (item.get("val"), child[0] if child else None)
    return values


def check_four_keys(path, what):
    values = read_prefs(path)
    for key in ("windowx", "windowy", "audiosetup", "filterstate"):
        check(key in values, f"{what}: key {key} missing from {path}")
    check(re.fullmatch(r"-?\d+", values["windowx"][0] or "") is not None, f"{what}: windowX not an integer")
    check(re.fullmatch(r"-?\d+", values["windowy"][0] or "") is not None, f"{what}: windowY not an integer")
    check(re.fullmatch(r"\d+\.[A-Za-z0-9+.]*", values["filterstate"][0] or "") is not None,
          f"{what}: filterState is not a base-64 memory block")
    return values


def write_prefs(path, window_x, window_y, filter_state):
    """Preferences with the JACK device setup; without an engine state when filter_state is None."""
    text = ('<?xml version="1.0" encoding="UTF-8"?>\n<PROPERTIES>\n'
            f'  <VALUE name="windowX" val="{window_x}"/>\n'
            f'  <VALUE name="windowY" val="{window_y}"/>\n'
            '  <VALUE name="audioSetup"><DEVICESETUP deviceType="JACK" audioOutputDeviceName="system" '
            f'audioInputDeviceName="system" audioDeviceRate="{SAMPLE_RATE}" audioDeviceBufferSize="512"/></VALUE>\n'
            + ('' if filter_state is None else f'  <VALUE name="filterState" val="{filter_state}"/>\n') +
            '</PROPERTIES>\n')
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


# ------------------------------------------------------------------------------
def goertzel_amplitude(samples, frequency):
    """Amplitude of one frequency in a block of samples."""
    coefficient = 2.0 * math.cos(2.0 * math.pi * frequency / SAMPLE_RATE)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + coefficient * s1 - s2, s1
    power = s1 * s1 + s2 * s2 - coefficient * s1 * s2
    return 2.0 * math.sqrt(max(power, 0.0)) / len(samples)


def read_channels(path):
    try:
        with wave.open(path, "rb") as w:
            check(w.getsampwidth() == 2, f"{path}: expected 16-bit samples")
            count, frames = w.getnchannels(), w.readframes(w.getnframes())
    except (wave.Error, EOFError) as error:
        raise Failure(f"{path} is no recording: {error}")
    data = memoryview(frames).cast("h")
    return [[data[i] / 32768.0 for i in range(c, len(data), count)] for c in range(count)]


def check_routing(channels, what, expected=(0, 1, 2, 3, 4, None)):
    """Output n carries the tone of input expected[n] and no other, or is silent where that is None; by default
    outputs 1-5 carry their own input's tone and output 6 is silent."""
    block = SAMPLE_RATE // 2
    for channel, tone in enumerate(expected):
        if tone is None:
            loudest = max(abs(x) for x in channels[channel])
            log(f"{what}: output {channel + 1} peak {loudest:.6f}")
            check(loudest < 1e-3, f"{what}: the unrouted output {channel + 1} is not silent (peak {loudest})")
            continue
        onset = next((i for i, x in enumerate(channels[channel]) if abs(x) > 0.05), None)
        check(onset is not None, f"{what}: no signal reached output {channel + 1}")
        # Skip the moment the connection was made, then look at half a second.
        start = onset + SAMPLE_RATE // 10
        check(len(channels[channel]) >= start + block,
              f"{what}: too little signal recorded on output {channel + 1} ({len(channels[channel]) - onset})")
        samples = channels[channel][start:start + block]
        levels = [goertzel_amplitude(samples, f) for f in TONES_HZ]
        own = levels[tone]
        log(f"{what}: output {channel + 1}: " + ", ".join(f"{f:.0f} Hz {a:.4f}" for f, a in zip(TONES_HZ, levels)))
        check(own > 0.2, f"{what}: output {channel + 1} lacks input {tone + 1}'s {TONES_HZ[tone]:.0f} Hz tone")
        for other, level in enumerate(levels):
            if other != tone:
                check(level < own * 0.01,
                      f"{what}: output {channel + 1} carries input {other + 1}'s tone ({level:.4f})")


# ------------------------------------------------------------------------------
class SystemTest:
    def __init__(self, args, workdir, common_root):
        self.args = args
        self.workdir = workdir
        self.home = os.path.join(workdir, "home")
        os.makedirs(self.home)
        env = dict(os.environ)
        env.update(HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   JACK_DEFAULT_SERVER=f"zelx-system-{os.getpid()}", JACK_NO_AUDIO_RESERVATION="1",
                   # OpenMP's threads spin against a busy machine: OCR took 5 s instead of 0.2 s at a load of 30.
                   OMP_THREAD_LIMIT="1")
        env.pop("DISPLAY", None)
        self.env = env
        self.procs = Processes(workdir, env)
        # Where the program may write decides where the preferences go.
        if os.access(common_root, os.W_OK):
            self.prefs_dir = os.path.join(common_root, "Tamvo")
        else:
            self.prefs_dir = os.path.join(env["XDG_CONFIG_HOME"], "Tamvo")
        self.prefs = os.path.join(self.prefs_dir, "ZELX51.prefs")
        self.app = None

    # -- environment -------------------------------------------------------------
    def start_display(self):
        """Starts a virtual display with a window manager, makes it this test's DISPLAY and returns the display
        server's process."""
        read_end, write_end = os.pipe()
        # Without -noreset the server resets whenever its last client leaves, and drops a client still connecting
        # then: a wmctrl poll ending as openbox connects left the display without a window manager.
        server = self.procs.start("xvfb", ["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0",
                                  f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp"], pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        end = time.monotonic() + 10
        while not number.endswith(b"\n") and time.monotonic() < end:
            ready, _, _ = select.select([read_end], [], [], max(0.0, end - time.monotonic()))
            if not ready:
                break
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        check(number.strip().isdigit(), "Xvfb did not start within 10 s")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        log(f"virtual display {self.env['DISPLAY']}")

        manager = self.procs.start("openbox", ["openbox", "--sm-disable"])

        def managed():
            check(manager.poll() is None, f"the window manager ended early with code {manager.returncode}")
            return self.procs.run(["wmctrl", "-m"], 5)[0] == 0

        wait_until(managed, 30, "the window manager")
        return server

    def start_jack(self, synchronous=False):
        """synchronous: every cycle waits for every client, so that a client that is late on a loaded machine
        delays the audio instead of breaking it."""
        server = self.procs.start("jackd", ["jackd", "-n", self.env["JACK_DEFAULT_SERVER"], "--no-realtime"] +
                                  (["--sync"] if synchronous else []) +
                                  ["-d", "dummy", "-r", str(SAMPLE_RATE), "-p", "512", "-C", "6", "-P", "6"])
        code, _ = self.procs.run(["jack_wait", "-w", "-t", "10"], 15)
        check(code == 0, "the JACK server did not come up within 10 s")
        log("JACK server on the dummy driver is up")
        return server

    # -- the program -------------------------------------------------------------
    def start_app(self, what):
        self.app = self.procs.start("app-" + what, [self.args.app])

        def find_window():
            check(self.app.poll() is None, f"{what}: the program ended early with code {self.app.returncode}")
            code, out = self.procs.run(["xdotool", "search", "--onlyvisible", "--name", WINDOW_TITLE], 5)
            return out.split()[0] if code == 0 and out.split() else None

        wid = int(wait_until(find_window, 20, f"{what}: the main window"))
        log(f"{what}: window {wid:#x} is up")
        return wid

    def xdotool(self, *args):
        code, out = self.procs.run(["xdotool"] + [str(a) for a in args], 10)
        check(code == 0, f"xdotool {' '.join(map(str, args))} failed: {out}")
        return out

    def geometry(self, wid):
        code, out = self.procs.run(["xdotool", "getwindowgeometry", "--shell", str(wid)], 5)
        check(code == 0, "xdotool could not read the window's geometry")
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def pixels(self, wid, x, y, width, height):
        """A window's pixels in a rectangle, as 8-bit RGB bytes."""
        result = subprocess.run(["import", "-window", str(wid), "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                                 "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                env=self.env, timeout=20, stdin=subprocess.DEVNULL)
        check(result.returncode == 0 and len(result.stdout) == 3 * width * height,
              f"could not read the window's pixels at {x}, {y}")
        return result.stdout

    def close_window(self, wid, what):
        code, _ = self.procs.run(["wmctrl", "-i", "-c", f"{wid:#010x}"], 5)
        check(code == 0, f"{what}: wmctrl could not send the close request")
        self.wait_for_exit(what)

    def wait_for_exit(self, what):
        wait_until(lambda: self.app.poll() is not None, 15, f"{what}: the program to quit")
        check(self.app.returncode == 0, f"{what}: the program quit with code {self.app.returncode}")
        self.procs.stop(self.app)
        log(f"{what}: the program quit")

    def jack_ports(self):
        code, out = self.procs.run(["jack_lsp"], 5)
        return out.split() if code == 0 else []

    def wait_for_device(self, what):
        wanted = [f"{CLIENT}:in_{n}" for n in range(1, 7)] + [f"{CLIENT}:out_{n}" for n in range(1, 7)]
        ports = wait_until(lambda: (lambda p: p if all(w in p for w in wanted) else None)(self.jack_ports()),
                           15, f"{what}: six inputs and six outputs of the program on JACK")
        own = [p for p in ports if p.startswith(CLIENT + ":")]
        check(sorted(own) == sorted(wanted), f"{what}: unexpected ports {own}")
        log(f"{what}: JACK device open with {len(own) // 2} inputs and {len(own) // 2} outputs")

    def start_player(self, what):
        """The tone player, a JACK client "zelxsrc" with one tone on each of its six outputs."""
        player = self.procs.start("player-" + what, tone_player_command("zelxsrc",
                                                                       [(f, TONE_AMPLITUDE) for f in TONES_HZ]))
        wait_until(lambda: "zelxsrc:out_6" in self.jack_ports(), 10, f"{what}: the player's ports")
        return player

    def play_and_record(self, what):
        player = self.start_player(what)
        for n in range(1, 7):
            code, out = self.procs.run(["jack_connect", f"zelxsrc:out_{n}", f"{CLIENT}:in_{n}"], 5)
            check(code == 0, f"{what}: could not connect the player to input {n}: {out}")
        self.record(what)
        self.procs.stop(player)

    def record(self, what, expected=(0, 1, 2, 3, 4, None)):
        """Records the program's first len(expected) outputs for two seconds and checks them with
        check_routing."""
        count = len(expected)
        recording = os.path.join(self.workdir, f"recorded-{what}.wav")
        # A ring buffer of four seconds: its writer thread may be late on a loaded machine, and jack-record
        # gives up on an overflow.
        recorder = self.procs.start("jack-record-" + what, ["jack-record", "-n", str(count), "-t", "2", "-f",
                                                            "0x10002", "-b", str(4 * SAMPLE_RATE), recording])
        name = f"jack-record-{recorder.pid}"
        wait_until(lambda: f"{name}:in_{count}" in self.jack_ports(), 10, f"{what}: the recorder's ports")
        for n in range(1, count + 1):
            code, out = self.procs.run(["jack_connect", f"{CLIENT}:out_{n}", f"{name}:in_{n}"], 5)
            check(code == 0, f"{what}: could not connect output {n} to the recorder: {out}")

        wait_until(lambda: recorder.poll() is not None, 15, f"{what}: the recording")
        self.procs.stop(recorder)
        check_routing(read_channels(recording), what, expected)

    # -- the scenario ------------------------------------------------------------
    def run(self):
        self.start_display()
        # Late clients on a loaded machine would break the recorded tones.
        jack = self.start_jack(synchronous=True)

        # 1. First start.
        check(not os.path.exists(self.prefs_dir), f"{self.prefs_dir} exists before the first start")
        wid = self.start_app("first")
        check(os.path.isfile(self.prefs), f"first start: {self.prefs} was not created before the window opened")
        check(os.path.getsize(self.prefs) == 0, "first start: the new preferences file is not empty")
        shot = os.path.join(self.workdir, "first-start.png")
        code, out = self.procs.run(["import", "-window", "root", shot], 20)
        check(code == 0 and os.path.getsize(shot) > 0, f"the screenshot failed: {out}")
        code, out = self.procs.run(["identify", "-format", "%wx%h", shot], 10)
        check(out.strip() == f"{SCREEN[0]}x{SCREEN[1]}", f"the screenshot is {out.strip()}")
        log(f"first start: screenshot {shot}")
        self.close_window(wid, "first start")
        check_four_keys(self.prefs, "first start")

        # 2. Routed tones through JACK.
        code, state = self.procs.run([self.args.make_state, INPUT_LAYOUT, OUTPUT_LAYOUT], 20)
        state = state.strip()
        check(code == 0 and state, "make_filter_state failed")
        write_prefs(self.prefs, 150, 120, state)

        wid = self.start_app("routed")
        self.wait_for_device("routed")
        self.play_and_record("routed")
        # Where the start put it, then where the user moves it: both must come back. The window stays whole on
        # the screen there, which a restart would otherwise put it back onto.
        placed = self.geometry(wid)
        check(self.app.poll() is None, "routed: the program ended")
        code, _ = self.procs.run(["xdotool", "windowmove", "--sync", str(wid), "200", "150"], 10)
        check(code == 0, "xdotool could not move the window")
        position = wait_until(lambda: (lambda g: g if g[:2] != placed[:2] else None)(self.geometry(wid)), 15,
                              "the window to move")
        log(f"routed: placed at {placed[:2]}, moved to {position[:2]}")
        self.close_window(wid, "routed")
        stored = check_four_keys(self.prefs, "routed")
        moved_to = (stored["windowx"][0], stored["windowy"][0])
        check(stored["filterstate"][0] == state, "routed: the engine state came back changed")
        setup = stored["audiosetup"][1]
        check(setup is not None and setup.get("deviceType") == "JACK", "routed: the JACK setup was not kept")

        # 3. Restart: position and engine state come back; keyboard commands.
        wid = self.start_app("restart")
        # The position is corrected once the window manager has framed the window.
        seen = []
        try:
            wait_until(lambda: seen.append(self.geometry(wid)[:2]) or seen[-1] == position[:2], 15,
                       f"the window to return to {position[:2]}")
        except Failure as failure:
            raise Failure(f"{failure}; it went {' '.join(map(str, dict.fromkeys(seen)))}") from None
        width, height = self.geometry(wid)[2:]
        self.wait_for_device("restart")
        self.play_and_record("restart")

        code, _ = self.procs.run(["xdotool", "windowactivate", "--sync", str(wid)], 10)
        check(code == 0, "xdotool could not activate the window")
        code, _ = self.procs.run(["xdotool", "key", "--clearmodifiers", "r"], 5)
        check(code == 0 and self.app.poll() is None, "restart: the program did not survive the r key")
        code, _ = self.procs.run(["xdotool", "key", "--clearmodifiers", "ctrl+f"], 5)
        check(code == 0, "xdotool could not press ctrl+f")
        wait_until(lambda: self.geometry(wid)[2:] == SCREEN, 15, "kiosk mode to fill the screen")
        log("restart: kiosk mode fills the screen")
        code, _ = self.procs.run(["xdotool", "key", "--clearmodifiers", "ctrl+f"], 5)
        check(code == 0, "xdotool could not press ctrl+f")
        wait_until(lambda: self.geometry(wid)[2:] == (width, height), 15, "kiosk mode to end")
        log("restart: kiosk mode ended")

        # A quit asked for by the system writes the preferences as well.
        self.app.send_signal(signal.SIGTERM)
        self.wait_for_exit("restart")
        stored = check_four_keys(self.prefs, "restart")
        check(stored["filterstate"][0] == state, "restart: the engine state came back changed")
        check((stored["windowx"][0], stored["windowy"][0]) == moved_to,
              f"restart: the stored position changed from {moved_to} to {stored['windowx'][0]}, {stored['windowy'][0]}")

        # 4. A move saved while the program runs survives a kill.
        self.procs.stop(jack)
        wid = self.start_app("killed")
        # Moved once the window manager has framed it in its place, the user's move counts at once.
        wait_until(lambda: self.geometry(wid)[:2] == position[:2], 15, f"the window to return to {position[:2]}")
        # Without --sync, which has waited for ever in a fresh system; the move is asked again until it shows.
        framed = position

        def moved():
            code, _ = self.procs.run(["xdotool", "windowmove", str(wid), "150", "100"], 10)
            check(code == 0, "xdotool could not move the window")
            try:
                return wait_until(lambda: (lambda g: g if g[:2] != framed[:2] else None)(self.geometry(wid)), 5,
                                  "the window to move")
            except Failure:
                return None

        position = wait_until(moved, 20, "the window to move")
        wait_until(lambda: (lambda v: (v["windowx"][0], v["windowy"][0]) != moved_to)(read_prefs(self.prefs)), 15,
                   "the move to reach the preferences")
        self.app.kill()
        self.app.wait(timeout=10)
        self.procs.stop(self.app)
        stored = check_four_keys(self.prefs, "killed")
        check(stored["filterstate"][0] == state, "killed: the engine state changed")
        log(f"killed: the preferences keep the move to {position[:2]}")

        wid = self.start_app("after the kill")
        wait_until(lambda: self.geometry(wid)[:2] == position[:2], 15, f"the window to return to {position[:2]}")
        self.procs.stop(self.app)


# ------------------------------------------------------------------------------
def play_tones(client_name, tones):
    """Plays the (frequency, amplitude) tones, one on each output port, until terminated; its own process, so
    that it is ended by id. Frequencies are whole multiples of 10 Hz."""
    import jack

    client = jack.Client(client_name, no_start_server=True)
    rate, block = client.samplerate, client.blocksize
    # A tenth of a second holds whole cycles of every tone; repeated so that a block never wraps.
    period = rate // 10
    repeats = block // period + 2
    tables = []
    for frequency, amplitude in tones:
        cycle = [amplitude * math.sin(2.0 * math.pi * frequency * i / rate) for i in range(period)]
        tables.append(array.array("f", cycle).tobytes() * repeats)
    ports = [client.outports.register(f"out_{n + 1}") for n in range(len(tones))]
    position = 0

    @client.set_process_callback
    def process(frames):
        nonlocal position
        start = 4 * position
        for port, table in zip(ports, tables):
            port.get_buffer()[:] = table[start:start + 4 * frames]
        position = (position + frames) % period

    ended = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: ended.set())
    with client:
        ended.wait(RUN_LIMIT_S)
    return 0


def namespace_command():
    """unshare's arguments for a private mount namespace. A user gets the right to mount there from a user
    namespace that keeps the user's id."""
    if os.geteuid() == 0:
        return ["unshare", "--mount", "--propagation", "private"]
    return ["unshare", "--user", "--map-current-user", "--keep-caps", "--mount", "--propagation", "private"]


def enter_private_namespace():
    """Re-runs this script in a mount namespace of its own and returns its exit code."""
    unshare = namespace_command()
    probe = subprocess.run(unshare + ["true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
    if probe.returncode != 0:
        print("SKIPPED: no private mount namespace is possible here, so the test's JACK server would share "
              "/dev/shm with this user's other JACK servers (and as root the program would write the real /opt); "
              "not running it.", flush=True)
        return SKIP
    env = dict(os.environ, **{NAMESPACE_MARK: "1"})
    child = subprocess.Popen(unshare + [sys.executable] + sys.argv, env=env)
    try:
        return child.wait(timeout=RUN_LIMIT_S + 20)
    except (subprocess.TimeoutExpired, Failure):
        # The inner run ends its own processes when terminated.
        child.terminate()
        try:
            child.wait(timeout=20)
        except subprocess.TimeoutExpired:
            child.kill()
            child.wait(timeout=10)
        return 1


def keeping_shared_jack_folder(run):
    """Returns run()'s exit code, or a failure if the user's JACK folder in /dev/shm, or anything in it, is gone
    afterwards. A missing folder is made for the run and removed after it if it is still empty."""
    folder = f"/dev/shm/jack_db-{os.getuid()}"
    made = False
    if not os.path.isdir(folder):
        try:
            os.mkdir(folder, 0o750)
            made = True
        except FileExistsError:  # a JACK server of this user made it just now
            pass
    before = set(os.listdir(folder))
    result = run()
    if not os.path.isdir(folder):
        # An empty folder that another run made may go with that run.
        lost = folder if made or before else ""
    else:
        lost = ", ".join(sorted(before - set(os.listdir(folder))))
        lost = lost and f"{lost} from {folder}"
        if made:
            try:
                os.rmdir(folder)
            except OSError:  # a JACK server of this user has come up meanwhile
                pass
    if lost:
        print(f"FAILED: the test's JACK server removed {lost}, which every JACK server of this user shares",
              flush=True)
        return 1
    return result


def drop_capabilities():
    """Ends the capabilities kept from the user namespace, so that the programs started here run as the user."""
    pr_cap_ambient, pr_cap_ambient_clear_all = 47, 4
    if ctypes.CDLL(None, use_errno=True).prctl(pr_cap_ambient, pr_cap_ambient_clear_all, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "could not clear the ambient capabilities")


def raise_on_signal(number, _frame):
    raise Failure(f"terminated by signal {number}")


def tone_player_command(client_name, tones):
    """The command line of a tone player for the (frequency, amplitude) tones."""
    return [sys.executable, os.path.abspath(__file__), "play-tones", client_name] + \
        [f"{frequency:g}:{amplitude!r}" for frequency, amplitude in tones]


def main():
    if sys.argv[1:2] == ["play-tones"]:
        tones = [(float(f), float(a)) for f, a in (t.split(":") for t in sys.argv[3:])]
        return play_tones(sys.argv[2], tones or [(f, TONE_AMPLITUDE) for f in TONES_HZ])

    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--make-state", required=True)
    return run_isolated(parser.parse_args(), SystemTest)


def print_log_tails(folder, lines=25):
    """Prints the end of every log in folder: where the folder goes with the machine it is on, as in CI, the
    output is all that is left."""
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".log")):
        with open(os.path.join(folder, name), "rb") as f:
            tail = f.read().decode(errors="replace").splitlines()[-lines:]
        print(f"---- {name}, last {len(tail)} lines" + "".join("\n    " + line for line in tail), flush=True)


def run_isolated(args, test_class, tools=()):
    """Runs test_class(args, workdir, common_root).run() in a private mount namespace with its own /dev/shm and
    common application-data folder; returns the exit code (SKIP when no such namespace can be made). tools: what
    the test needs beyond the harness's own programs."""
    for tool in ("Xvfb", "openbox", "wmctrl", "xdotool", "jackd", "jack_wait", "jack_lsp", "jack_connect",
                 "jack-record", "import", "identify", "unshare", "mount") + tuple(tools):
        if shutil.which(tool) is None:
            print(f"FAILED: {tool} is missing (scripts/setup.sh installs it)", flush=True)
            return 1
    try:
        import jack  # noqa: F401  (the tone player's)
    except ImportError:
        print(f"FAILED: {sys.executable} cannot load the JACK client module (scripts/setup.sh installs "
              "python3-jack-client)", flush=True)
        return 1

    # A time-out or Ctrl+C still ends every process started here.
    signal.signal(signal.SIGTERM, raise_on_signal)
    signal.signal(signal.SIGINT, raise_on_signal)

    if not os.environ.get(NAMESPACE_MARK):
        return keeping_shared_jack_folder(enter_private_namespace)

    workdir = tempfile.mkdtemp(prefix="zelx-system-")
    subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=1777,nosuid,nodev", "tmpfs", "/dev/shm"], check=True,
                   timeout=10)
    common_root = "/opt"
    if os.geteuid() == 0:
        private_opt = os.path.join(workdir, "opt")
        os.makedirs(private_opt)
        subprocess.run(["mount", "--bind", private_opt, common_root], check=True, timeout=10)
    else:
        drop_capabilities()
        if os.access(common_root, os.W_OK):
            print("SKIPPED: /opt is writable for this user but cannot be made private; not running the program.")
            shutil.rmtree(workdir, ignore_errors=True)
            return SKIP

    test = test_class(args, workdir, common_root)
    try:
        test.run()
    except (Failure, subprocess.TimeoutExpired, OSError, ET.ParseError) as error:
        log(f"FAILED: {error}")
        if test.app is not None and test.app.poll() is None:
            log("the program was still running")
        log(f"logs and files are kept in {workdir}")
        print_log_tails(workdir)
        return 1
    finally:
        test.procs.stop_all()

    log(f"PASSED in {time.monotonic() - started:.1f} s")
    shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
