#!/usr/bin/env python3
"""System test of the audio device settings, on the harness of system_test.py.

On a private virtual display with a private JACK server (dummy driver, six
capture and six playback ports) and a tone player "zelxsrc" (six tones on six
ports), the program's main window is started with its "Audio Settings" dialog
open (device_selector_window, the program's own window class and preferences).
With real mouse clicks and key presses (xdotool) the test:

1. takes input channel 6 for slot L (after setting RS to none) and sets the
   output of RS to none; checks with "jack_lsp -c" that exactly the chosen
   channels are connected, and with a recorded tone that input 6 now comes out
   on output 1 and output 6 is silent;
2. chooses the tone player as input device: its six ports feed the inputs and
   the input layout is back to the identity, so each output carries its own
   tone (output 6 still silent); closes the dialog and quits;
   (then, in a second run of the dialog, it chooses ALSA from the type box's list
   with the mouse and checks that the closed list leaves no trace on screen; in a
   third, it switches the device type to ALSA,
   whose null device the test declares with a name hint, chooses another buffer
   size there and checks what is stored);
3. checks "audioSetup" and "filterState" in the preferences, restarts the real
   program and checks that the stored setup is opened and routes as before;
4. starts the dialog on a stored setup naming channels JACK does not have,
   checks what is opened, then stops the JACK server under the open dialog:
   the program must tell it in a box, stay alive and responsive, open the
   same channels by itself once the server is back, quit cleanly and keep
   the layouts, and open the same channels again at the next start.

Every choice is made as a user makes it with the keyboard: a click gives the box
the keyboard focus, which the box shows with a thicker outline, and the arrow
keys move its choice. A click is repeated until the box shows the focus, and a
choice is taken as made once the box shows another item. The box's list, which
the click may open, is not relied on: on a loaded machine it may close at once
or stay open, and the arrow keys that move the choice reach the box either way.
"""

import argparse
import os
import sys
import time

import system_test
from system_test import CLIENT, Failure, check, log, wait_until

DIALOG_TITLE = "^Audio Settings$"
STOP_BOX_TITLE = "^Audio device stopped$"
IDENTITY = "0;1;2;3;4;5;"

# Centres of the boxes in the dialog's 615 x 610 selector (a type box above, so
# the settings panel starts at y = 57; boxes are 24 high): input device box,
# and the six channel boxes of the input and output selectors, 30 apart.
INPUT_DEVICE_BOX = (206, 169)
INPUT_CHANNEL_X, OUTPUT_CHANNEL_X, FIRST_CHANNEL_Y, CHANNEL_STEP = 205, 470, 259, 30
SLOT_L, SLOT_RS = 0, 5
TYPE_BOX = (307, 27)
# Between the type box and the settings panel, where the box's list opens: the dialog's black ground once the
# list has closed. The list's first item (ALSA) lies over it.
TYPE_LIST_GAP = (220, 41, 175, 14)
FIRST_TYPE_ITEM = (307, 51)
GROUND = 8
# A list takes no click in its first quarter of a second.
LIST_DEAF_S = 0.5
ALSA_BUFFER_SIZE_BOX = (206, 229)
# An empty spot of the dialog: a click there closes a list that is open, and does nothing else.
EMPTY_SPOT = (50, 100)

# The boxes of the settings panel have a one-pixel outline, two pixels wide while the box has the keyboard
# focus, in this colour; their background is light grey. (The type box above the panel shows no focus.)
BOX_HALF_HEIGHT = 12
OUTLINE = (0x3e, 0x45, 0x4d)
# The part of a box that shows its item: inside the outline, left of the arrows.
ITEM_AREA = (-90, -8, 150, 16)

# A device of the test's own for the framework's ALSA type, which lists the
# devices that ALSA's name hints show.
ALSA_NULL_DEVICE = """pcm.zelxnull {
    type null
    hint {
        show on
        description "ZELX null device"
    }
}
"""

