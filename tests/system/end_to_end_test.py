#!/usr/bin/env python3
"""End-to-end test of the meter, driven only as a user would drive it.

The real program runs on a private virtual display against a private JACK server
on its dummy driver (the environment of system_test.py), started as a first start
on JACK is: the preferences hold the JACK device setup and no engine state, so
the engine takes the device's channels in order. A JACK client plays a
1 kHz sine into inputs 1 and 2 (left and right); xdotool presses keys and clicks
buttons; a TCP client on 127.0.0.1 reads the remote bundle. In order:

1. once the sine runs, the reset button clears the readings and the space bar
   starts a measurement;
2. in the settings view a port typed into the port field and the connect button
   switch the remote server on; a client connects and reads momentary,
   short-term and integrated loudness of -23.0 LUFS, a true peak of -23.0 dBTP
   on both channels and a loudness range of 0.0 LU from the bundle;
3. a screenshot of the meter view shows the same read-outs (read back by OCR)
   and is kept as meter.png in the screenshot folder;
4. a click on the start button stops the measurement; the CSV log and the XML
   report are in the log folder and carry those values;
5. the reports view lists the report, and selecting it shows its name and
   integrated loudness;
6. with the lock on, a click on the start button changes nothing;
7. the window's close button quits, the remote client is let go, and the
   preferences hold the four keys, the engine state with its default settings
   and the channels in order on both sides.

Exit code 77 means skipped (see system_test.py).
"""

import argparse
import glob
import math
import os
import re
import shutil
import socket
import struct
import sys
import threading
import time
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import system_test as harness  # noqa: E402
from system_test import Failure, check, log, wait_until  # noqa: E402

harness.RUN_LIMIT_S = 100

# A sine of peak amplitude A in L and R, both of channel weight 1, reads
# -0.691 + 10 log10(2 * g^2 * A^2 / 2) LUFS, with g the K-weighting gain at the
# tone's frequency. The -0.691 cancels g at 997 Hz; at 1000 Hz g is 0.698 dB
# (0.0067 dB more), so the loudness is 20 log10(A) + 0.007. The true peak is
# 20 log10(A) plus the interpolation filter's gain at 1 kHz, 0.009 dB at most.
# A peak of -23 dBFS in each channel therefore reads -23.0 LUFS momentary,
# short-term and integrated, and -23.0 dBTP on both channels.
TONE_HZ = 1000.0
TONE_LEVEL_DB = -23.0
TONE_AMPLITUDE = 10.0 ** (TONE_LEVEL_DB / 20.0)
EXPECTED = "-23.0"
# Between the reset and the start: the meters settle on the sine. (A measurement's loudness windows begin with
# its first block.)
TONE_LEAD_S = 1.0

LAYOUT = "0;1;2;3;4;5;"
LOG_FOLDER = os.path.join(".config", "Tamvo", "ZELX")  # below the home folder

EDITOR = (1024, 768)
# Points of the editor (x, y).
START_BUTTON = (282, 50)
RESET_BUTTON = (396, 50)
METERS_BUTTON = (282, 50)  # in the other views, in the start button's place
SETTINGS_BUTTON = (510, 50)
REPORTS_BUTTON = (624, 50)
LOCK_BUTTON = (738, 50)
PORT_FIELD = (668, 528)
CONNECT_BUTTON = (837, 528)
# The first row of the report list, and the selected report's title and integrated loudness (x, y, width, height).
FIRST_REPORT = (60, 136, 150, 8)
FOLDER_FIELD = (330, 135, 120, 10)  # the reports view's folder field, light grey where the meter view is black
REPORT_TITLE = (265, 170, 500, 20)
REPORT_INTEGRATED = (265, 200, 420, 20)

# Read-outs of the meter view (x, y, width, height).
READOUTS = {
    "momentary": (42, 672, 101, 24),
    "short-term": (227, 434, 76, 25),
    "integrated": (227, 314, 76, 25),
    "loudness range": (227, 554, 76, 24),
    "true peak L": (671, 675, 48, 17),
    "true peak R": (726, 675, 48, 17),
}
INTEGRATED_IN_TARGET = (0x81, 0xca, 0x2f)  # the integrated read-out's green
LOCK_BANNER = (210, 0, 500, 110)

FRAME_MAGIC = 0xF2B49E2C
BUNDLE_SIZE = 1900


# ------------------------------------------------------------------------------
def read_padded_string(data, offset):
    end = data.index(b"\0", offset)
    return data[offset:end].decode("ascii"), (end + 4) & ~3


