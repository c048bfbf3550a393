#!/usr/bin/python3
"""Hears the Qt window through a screen reader: Orca, speaking through speech-dispatcher and
espeak-ng into ALSA's null device, on a private D-Bus session and AT-SPI bus and a virtual X
display.

Usage: orca_speech.py TREADLE [--dump]

For each language the window starts on the virtual foot switch, Orca starts with private
preferences and a debug file, and xdotool drives the window with the keyboard: the window
gets the keyboard (the switch box), Shift+Tab goes back to left Ctrl and one key more, Tab
comes back to it, Space turns it over three times, Tab goes on round to F1, Space on F1
writes Ctrl + F1, and Tab goes on. Each step waits until speech-dispatcher's log is quiet.
Orca is stopped with SIGTERM (it writes out its debug file then) and the "SPEECH OUTPUT"
lines of the debug file are shared among the steps by their times: each step must say its
control's name, role and state, a group's name when the focus enters it, and the log's line
once without moving the focus. A session that fails to start is tried once more; exits 77
(skipped), saying why, where Orca or its speech cannot start. --dump prints what Orca said
at each step; with TREADLE_ORCA_KEEP=DIR set, each language's Orca debug file and
speech-dispatcher log are kept in DIR/en and DIR/zh.
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

from atspi_session import (
    SESSION_FAILED, SessionFailed, find_app, give_window_keyboard, inside, missing_tools,
    run_in_session, skip, window_env)

SPEECHD_CONF = """LogLevel 5
LogDir "{log}"
AudioOutputMethod "alsa"
AudioALSADevice "null"
DefaultModule espeak-ng
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
"""
# How long Orca may take to start speaking; how long a step may take before the next key is
# sent, and how long speech-dispatcher must have been quiet for a step to count as done.
START_SECONDS = 20
STEP_SECONDS = 5.0
QUIET_SECONDS = 0.4
# "12:34:56.789012 - SPEECH OUTPUT: 'Left Ctrl' voice": the time, then the text.
SPEECH_LINE = re.compile(r"^(\d\d):(\d\d):(\d\d)\.(\d{6}) - SPEECH OUTPUT: '(.*?)'(?: ?\{.*\})?\s*$")


class CannotStart(Exception):
    """Orca or its speech did not start: the reason, for the skip."""


CANNOT_START = 3


class Speech:
    """A private speech-dispatcher, its configuration and log in `work`."""

    def __init__(self, work):
        self.conf = os.path.join(work, "speechd")
        self.log = os.path.join(work, "speechd-log")
        self.socket = os.path.join(work, "speechd.sock")
        self.log_file = os.path.join(self.log, "speech-dispatcher.log")
        self.read_to = self.said = 0
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
        return os.path.getsize(self.log_file) if os.path.exists(self.log_file) else 0

    def spoken(self):
        """How many texts speech-dispatcher has been given to speak so far."""
        if os.path.exists(self.log_file):
            with open(self.log_file, "rb") as log:
                log.seek(self.read_to)
                data = log.read()
            whole = data.rfind(b"\n") + 1  # a line still being written is read next time
            self.read_to += whole
            self.said += data[:whole].count(b"DATA:|SPEAK")
        return self.said

    def wait(self, before, at_least, seconds):
        """Waits until at least `at_least` texts more than `before` were given to speak and the
        log has been quiet for QUIET_SECONDS; at most `seconds`. True when they were."""
        end = time.time() + seconds
        size, since = self.log_size(), time.time()
        while time.time() < end:
            time.sleep(0.05)
            now = self.log_size()
            if now != size:
                size, since = now, time.time()
            elif time.time() - since >= QUIET_SECONDS and self.spoken() >= before + at_least:
                return True
        return False

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
            raise SessionFailed("the window never appeared on the accessibility bus")
        # Private preferences, and settings kept in memory: nothing of the user's is read or
        # changed.
        self.orca = subprocess.Popen(
            ["orca", "-u", os.path.join(self.work, "orca"), "--debug-file", self.debug_file],
            env=dict(env, GSETTINGS_BACKEND="memory"), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        # Orca says that it is on.
        if not self.speech.wait(0, 1, START_SECONDS):
            if self.orca.poll() is not None:
                raise CannotStart("Orca exited: " + self.orca.stdout.read().decode(errors="replace").strip())
            raise CannotStart("Orca said nothing in %d s" % START_SECONDS)

    def close(self):
        """Ends whatever still runs."""
        for process in (self.orca, self.window):
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()
        if self.speech is not None:
            self.speech.stop()

    def focus_window(self):
        """The window gets the keyboard; Orca speaks at least once."""
        before = self.speech.spoken()
        self.steps.append(("the window gets the keyboard", time.time()))
        give_window_keyboard()
        self.speech.wait(before, 1, STEP_SECONDS)

    def key(self, what, key):
        """Sends a key; Orca echoes it and speaks at least once more."""
        before = self.speech.spoken()
        self.steps.append((what, time.time()))
        subprocess.run(["xdotool", "key", key], timeout=20, check=True, capture_output=True)
        self.speech.wait(before, 2, STEP_SECONDS)

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


# What the window shows in each language, and the words Orca must say of it. The names come
# from the window (Orca's own words, the roles and states, are English: Orca runs in the C
# locale).
PUSH, CHECK, UNCHECKED = "push button", "check box", "not checked"
LANGUAGES = {
    "en": {
        "title": "Treadle",
        "switch": "Switch",
        "groups": ("Toolbar", "Hold and write", "Mouse", "Keyboard"),
        # Tab from the switch box to F1.
        "front": ("No hold", "Write", "Left", "Mid", "Right", "Escape", "F1"),
        "f2": "F2",
        "before_left_ctrl": "Keypad Enter",
        # Tab from left Ctrl round to the switch box.
        "back": ("Left Ctrl", "Left Win", "Left Alt", "Space", "Right Alt", "Right Win", "Menu", "Right Ctrl",
                 "Left Arrow", "Down Arrow", "Right Arrow", "Keypad 0", "Keypad Decimal", "Treadle", "Clear log",
                 "Status"),
        "line": "Wrote < Ctrl + F1 > to switch <1>",
    },
    "zh": {
        "title": "Treadle",
        "switch": "开关选择",
        "groups": ("工具栏", "长按与手动写入", "鼠标按键", "键盘"),
        "front": ("长按无效", "手动写入", "左键", "中键", "右键", "Esc", "F1"),
        "f2": "F2",
        "before_left_ctrl": "小键盘回车",
        "back": ("左Ctrl", "左Win", "左Alt", "空格", "右Alt", "右Win", "菜单", "右Ctrl", "左箭头", "下箭头", "右箭头",
                 "小键盘0", "小键盘小数点", "Treadle", "清除信息", "状态信息"),
        "line": "成功在开关 <1> 中写入< Ctrl + F1 >",
    },
}


def said_of(names, name):
    """The words Orca says of a control the focus comes to: its name, role and state."""
    checks = names["back"][:3] + names["back"][4:6] + names["back"][7:8] + names["front"][:1]
    if name in checks:
        return [name, CHECK, UNCHECKED]
    if name == names["back"][-1]:
        return [name, "list"]
    if name == names["back"][-3]:
        return [name, "link"]
    return [name, PUSH]


def route(names):
    """The keys sent, each with the words Orca must say for it in order, and the words it must
    not say."""
    switch = [names["switch"], "combo box", "1"]
    toolbar, hold, mouse, keyboard = (g + " panel" for g in names["groups"])
    left_ctrl = names["back"][0]
    steps = [("the window gets the keyboard", None, [names["title"] + " frame", toolbar] + switch, [])]
    # Shift+Tab from the switch box back to left Ctrl: into the keyboard at the guide's link.
    for name in reversed(names["back"]):
        group = [keyboard] if name == names["back"][-3] else []
        steps.append(("Shift+Tab to " + name, "shift+Tab", group + said_of(names, name), []))
    # One more back, and Tab to left Ctrl.
    before = names["before_left_ctrl"]
    steps.append(("Shift+Tab to " + before, "shift+Tab", said_of(names, before), []))
    steps.append(("Tab to " + left_ctrl, "Tab", said_of(names, left_ctrl), []))
    # Space turns the toggle over: its new state is said.
    for state, unsaid in ((["checked"], [UNCHECKED]), ([UNCHECKED], []), (["checked"], [UNCHECKED])):
        steps.append(("Space on " + left_ctrl, "space", state, unsaid))
    for name in names["back"][1:]:
        steps.append(("Tab to " + name, "Tab", said_of(names, name), []))
    steps.append(("Tab to the switch box", "Tab", [toolbar] + switch, []))
    groups = {names["front"][0]: [hold], names["front"][2]: [mouse], names["front"][5]: [keyboard]}
    for name in names["front"]:
        steps.append(("Tab to " + name, "Tab", groups.get(name, []) + said_of(names, name), []))
    # The log's line is spoken once where the focus is; the focus stays on F1.
    line = names["line"]
    steps.append(("Space on F1", "space", ["notification", line], [names["back"][-1], "list", line]))
    steps.append(("Tab after the log's line", "Tab", said_of(names, names["f2"]), [keyboard]))
    return steps


def check_step(lang, what, texts, said, unsaid):
    """The failures of one step: words not said in order, or said more often than `said` has
    them."""
    heard = " ".join(texts)
    failures = []
    at = 0
    for words in said:
        found = heard.find(words, at)
        if found < 0:
            failures.append("%s: %s: Orca did not say %r (it said %r)" % (lang, what, words, heard))
            break
        at = found + len(words)
    for words in unsaid:
        if heard.count(words) > said.count(words):
            failures.append("%s: %s: Orca said %r once too often (it said %r)" % (lang, what, words, heard))
    return failures


def run_language(treadle, lang, dump):
    work = tempfile.mkdtemp(prefix="treadle-orca-")
    session = Session(work)
    steps = route(LANGUAGES[lang])
    try:
        session.start(treadle, lang)
        for what, key, _, _ in steps:
            if key is None:
                session.focus_window()
            else:
                session.key(what, key)
        heard = session.finish()
        failures = []
        for (what, _, said, unsaid), (_, texts) in zip(steps, heard):
            if dump:
                print("%s\t%s\t%s" % (lang, what, " | ".join(texts)))
            failures += check_step(lang, what, texts, said, unsaid)
        print("%s: %d steps heard, %d not as they should be" % (lang, len(steps), len(failures)))
        return failures
    finally:
        session.close()
        if os.environ.get("TREADLE_ORCA_KEEP"):
            shutil.copytree(work, os.path.join(os.environ["TREADLE_ORCA_KEEP"], lang), dirs_exist_ok=True)
        shutil.rmtree(work, ignore_errors=True)


def inner(treadle, dump):
    failures = []
    try:
        for lang in ("en", "zh"):
            failures += run_language(treadle, lang, dump)
    except CannotStart as e:
        print("orca_speech: " + str(e))
        return CANNOT_START
    except SessionFailed as e:
        print("orca_speech: " + str(e))
        return SESSION_FAILED
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
    # A session that fails to start is tried once more.
    code = run_in_session(__file__, [treadle] + sys.argv[2:], "orca_speech", timeout=240, attempts=2)
    if code == CANNOT_START:
        skip("Orca or speech-dispatcher could not start here (the reason is above)")
    return code


if __name__ == "__main__":
    sys.exit(main())