# Only the outputs the program opened are recorded: the framework's JACK device
# takes a port that another client connects to as opened, and the settings
# panel, on the device's next change, opens its chosen set again, which drops
# every connection. Output 6 is checked to be unconnected instead.
OPEN_OUTPUTS_FROM_INPUT_6 = (5, 1, 2, 3, 4)
OPEN_OUTPUTS_OWN = (0, 1, 2, 3, 4)


def channel_box(x, slot):
    return x, FIRST_CHANNEL_Y + slot * CHANNEL_STEP


class DeviceTest(system_test.SystemTest):
    def prefs_text(self, setup_attributes, filter_state):
        return ('<?xml version="1.0" encoding="UTF-8"?>\n<PROPERTIES>\n'
                f'  <VALUE name="audioSetup"><DEVICESETUP deviceType="JACK" {setup_attributes}/></VALUE>\n'
                f'  <VALUE name="filterState" val="{filter_state}"/>\n'
                '</PROPERTIES>\n')

    def write_prefs(self, setup_attributes, filter_state):
        os.makedirs(self.prefs_dir, exist_ok=True)
        with open(self.prefs, "w", encoding="utf-8") as f:
            f.write(self.prefs_text(setup_attributes, filter_state))

    def make_state(self, inputs, outputs):
        code, state = self.procs.run([self.args.make_state, inputs, outputs], 20)
        check(code == 0 and state.strip(), "make_filter_state failed")
        return state.strip()

    def connections(self):
        """Every JACK port with the set of ports it is connected to."""
        code, out = self.procs.run(["jack_lsp", "-c"], 5)
        check(code == 0, "jack_lsp -c failed")
        ports, current = {}, None
        for line in out.splitlines():
            if not line.strip():
                continue
            if line[0].isspace():
                ports[current].add(line.strip())
            else:
                current = line.strip()
                ports[current] = set()
        return ports

    def wait_for_connections(self, wanted, what):
        """Waits until the program's ports are connected exactly as wanted (port suffix -> set of peers)."""
        def matches():
            ports = self.connections()
            return all(ports.get(f"{CLIENT}:{port}") == peers for port, peers in wanted.items())


        try:
            wait_until(matches, 20, f"{what}: the program's JACK connections")
        except Failure:
            own = {p: c for p, c in self.connections().items() if p.startswith(CLIENT + ":")}
            raise Failure(f"{what}: the program's JACK connections are {own}, wanted {wanted}")
        log(f"{what}: JACK connections as chosen")

    def start_selector_window(self, what):
        self.app = self.procs.start("selector-" + what, [self.args.selector_window])

        seen = {}

        def find_dialog():
            """The dialog once it has its size; it is looked for anew each time, since the framework may give
            it another native window meanwhile."""
            check(self.app.poll() is None, f"{what}: the program ended early with code {self.app.returncode}")
            code, out = self.procs.run(["xdotool", "search", "--onlyvisible", "--name", DIALOG_TITLE], 5)
            for wid in (out.split() if code == 0 else []):
                code, geometry = self.procs.run(["xdotool", "getwindowgeometry", "--shell", wid], 5)
                seen[wid] = geometry.split()
                if code == 0 and "WIDTH=615" in seen[wid] and "HEIGHT=610" in seen[wid]:
                    return wid
            return None

        try:
            dialog = int(wait_until(find_dialog, 40, f"{what}: the Audio Settings dialog at 615 x 610"))
        except Failure:
            raise Failure(f"{what}: no Audio Settings dialog at 615 x 610; seen {seen}")
        # The windows that are not lists: the program's two, the window manager's.
        self.windows = self.top_windows()
        log(f"{what}: dialog {dialog:#x} is up")
        return dialog

    def close_stop_box(self, what):
        """Waits for the box that tells of the stopped device and closes it with its default key, again
        where a key press is lost on a loaded machine. The box takes the keyboard only when clicked."""
        def find_box():
            code, out = self.procs.run(["xdotool", "search", "--onlyvisible", "--name", STOP_BOX_TITLE], 5)
            return out.split()[0] if code == 0 and out.split() else None

        box = wait_until(find_box, 20, f"{what}: the box that tells of the stopped device")
        log(f"{what}: the stopped device is told")
        self.screenshot("dialog-device-gone")
        def has_keyboard():
            code, out = self.procs.run(["xdotool", "getwindowfocus"], 5)
            return code == 0 and out.strip() == box

        for _ in range(3):
            self.procs.run(["xdotool", "mousemove", "--window", box, "20", "20", "click", "1"], 10)
            try:
                wait_until(has_keyboard, 10, f"{what}: the clicked box to take the keyboard")
            except Failure:
                log(f"{what}: the click on the box was lost; clicking again")
                continue
            self.procs.run(["xdotool", "key", "--clearmodifiers", "Return"], 5)
            try:
                wait_until(lambda: not find_box(), 10, f"{what}: the box to close")
                return
            except Failure:
                log(f"{what}: the box is still there; pressing Return again")
        raise Failure(f"{what}: the box that tells of the stopped device does not close")

    def main_window(self):
        code, out = self.procs.run(["xdotool", "search", "--onlyvisible", "--name", system_test.WINDOW_TITLE], 5)
        check(code == 0 and out.split(), "the main window is gone")
        return int(out.split()[0])

    def screenshot(self, name):
        shot = os.path.join(self.workdir, name + ".png")
        code, out = self.procs.run(["import", "-window", "root", shot], 20)
        check(code == 0, f"the screenshot failed: {out}")
        log(f"screenshot {shot}")

    def has_focus(self, dialog, box):
        """Whether a box of the settings panel shows the keyboard focus: its second row of pixels is outline."""
        row = self.pixels(dialog, box[0] - 60, box[1] - BOX_HALF_HEIGHT + 1, 120, 1)
        return all(abs(row[i + c] - OUTLINE[c]) <= 8 for i in range(0, len(row), 3) for c in range(3))

    def shown_item(self, dialog, box):
        x, y, width, height = ITEM_AREA
        return self.pixels(dialog, box[0] + x, box[1] + y, width, height)

    def press(self, dialog, *keys):
        self.activate(dialog)
        for key in keys:
            code, _ = self.procs.run(["xdotool", "key", "--clearmodifiers", key], 5)
            check(code == 0, f"xdotool could not press {key}")

    def top_windows(self):
        code, out = self.procs.run(["xdotool", "search", "--onlyvisible", "--maxdepth", "1", "--name", ""], 5)
        return set(out.split()) if code == 0 else set()

    def activate(self, dialog):
        code, _ = self.procs.run(["xdotool", "windowactivate", "--sync", str(dialog)], 10)
        check(code == 0, "xdotool could not activate the dialog")

    def click(self, dialog, point):
        self.activate(dialog)
        code, _ = self.procs.run(["xdotool", "mousemove", "--window", str(dialog), str(point[0]), str(point[1]),
                                  "click", "1"], 5)
        check(code == 0, "xdotool could not click")

    def close_lists(self, dialog):
        """Closes a list that a click left open, with a click beside it, which would close it on a user's
        screen too."""
        for _ in range(3):
            if not self.top_windows() - self.windows:
                return
            self.click(dialog, EMPTY_SPOT)
            try:
                wait_until(lambda: not self.top_windows() - self.windows, 10, "an open list to close")
                return
            except Failure:
                log("an open list is still there; clicking beside it again")
        raise Failure(f"a list or box stays open: windows {self.top_windows() - self.windows}")

    def focus(self, dialog, box, focus_shown=True):
        """Clicks a box until it has the keyboard focus, which a box of the settings panel shows, and so does its
        list when the click leaves it open (a list may cover its box). A click can be lost on a loaded machine.
        Of a box that shows no focus only one click is made."""
        for attempt in range(1, 5):
            self.click(dialog, box)
            if not focus_shown:
                return
            try:
                wait_until(lambda: self.top_windows() - self.windows or self.has_focus(dialog, box), 8,
                           f"the box at {box} to take the focus")
                return
            except Failure:
                log(f"the box at {box} shows no focus after click {attempt}; clicking again")
        raise Failure(f"the box at {box} did not take the focus after 4 clicks")

    def choose(self, dialog, box, steps, focus_shown=True):
        """Moves a box's choice right (down its list) by as many enabled items, left (up) when steps is negative,
        and waits until the box shows the new item. The arrow keys reach a box whose list is open as well.
        focus_shown: whether the box shows the keyboard focus (those of the settings panel do); for another box
        the click and the keys are repeated while its item stays the same, so its choice must be one that
        repeating cannot overshoot."""
        self.close_lists(dialog)
        before = self.shown_item(dialog, box)
        for attempt in range(1, 5):
            self.focus(dialog, box, focus_shown)
            self.press(dialog, *(["Right" if steps > 0 else "Left"] * abs(steps)))
            self.close_lists(dialog)
            try:
                wait_until(lambda: self.shown_item(dialog, box) != before, 15 if focus_shown else 5,
                           f"the box at {box} to show another item")
                return
            except Failure:
                if focus_shown:
                    raise
                log(f"the box at {box} still shows its item after try {attempt}")
        raise Failure(f"the box at {box} kept its item")

    def choose_first_type_from_list(self, dialog):
        """Opens the type box's list with a click and clicks its first item, as a user does with the mouse; again
        where a loaded machine loses a click or closes the list at once. One click on the item only: any later
        event would have the window draw what the list covered anyway. Returns a reader of the screen's pixels
        over an area of the dialog (the list is a window of its own) once the JACK device is closed."""
        jack_closed = {f"in_{n}": None for n in range(1, 7)}
        for attempt in range(1, 5):
            self.close_lists(dialog)
            self.click(dialog, TYPE_BOX)
            # Where the click put the pointer tells where the dialog is on the screen.
            at = dict(line.split("=", 1) for line in self.xdotool("getmouselocation", "--shell").split()
                      if "=" in line)
            left, top = int(at["X"]) - TYPE_BOX[0], int(at["Y"]) - TYPE_BOX[1]

            def on_screen(x, y, width, height):
                return self.pixels("root", left + x, top + y, width, height)

            try:
                wait_until(lambda: max(on_screen(*FIRST_TYPE_ITEM, 1, 1)) > GROUND, 8, "the type list")
                # No activation first: the open list has the pointer and the keys.
                self.xdotool("mousemove", "--window", dialog, *FIRST_TYPE_ITEM)
                time.sleep(LIST_DEAF_S)
                self.xdotool("click", 1)
                wait_until(lambda: not self.top_windows() - self.windows, 5, "the type list to close")
                self.wait_for_connections(jack_closed, "type list: the JACK device closed")
                return on_screen
            except Failure as failure:
                log(f"the first type was not chosen from the list on try {attempt}: {failure}")
        raise Failure("the first type could not be chosen from the type box's list")

    def close_dialog(self, dialog, what):
        """Escape closes the dialog, once no list takes the key instead."""
        def closed():
            return self.procs.run(["xdotool", "search", "--onlyvisible", "--name", DIALOG_TITLE], 5)[0] != 0

        for _ in range(3):
            self.close_lists(dialog)
            self.press(dialog, "Escape")
            try:
                wait_until(closed, 10, f"{what}: the dialog to close on Escape")
                return
            except Failure:
                log(f"{what}: the dialog is still open; pressing Escape again")
        raise Failure(f"{what}: the dialog does not close on Escape")

    # -- the scenario ------------------------------------------------------------
    def run(self):
        self.start_display()
        # Late clients on a loaded machine would break the recorded tones.
        self.start_jack(synchronous=True)
        self.start_player("devices")
        playback = {f"out_{n}": {f"system:playback_{n}"} for n in range(1, 7)}
        capture = {f"in_{n}": {f"system:capture_{n}"} for n in range(1, 7)}

        # 1. Channels chosen in the boxes.
        self.write_prefs(f'audioOutputDeviceName="system" audioInputDeviceName="system" '
                         f'audioDeviceRate="{system_test.SAMPLE_RATE}" audioDeviceBufferSize="512"',
                         self.make_state(IDENTITY, IDENTITY))
        dialog = self.start_selector_window("channels")
        self.wait_for_connections({**capture, **playback}, "channels: at start")
        self.screenshot("dialog-at-start")

        self.choose(dialog, channel_box(INPUT_CHANNEL_X, SLOT_RS), 1)  # channel 6 -> none
        self.choose(dialog, channel_box(INPUT_CHANNEL_X, SLOT_L), 1)  # channel 1 -> 6, skipping 2-5 (held)
        self.choose(dialog, channel_box(OUTPUT_CHANNEL_X, SLOT_RS), 1)  # channel 6 -> none
        self.wait_for_connections({**capture, "in_1": set(), **playback, "out_6": set()}, "channels: chosen")
        self.screenshot("dialog-channels-chosen")
        for n in range(2, 7):
            code, out = self.procs.run(["jack_connect", f"zelxsrc:out_{n}", f"{CLIENT}:in_{n}"], 5)
            check(code == 0, f"could not connect the player to input {n}: {out}")
        self.record("channels", expected=OPEN_OUTPUTS_FROM_INPUT_6)

        # 2. Another input device: the tone player itself.
        self.choose(dialog, INPUT_DEVICE_BOX, 1)
        from_player = {f"in_{n}": {f"zelxsrc:out_{n}"} for n in range(1, 7)}
        self.wait_for_connections({**from_player, **playback, "out_6": set()}, "device: the player")
        self.screenshot("dialog-device-chosen")
        self.record("device", expected=OPEN_OUTPUTS_OWN)

        self.close_dialog(dialog, "device")
        self.close_window(self.main_window(), "device")

        # 3. What is stored, and a restart of the real program with it.
        state = self.make_state(IDENTITY, "0;1;2;3;4;-1;")
        stored = system_test.read_prefs(self.prefs)
        setup = stored["audiosetup"][1]
        check(setup is not None, "no audioSetup stored")
        wanted = {"deviceType": "JACK", "audioOutputDeviceName": "system", "audioInputDeviceName": "zelxsrc",
                  "audioDeviceInChans": "111111", "audioDeviceOutChans": "11111"}
        for name, value in wanted.items():
            check(setup.get(name) == value, f"stored audioSetup has {name}={setup.get(name)!r}, wanted {value!r}")
        check(stored["filterstate"][0] == state, "the stored layouts are not the ones chosen")
        log(f"stored setup: {setup.attrib}")

        self.start_app("restart")
        self.wait_for_connections({**from_player, **playback, "out_6": set()}, "restart")
        self.record("restart", expected=OPEN_OUTPUTS_OWN)
        self.close_window(self.main_window(), "restart")

        # 3a. The other device type chosen from the type box's list with the mouse, from JACK's silent inputs and
        # before ALSA has a device here, so that nothing else is drawn after the switch (falling meters would be):
        # the closed list leaves no trace.
        with open(self.prefs, "rb") as f:
            kept = f.read()
        self.write_prefs(f'audioOutputDeviceName="system" audioInputDeviceName="system" '
                         f'audioDeviceRate="{system_test.SAMPLE_RATE}" audioDeviceBufferSize="512"',
                         self.make_state(IDENTITY, IDENTITY))
        dialog = self.start_selector_window("type list")
        on_screen = self.choose_first_type_from_list(dialog)  # JACK -> ALSA
        try:
            wait_until(lambda: max(on_screen(*TYPE_LIST_GAP)) <= GROUND, 10,
                       "type list: the dialog's ground where the list was")
        finally:
            self.screenshot("dialog-type-list-closed")
        self.close_dialog(dialog, "type list")
        self.close_window(self.main_window(), "type list")
        with open(self.prefs, "wb") as f:
            f.write(kept)

        # 3b. The other device type, ALSA with a null device of the test's own, and another buffer size there.
        with open(os.path.join(self.home, ".asoundrc"), "w", encoding="utf-8") as f:
            f.write(ALSA_NULL_DEVICE)
        dialog = self.start_selector_window("alsa")
        self.choose(dialog, TYPE_BOX, -1, focus_shown=False)  # JACK -> ALSA, the first type
        self.wait_for_connections({f"in_{n}": None for n in range(1, 7)}, "alsa: the JACK device closed")
        self.screenshot("dialog-alsa")
        self.choose(dialog, ALSA_BUFFER_SIZE_BOX, 1)
        self.screenshot("dialog-alsa-buffer")
        self.close_dialog(dialog, "alsa")
        self.close_window(self.main_window(), "alsa")
        setup = system_test.read_prefs(self.prefs)["audiosetup"][1]
        log(f"alsa: stored setup {setup.attrib}")
        # The framework's ALSA list of buffer sizes has 576 after 512.
        wanted = {"deviceType": "ALSA", "audioOutputDeviceName": "ZELX null device",
                  "audioInputDeviceName": "ZELX null device", "audioDeviceBufferSize": "576"}
        for name, value in wanted.items():
            check(setup.get(name) == value, f"alsa: stored {name}={setup.get(name)!r}, wanted {value!r}")

        # 4. Channels the device lacks, then the device vanishes under the open dialog.
        self.write_prefs(f'audioOutputDeviceName="system" audioInputDeviceName="system" '
                         f'audioDeviceRate="{system_test.SAMPLE_RATE}" audioDeviceBufferSize="512" '
                         'audioDeviceInChans="110000000"', self.make_state("7;0;1;2;3;4;", IDENTITY))
        dialog = self.start_selector_window("vanishing")
        self.wait_for_connections({**capture, "in_6": set(), **playback}, "absent channels")
        self.screenshot("dialog-absent-channels")

        jackd = next(proc for name, proc in self.procs.running if name == "jackd")
        player = next(proc for name, proc in self.procs.running if name == "player-devices")
        self.procs.stop(player)
        self.procs.stop(jackd)
        log("vanishing: the JACK server is stopped")
        self.close_stop_box("vanishing")
        check(self.app.poll() is None, f"vanishing: the program ended with code {self.app.returncode}")
        self.focus(dialog, INPUT_DEVICE_BOX)
        # The server back under its name: the same channels open again by themselves.
        self.start_jack(synchronous=True)
        self.wait_for_connections({**capture, "in_6": set(), **playback}, "server back, reopened")
        self.close_dialog(dialog, "vanishing (the window answers)")
        self.close_window(self.main_window(), "vanishing")
        stored = system_test.check_four_keys(self.prefs, "vanishing")
        check(stored["filterstate"][0] == self.make_state("-1;0;1;2;3;4;", IDENTITY),
              "vanishing: the layouts were not kept when the device went away")

        # Nothing lost: a restart opens the same channels.
        self.start_app("server back")
        self.wait_for_connections({**capture, "in_6": set(), **playback}, "server back")
        self.close_window(self.main_window(), "server back")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--make-state", required=True)
    parser.add_argument("--selector-window", required=True)
    return system_test.run_isolated(parser.parse_args(), DeviceTest)


if __name__ == "__main__":
    sys.exit(main())