def parse_bundle(data):
    """The remote bundle as a dict of address -> value, in order."""
    check(data[:8] == b"#bundle\0", "the remote payload is not an OSC bundle")
    offset, values = 16, {}
    while offset < len(data):
        (size,) = struct.unpack_from(">i", data, offset)
        message = data[offset + 4:offset + 4 + size]
        offset += 4 + size
        address, position = read_padded_string(message, 0)
        tags, position = read_padded_string(message, position)
        check(len(tags) == 2 and tags[0] == ",", f"{address}: unexpected type tags {tags!r}")
        tag = tags[1]
        if tag == "f":
            value = struct.unpack_from(">f", message, position)[0]
        elif tag == "i":
            value = struct.unpack_from(">i", message, position)[0]
        elif tag == "d":
            value = struct.unpack_from(">d", message, position)[0]
        else:
            check(tag in "TF", f"{address}: unexpected type tag {tag!r}")
            value = tag == "T"
        values[address] = value
    return values


class RemoteClient:
    """A remote-control client: a TCP connection whose own thread reads the framed bundles as they come, so
    that the server never waits on it and a check always sees a bundle sent after it began."""

    def __init__(self, port, limit_s):
        def connect():
            try:
                return socket.create_connection(("127.0.0.1", port), timeout=2)
            except OSError:
                return None

        self.socket = wait_until(connect, limit_s, f"the remote server to accept a connection on port {port}")
        self.socket.settimeout(None)
        self.changed = threading.Condition()
        self.received = 0
        self.latest = None
        self.error = None
        self.closed = False
        self.reader = threading.Thread(target=self.read_all, daemon=True)
        self.reader.start()

    def read_exactly(self, count):
        data = b""
        while len(data) < count:
            chunk = self.socket.recv(count - len(data))
            if not chunk:
                raise EOFError
            data += chunk
        return data

    def read_all(self):
        try:
            while True:
                magic, size = struct.unpack("<II", self.read_exactly(8))
                check(magic == FRAME_MAGIC, f"the frame's magic number is {magic:#x}")
                check(size == BUNDLE_SIZE, f"the bundle is {size} bytes, not {BUNDLE_SIZE}")
                values = parse_bundle(self.read_exactly(size))
                check(len(values) == 52, f"the bundle carries {len(values)} messages, not 52")
                with self.changed:
                    self.latest, self.received = values, self.received + 1
                    self.changed.notify_all()
        except (EOFError, OSError):
            pass
        except Failure as error:
            self.error = error
        with self.changed:
            self.closed = True
            self.changed.notify_all()

    def next_bundle(self, limit_s=5):
        """The first bundle that arrives from now on."""
        with self.changed:
            seen = self.received
            self.changed.wait_for(lambda: self.received > seen or self.closed, limit_s)
            if self.error:
                raise self.error
            check(self.received > seen, "no bundle from the remote server" +
                  (": it closed the connection" if self.closed else f" within {limit_s} s"))
            return self.latest

    def is_closed_by_server(self, limit_s):
        with self.changed:
            return self.changed.wait_for(lambda: self.closed, limit_s)


def tenth(value):
    """A level as the meter rounds it for display (floor(x * 10 + 0.5) / 10)."""
    return f"{math.floor(value * 10.0 + 0.5) / 10.0:.1f}"


def free_port():
    with socket.socket() as s:
        s.bind(("", 0))
        return s.getsockname()[1]


