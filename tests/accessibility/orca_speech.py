#!/usr/bin/python3
"""Hears the Qt window through a screen reader: Orca, speaking through speech-dispatcher and
espeak-ng into ALSA's null device, on a private D-Bus session and AT-SPI bus and a virtual X
display.

Usage: orca_speech.py TREADLE [--dump]

For each language the window starts on the virtual foot switch, Orca starts with private
preferences and a debug file, and xdotool drives the window with the keyboard: the window
gets the keyboard, Tab goes round every stop, Space presses left Ctrl and then F1. Orca is
stopped with SIGTERM (it writes out its debug file then) and the speech of each step is read
from the debug file's "SPEECH OUTPUT" lines. Exits 77 (skipped), saying why, where Orca or
its speech cannot start. --dump prints what Orca said at each step.
"""
import datetime
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from atspi_session import SKIP, find_app, give_window_keyboard, inside, missing_tools, run_in_session, skip, \
    window_env

SPEECHD_CONF = """LogLevel 5
LogDir "{log}"
AudioOutputMethod "alsa"
AudioALSADevice "null"
DefaultModule espeak-ng
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
"""
# How long speech may go on after a key before the next one is sent, and how long it must
# have been quiet to count as done.
STEP_SECONDS = 4.0
QUIET_SECONDS = 0.6
# "12:34:56.789012 - SPEECH OUTPUT: 'Left Ctrl' voice": the time, then the text.
SPEECH_LINE = re.compile(r"^(\d\d):(\d\d):(\d\d)\.(\d{6}) - SPEECH OUTPUT: '(.*?)'(?: ?\{.*\})?\s*$")


class CannotStart(Exception):
    """Orca or its speech did not start: the reason, for the skip."""


