#!/usr/bin/env python3
"""System test of what the real program says in the terminal at start.

In the environment of system_test.py (private mount namespace, /dev/shm, home
and common application-data folder):

1. with DISPLAY naming a display nobody serves, and with one whose socket
   takes the connection and never answers (an ssh session whose network is
   gone), the program ends with status 1 and one line on standard error that
   names the display, and has written nothing else, the preferences included;
2. on a real display with a stored JACK setup and no JACK server, the window
   opens and the output is the one line saying which device is not open and
   why, none of the JACK library's own.

Exit code 77 means skipped (see system_test.py).
"""

import argparse
import os
import socket
import subprocess
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import system_test as harness  # noqa: E402
from system_test import check, log  # noqa: E402

harness.RUN_LIMIT_S = 90
# The program's own wait for an answer, with room for a loaded machine.
SILENT_DISPLAY_LIMIT_S = 10 + 20


def free_display_number(first):
    """A display number with no local socket or lock: nobody serves it."""
    for number in range(first, first + 500):
        if not any(os.path.exists(p) for p in (f"/tmp/.X11-unix/X{number}", f"/tmp/.X{number}-lock")):
            return number
    raise harness.Failure("no free display number")


def silent_display():
    """A TCP display on 127.0.0.1 that takes connections and never answers; returns its name and socket."""
    for number in range(200, 900):
        listener = socket.socket()
        try:
            listener.bind(("127.0.0.1", 6000 + number))
        except OSError:
            listener.close()
            continue
        listener.listen(8)
        held = []
        threading.Thread(target=lambda: held.extend(iter(listener.accept, None)), daemon=True).start()
        return f"127.0.0.1:{number}", listener
    raise harness.Failure("no free port for a silent display")


class TerminalTest(harness.SystemTest):
    def run_without_display(self, display, limit_s, said):
        env = dict(self.env, DISPLAY=display)
        result = subprocess.run([self.args.app], stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                                cwd=self.workdir, timeout=limit_s, stdin=subprocess.DEVNULL)
        out, err = result.stdout.decode(errors="replace"), result.stderr.decode(errors="replace")
        log(f"DISPLAY={display}: code {result.returncode}, stderr {err!r}")
        check(result.returncode == 1, f"DISPLAY={display}: the program ended with code {result.returncode}")
        check(out == "", f"DISPLAY={display}: standard output {out!r}")
        check(len(err.splitlines()) == 1 and f'"{display}"' in err and said in err,
              f"DISPLAY={display}: standard error {err!r} is not one line naming the display")
        check(not os.path.exists(self.prefs_dir), f"DISPLAY={display}: {self.prefs_dir} was made")

    def run(self):
        self.run_without_display(f":{free_display_number(150)}", 20, "could not be opened")
        display, listener = silent_display()
        try:
            self.run_without_display(display, SILENT_DISPLAY_LIMIT_S, "did not answer")
        finally:
            listener.close()

        self.start_display()
        os.makedirs(self.prefs_dir)
        harness.write_prefs(self.prefs, 100, 100, None)
        wid = self.start_app("no-jack-server")
        self.close_window(wid, "no JACK server")
        with open(os.path.join(self.workdir, "app-no-jack-server.log"), errors="replace") as f:
            lines = f.read().splitlines()
        log(f"no JACK server: output {lines}")
        check(len(lines) == 1 and lines[0].startswith('No audio device is open: The audio device "system" (JACK) '
                                                      'could not be opened'),
              f"no JACK server: the output is not the one line saying so: {lines}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    return harness.run_isolated(parser.parse_args(), TerminalTest)


if __name__ == "__main__":
    sys.exit(main())