# ------------------------------------------------------------------------------
class EndToEndTest(harness.SystemTest):
    def __init__(self, args, workdir, common_root):
        super().__init__(args, workdir, common_root)
        self.log_folder = os.path.join(self.home, LOG_FOLDER)
        self.remote = None
        self.origin = (0, 0)

    # -- user actions ------------------------------------------------------------
    def find_editor(self, wid):
        """Where the editor sits in the window: centred, when the window is larger."""
        width, height = self.geometry(wid)[2:]
        check(width >= EDITOR[0] and height >= EDITOR[1], f"the window is {width} x {height}, smaller than the editor")
        self.origin = ((width - EDITOR[0]) // 2, (height - EDITOR[1]) // 2)
        log(f"window {width} x {height}, editor at {self.origin}")

    def click(self, wid, point):
        x, y = self.origin[0] + point[0], self.origin[1] + point[1]
        # No --sync: it would wait for ever when the pointer is already there.
        self.xdotool("mousemove", "--window", wid, x, y, "click", "1")
        # Let the message thread take the click and the display timer redraw.
        time.sleep(0.3)

    def key(self, wid, keys):
        self.xdotool("windowactivate", "--sync", wid)
        self.xdotool("key", "--clearmodifiers", keys)
        time.sleep(0.3)

    def screenshot(self, wid, name):
        path = os.path.join(self.workdir, name)
        code, out = self.procs.run(["import", "-window", str(wid), "-crop",
                                    f"{EDITOR[0]}x{EDITOR[1]}+{self.origin[0]}+{self.origin[1]}", "+repage", path],
                                   20)
        check(code == 0 and os.path.isfile(path), f"the screenshot failed: {out}")
        return path

    def read_text(self, shot, region, digits=True):
        """The text in one region of a screenshot, by OCR: bright text on a dark ground."""
        x, y, w, h = region
        prepared = os.path.join(self.workdir, "ocr.png")
        code, out = self.procs.run(["convert", shot, "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                                    # Coloured text is as bright as white in its strongest channel.
                                    "-separate", "-evaluate-sequence", "max", "-resize", "400%",
                                    "-threshold", "45%", "-negate", "-bordercolor", "white", "-border", "20",
                                    prepared], 20)
        check(code == 0, f"could not prepare the screenshot for OCR: {out}")
        options = ["--psm", "7", "-c", "tessedit_char_whitelist=-.0123456789"] if digits else ["--psm", "6"]
        code, out = self.procs.run(["tesseract", prepared, "stdout"] + options, 20)
        check(code == 0, f"tesseract failed: {out}")
        return out.strip()

    def brightness(self, shot, region):
        """The mean brightness of a region, 0 (black) to 1 (white)."""
        x, y, w, h = region
        code, out = self.procs.run(["convert", shot, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-format", "%[fx:mean]",
                                    "info:"], 20)
        check(code == 0, "could not read the screenshot's pixels")
        return float(out.strip())

    def has_colour(self, shot, region, colour, tolerance=8):
        x, y, w, h = region
        code, out = self.procs.run(["convert", shot, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-depth", "8",
                                    "txt:-"], 20)
        check(code == 0, "could not read the screenshot's pixels")
        for match in re.finditer(r"\((\d+),(\d+),(\d+)", out):
            if all(abs(int(match.group(i + 1)) - colour[i]) <= tolerance for i in range(3)):
                return True
        return False

    # -- checks --------------------------------------------------------------------
    def wait_for_readings(self):
        """Bundles until every reading is the expected one; returns the last bundle."""
        wanted = {"/momentaryLoudness": EXPECTED, "/shortTermLoudness": EXPECTED, "/programLoudness": EXPECTED,
                  "/truePeakValuesPerChannelL": EXPECTED, "/truePeakValuesPerChannelR": EXPECTED,
                  "/loudnessRange": "0.0"}
        last = {}

        def settled():
            values = self.remote.next_bundle()
            last.update({a: tenth(values[a]) for a in wanted})
            return values if last == wanted else None

        try:
            return wait_until(settled, 15, "the remote readings to reach -23.0")
        except Failure:
            raise Failure(f"the remote readings are {last}, not {wanted}")

    def wait_for_screen(self, wid, name, read, wanted, what):
        """Screenshots until read(shot) gives what is wanted (the display is redrawn late on a loaded machine);
        returns the last screenshot."""
        last = {}

        def shows():
            shot = self.screenshot(wid, name)
            last["read"] = read(shot)
            return shot if wanted(last["read"]) else None

        try:
            return wait_until(shows, 20, what)
        except Failure:
            raise Failure(f"{what}: the screen shows {last.get('read')!r}")

    def check_readouts(self, wid):
        """Waits until the meter view's read-outs show the tone's values; returns the screenshot."""
        wanted = {name: "0.0" if name == "loudness range" else EXPECTED for name in READOUTS}

        def read(shot):
            texts = {name: self.read_text(shot, region) for name, region in READOUTS.items()}
            texts["in the target colour"] = self.has_colour(shot, READOUTS["integrated"], INTEGRATED_IN_TARGET)
            return texts

        wanted_read = {**wanted, "in the target colour": True}
        shot = self.wait_for_screen(wid, "meter.png", read, lambda texts: texts == wanted_read,
                                    "the read-outs to show the tone's values, the integrated one in green")
        for name in READOUTS:
            log(f"screenshot: {name} read-out reads {wanted[name]!r}")
        return shot

    def reports(self):
        return sorted(glob.glob(os.path.join(self.log_folder, "*.xml")))

    def check_report(self, report):
        root = ET.parse(report).getroot()
        check(root.tag == "ZEL5.1Log", f"{report}: root element {root.tag}")
        interval = root.find("MeasurementInterval")
        for name in ("StartTime", "StopTime", "UpTime"):
            check(interval is not None and interval.find(name) is not None and interval.find(name).get("value"),
                  f"{report}: {name} is missing or empty")
        measured = root.find("IntegratedMeasurements")
        check(measured is not None, f"{report}: no IntegratedMeasurements")
        for name, unit in (("IntegratedLoudness", "LUFS"), ("MaxShortTerm", "LUFS"), ("MaxMomentary", "LUFS"),
                           ("MaxTruePeak", "dBTP"), ("LoudnessRange", "LU")):
            element = measured.find(name)
            check(element is not None, f"{report}: no {name}")
            value = "0.0" if name == "LoudnessRange" else EXPECTED
            check((element.get("value"), element.get("unit")) == (value, unit),
                  f"{report}: {name} is {element.get('value')} {element.get('unit')}, not {value} {unit}")
            if name.startswith("Max"):
                check(element.get("maxTime"), f"{report}: {name} has no time")
        log(f"report {os.path.basename(report)}: {EXPECTED} LUFS integrated, maxima {EXPECTED}, range 0.0 LU")

    def check_csv(self, report):
        path = report[:-len(".xml")] + ".csv"
        check(os.path.isfile(path), f"no CSV log beside {report}")
        with open(path, "rb") as f:
            data = f.read()
        check(data.endswith(b"\r\n"), f"{path}: the last line does not end with CR LF")
        lines = data.decode("ascii").split("\r\n")[:-1]
        check(lines[0] == "Type, Value, Date, Time", f"{path}: header {lines[0]!r}")
        counts = {"MomentaryLoudness": 0, "ShortTermLoudness": 0}
        for line in lines[1:]:
            fields = line.split(", ")
            check(len(fields) == 4 and fields[0] in counts, f"{path}: unexpected line {line!r}")
            check(fields[1] == EXPECTED, f"{path}: a value of {fields[1]} in {line!r}")
            counts[fields[0]] += 1
        check(all(counts.values()), f"{path}: lines of one kind are missing: {counts}")
        log(f"CSV log: {counts['MomentaryLoudness']} momentary and {counts['ShortTermLoudness']} short-term "
            f"values, all {EXPECTED}")

    # -- the scenario ------------------------------------------------------------
    def run(self):
        code, state = self.procs.run([self.args.make_state, LAYOUT, LAYOUT], 20)
        state = state.strip()
        check(code == 0 and state, "make_filter_state failed")
        os.makedirs(self.prefs_dir)
        harness.write_prefs(self.prefs, 100, 60, None)

        self.start_display()
        # Late clients on a loaded machine would break the sine, whose true peak is then higher.
        self.start_jack(synchronous=True)
        wid = self.start_app("e2e")
        self.wait_for_device("e2e")
        self.find_editor(wid)

        player = self.procs.start("sine", harness.tone_player_command("zelxsine", [(TONE_HZ, TONE_AMPLITUDE)] * 2))
        wait_until(lambda: "zelxsine:out_2" in self.jack_ports(), 10, "the sine player's ports")
        for n in (1, 2):
            code, out = self.procs.run(["jack_connect", f"zelxsine:out_{n}", f"{harness.CLIENT}:in_{n}"], 5)
            check(code == 0, f"could not connect the sine player to input {n}: {out}")
        # The true peak read-outs hold the highest peak since the last reset, and the step where the sine
        # came in overshoots between samples: reset once the sine runs.
        time.sleep(0.5)
        self.click(wid, RESET_BUTTON)
        time.sleep(TONE_LEAD_S)

        # 1. Space starts a measurement, whose report appears at once.
        self.key(wid, "space")
        report = wait_until(lambda: (self.reports() or [None])[0], 10, "the space bar to start a measurement")
        log(f"measurement started: {report}")

        # 2. Remote server on a typed port; the bundle's readings.
        port = free_port()
        self.click(wid, SETTINGS_BUTTON)
        self.click(wid, PORT_FIELD)
        self.xdotool("key", "--clearmodifiers", "ctrl+a")
        self.xdotool("type", "--delay", "30", str(port))
        self.click(wid, CONNECT_BUTTON)
        self.remote = RemoteClient(port, 10)
        values = self.wait_for_readings()
        log(f"remote on port {port}: momentary {values['/momentaryLoudness']:.2f}, short-term "
            f"{values['/shortTermLoudness']:.2f}, integrated {values['/programLoudness']:.2f} LUFS, true peak "
            f"{values['/truePeakValuesPerChannelL']:.2f} / {values['/truePeakValuesPerChannelR']:.2f} dBTP, "
            f"range {values['/loudnessRange']:.1f} LU")

        # 3. The meter view shows the same.
        self.click(wid, METERS_BUTTON)
        # The short-term arrow glides to a new value in about 2 s: the kept screenshot shows where it ends.
        time.sleep(2.0)
        shot = self.check_readouts(wid)
        if self.args.shot_dir:
            os.makedirs(self.args.shot_dir, exist_ok=True)
            kept = shutil.copyfile(shot, os.path.join(self.args.shot_dir, "meter.png"))
            log(f"screenshot kept as {kept}")

        # 4. A click on the start button stops it; the files hold the values.
        self.click(wid, START_BUTTON)
        wait_until(lambda: ET.parse(report).getroot().find("MeasurementInterval/StopTime").get("value"), 15,
                   "the start button to stop the measurement")
        self.check_report(report)
        self.check_csv(report)
        check(self.reports() == [report], f"the log folder holds {self.reports()}")
        counter = self.remote.next_bundle()["/processedSamplesCounter"]
        check(counter > 0, "no audio was counted while the measurement ran")

        # 5. The reports view lists the report; selecting it shows its summary.
        # Under load a click has been lost; the button toggles the view, so it is clicked again only while the
        # view's folder field has not shown.
        def reports_view():
            self.click(wid, REPORTS_BUTTON)
            try:
                return wait_until(lambda: self.brightness(self.screenshot(wid, "reports.png"), FOLDER_FIELD) > 0.3,
                                  10, "the reports view")
            except Failure:
                return False

        wait_until(reports_view, 30, "the reports view to open")
        name = os.path.splitext(os.path.basename(report))[0]
        self.wait_for_screen(wid, "reports.png",
                             lambda shot: self.has_colour(shot, FIRST_REPORT, (255, 255, 255), tolerance=0),
                             bool, "the reports view to list the report")
        self.click(wid, FIRST_REPORT[:2])
        # OCR may take an underscore for a blank, has put a stray "i" into the name, and has read "51" as
        # "5i": one character too many is let pass, and a 1 or 0 may be read as the letter it looks like;
        # another wrong one is not.
        def plain(text):
            return re.sub(r"[\W_]", "", text).translate(str.maketrans("ilI|Oo", "111100"))

        wanted = plain(name)
        shot = self.wait_for_screen(
            wid, "report.png", lambda shot: plain(self.read_text(shot, REPORT_TITLE, digits=False)),
            lambda title: any(wanted in title[:i] + title[i + 1:] for i in range(len(title) + 1)),
            f"the report {name} to be shown as selected")
        title = self.read_text(shot, REPORT_TITLE, digits=False)
        summary = self.read_text(shot, REPORT_INTEGRATED, digits=False)
        check(f"{EXPECTED} LUFS" in summary, f"the report's summary reads {summary!r}")
        log(f"reports view: {title!r} selected, {summary!r}")
        self.click(wid, METERS_BUTTON)

        # 6. Locked, the start button takes no click.
        self.click(wid, LOCK_BUTTON)
        self.wait_for_screen(wid, "locked.png", lambda shot: self.read_text(shot, LOCK_BANNER, digits=False),
                             lambda banner: "unlock button" in banner, "the lock banner")
        self.click(wid, START_BUTTON)
        time.sleep(1.0)
        check(self.remote.next_bundle()["/processedSamplesCounter"] == counter,
              "a click on the locked start button started a measurement")
        check(self.reports() == [report], "a click on the locked start button started a new log")
        log("locked: a click on the start button changed nothing")

        # 7. The close button quits; the client is let go; the preferences are written.
        self.close_window(wid, "e2e")
        check(self.remote.is_closed_by_server(5), "the remote client was not let go when the program quit")
        stored = harness.check_four_keys(self.prefs, "e2e")
        check(stored["filterstate"][0] == state, "the stored engine state is not the defaults with channels in order")
        setup = stored["audiosetup"][1]
        check(setup is not None and setup.get("deviceType") == "JACK", "the JACK setup was not kept")
        self.procs.stop(player)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--make-state", required=True)
    parser.add_argument("--shot-dir", help="where the meter's screenshot is kept")
    args = parser.parse_args()
    return harness.run_isolated(args, EndToEndTest, tools=("tesseract", "convert"))


if __name__ == "__main__":
    sys.exit(main())