class Speech:
    """A private speech-dispatcher, its configuration and log in `work`."""

    def __init__(self, work):
        self.conf = os.path.join(work, "speechd")
        self.log = os.path.join(work, "speechd-log")
        self.socket = os.path.join(work, "speechd.sock")
        os.makedirs(os.path.join(self.conf, "modules"))
        os.makedirs(self.log)
        with open(os.path.join(self.conf, "speechd.conf"), "w") as conf:
            conf.write(SPEECHD_CONF.format(log=self.log))
        open(os.path.join(self.conf, "modules", "espeak-ng.conf"), "w").close()
        self.process = subprocess.Popen(
            ["speech-dispatcher", "--run-single", "--timeout", "0", "--config-dir", self.conf,
             "--communication-method", "unix_socket", "--socket-path", self.socket, "--log-dir", self.log,
             "--pid-file", os.path.join(work, "speechd.pid")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while not os.path.exists(self.socket):
            if self.process.poll() is not None or time.time() > deadline:
                raise CannotStart("speech-dispatcher did not start")
            time.sleep(0.1)

    def log_size(self):
        path = os.path.join(self.log, "speech-dispatcher.log")
        return os.path.getsize(path) if os.path.exists(path) else 0

    def wait_quiet(self, seconds):
        """Waits until speech-dispatcher's log has not grown for QUIET_SECONDS, or `seconds`."""
        end = time.time() + seconds
        size, since = self.log_size(), time.time()
        while time.time() < end:
            time.sleep(0.1)
            now = self.log_size()
            if now != size:
                size, since = now, time.time()
            elif time.time() - since >= QUIET_SECONDS:
                return

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()


def speech_lines(debug_file):
    """Orca's spoken texts with their times, from its debug file."""
    today = datetime.date.today()
    lines = []
    with open(debug_file, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = SPEECH_LINE.match(line)
            if m:
                h, mi, s, us = (int(x) for x in m.groups()[:4])
                at = datetime.datetime.combine(today, datetime.time(h, mi, s, us)).timestamp()
                lines.append((at, m.group(5)))
    return lines


class Session:
    """The speech, the window and Orca, with the keys sent and when."""

    def __init__(self, work):
        self.work = work
        self.debug_file = os.path.join(work, "orca-debug.out")
        self.speech = self.window = self.orca = None
        self.steps = []  # (what, time sent)

    def start(self, treadle, lang):
        import pyatspi
        self.speech = Speech(self.work)
        env = dict(window_env(), SPEECHD_ADDRESS="unix_socket:" + self.speech.socket)
        self.window = subprocess.Popen(
            [treadle, "--virtual=" + os.path.join(self.work, "switch"), "--lang", lang], env=env)
        if find_app(pyatspi, time.time() + 30) is None:
            raise CannotStart("the window never appeared on the accessibility bus")
        # Private preferences, and settings kept in memory: nothing of the user's is read or
        # changed.
        self.orca = subprocess.Popen(
            ["orca", "-u", os.path.join(self.work, "orca"), "--debug-file", self.debug_file],
            env=dict(env, GSETTINGS_BACKEND="memory"), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.speech.wait_quiet(STEP_SECONDS)
        if self.orca.poll() is not None:
            raise CannotStart("Orca exited at once: " + self.orca.stdout.read().decode(errors="replace").strip())

    def close(self):
        """Ends whatever still runs."""
        for process in (self.orca, self.window):
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()
        if self.speech is not None:
            self.speech.stop()

    def step(self, what, command):
        self.steps.append((what, time.time()))
        subprocess.run(command, timeout=20, check=True, capture_output=True)
        self.speech.wait_quiet(STEP_SECONDS)

    def focus_window(self):
        self.steps.append(("window", time.time()))
        give_window_keyboard()
        self.speech.wait_quiet(STEP_SECONDS)

    def key(self, what, key):
        self.step(what, ["xdotool", "key", key])

    def finish(self):
        """Stops Orca, then the window and the speech; returns what Orca said at each step, in
        order."""
        # Orca writes out its debug file as it shuts down; a signal only marks the shutdown,
        # which runs when its loop next wakes: the window closing sends events that wake it.
        self.orca.send_signal(signal.SIGTERM)
        time.sleep(0.5)
        self.window.terminate()
        for process in (self.window, self.orca):
            try:
                process.wait(15)
            except subprocess.TimeoutExpired:
                process.kill()
        spoken = speech_lines(self.debug_file) if os.path.exists(self.debug_file) else []
        heard = []
        for i, (what, at) in enumerate(self.steps):
            end = self.steps[i + 1][1] if i + 1 < len(self.steps) else float("inf")
            heard.append((what, [text for t, text in spoken if at <= t < end]))
        return heard


def run_language(treadle, lang, dump):
    work = tempfile.mkdtemp(prefix="treadle-orca-")
    session = Session(work)
    try:
        session.start(treadle, lang)
        session.focus_window()
        for i in range(8):
            session.key("tab %d" % (i + 1), "Tab")
        session.key("space", "space")
        session.key("tab", "Tab")
        heard = session.finish()
        for what, texts in heard:
            print("%s\t%s\t%s" % (lang, what, " | ".join(texts)))
        return []
    finally:
        session.close()
        if os.environ.get("TREADLE_ORCA_KEEP"):
            shutil.copytree(work, os.path.join(os.environ["TREADLE_ORCA_KEEP"], lang), dirs_exist_ok=True)
        shutil.rmtree(work, ignore_errors=True)


def inner(treadle, dump):
    failures = []
    try:
        for lang in ("en",):
            failures += run_language(treadle, lang, dump)
    except CannotStart as e:
        skip(str(e))
    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    treadle = os.path.abspath(sys.argv[1])
    dump = "--dump" in sys.argv[2:]
    if inside():
        return inner(treadle, dump)
    reason = missing_tools()
    for tool in ("orca", "speech-dispatcher"):
        if reason is None and shutil.which(tool) is None:
            reason = tool + " is missing (scripts/setup installs orca, speech-dispatcher and espeak-ng)"
    if reason:
        skip(reason)
    return run_in_session(__file__, [treadle] + sys.argv[2:], "orca_speech", timeout=300, attempts=2)


if __name__ == "__main__":
    sys.exit(main())
