#!/usr/bin/python3
"""Reads the Qt window's accessibility tree through AT-SPI, as a screen reader does.

Usage: atspi_tree.py TREADLE [--dump]

Starts the window on the virtual foot switch in Chinese and in English, each on a private
D-Bus session and a virtual X display, and checks that every control shown has a name and a
role, that the left Ctrl toggle reports itself pressed after Space, and that the activity
log tells the accessibility bus of its new line when Space on F1 writes Ctrl + F1 (the event
a screen reader speaks from, with the line as its text). Exits 77 (skipped)
when AT-SPI's Python bindings, its bus or the X tools are missing. --dump prints the
controls with their roles and names.
"""
import os
import shutil
import subprocess
import sys
import time

SKIP = 77
INNER = "TREADLE_ATSPI_INNER"

# Roles of the controls the window shows; the application, its window and the items inside
# lists and combo boxes are not controls of the window.
CONTROL_ROLES = {
    "push button", "toggle button", "check box", "radio button", "combo box", "text", "list",
    "label", "panel", "grouping", "filler", "frame", "link",
}
# Qt shows a checkable push button as a check box whose checked state is the toggle's.
TOGGLE_ROLES = ("toggle button", "check box")


def skip(reason):
    print("skipped: " + reason)
    sys.exit(SKIP)


# Debian's bindings are for Debian's Python, whichever Python runs this.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


def missing_tools():
    if subprocess.run([PYTHON, "-c", "import pyatspi"], capture_output=True).returncode != 0:
        return "python3-pyatspi is not installed (scripts/setup installs it)"
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        return "at-spi2-core is not installed (scripts/setup installs it)"
    for tool in ("dbus-run-session", "xvfb-run", "xdotool"):
        if shutil.which(tool) is None:
            return tool + " is missing (scripts/setup installs dbus, xvfb and xdotool)"
    return None


def find_app(pyatspi, deadline):
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == "treadle" and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def walk(node, parent_role="", out=None):
    out = [] if out is None else out
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        role = child.getRoleName()
        out.append((child, role, parent_role))
        walk(child, role, out)
    return out


def showing(pyatspi, node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def find(pyatspi, app, roles, name, deadline):
    while time.time() < deadline:
        for node, r, _ in walk(app):
            if r in roles and node.name == name and node.getState().contains(pyatspi.STATE_ENABLED):
                return node
        time.sleep(0.2)
    return None


def labelled_by(pyatspi, node):
    """The names of the labels that name the node, as "\tlabelled by ..."; empty for none."""
    names = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return "\tlabelled by " + ", ".join(names) if names else ""


def pressed(pyatspi, node):
    state = node.getState()
    return state.contains(pyatspi.STATE_CHECKED) or state.contains(pyatspi.STATE_PRESSED)


def heard_new_line(pyatspi, events, wanted, seconds):
    """Pumps the bus's events for a while; true once a description change carrying `wanted` came."""
    from gi.repository import GLib
    context = GLib.MainContext.default()
    end = time.time() + seconds
    while time.time() < end:
        while context.iteration(False):
            pass
        if any(wanted in text for text in events):
            return True
        time.sleep(0.05)
    return False


def check_new_log_line(pyatspi, app, lang, key, deadline):
    """Space on the key button writes it with the pressed Ctrl; the log's new line must reach
    the bus as an event on the log list."""
    events = []

    def listener(event):
        if event.source is not None and event.source.getRoleName() == "list":
            events.append(str(event.any_data or "") + " " + (event.source.description or ""))

    pyatspi.Registry.registerEventListener(listener, "object:property-change:accessible-description")
    try:
        button = find(pyatspi, app, ("push button",), key, deadline)
        if button is None:
            return ["%s: no key button named %s" % (lang, key)]
        button.queryComponent().grabFocus()
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", "space"], timeout=20, check=True)
        heard = heard_new_line(pyatspi, events, "F1", 5)
        print("%s: the log's new line on the bus: %s" % (lang, events[-1].strip() if events else "nothing"))
        return [] if heard else ["%s: the log's new line after Space on %s never reached the bus" % (lang, key)]
    finally:
        pyatspi.Registry.deregisterEventListener(listener, "object:property-change:accessible-description")


def check_language(pyatspi, treadle, lang, left_ctrl, dump):
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
    window = subprocess.Popen([treadle, "--virtual", "--lang", lang], env=env)
    failures = []
    try:
        deadline = time.time() + 30
        app = find_app(pyatspi, deadline)
        if app is None:
            return ["%s: the window never appeared on the accessibility bus" % lang]
        toggle = find(pyatspi, app, TOGGLE_ROLES, left_ctrl, deadline)
        if toggle is None:
            return ["%s: no enabled toggle named %s" % (lang, left_ctrl)]
        controls = 0
        for node, role, parent_role in walk(app):
            if role not in CONTROL_ROLES or parent_role in ("combo box", "list") or not showing(pyatspi, node):
                continue
            controls += 1
            if dump:
                print("%s\t%s\t%s%s" % (lang, role, node.name, labelled_by(pyatspi, node)))
            if not node.name:
                failures.append("%s: a %s without a name (inside a %s)" % (lang, role, parent_role or "window"))
        print("%s: %d controls shown, each with a role" % (lang, controls))
        if pressed(pyatspi, toggle):
            failures.append("%s: %s is pressed before any key" % (lang, left_ctrl))
        # Without a window manager nothing gives the window the keyboard: xdotool does, then
        # AT-SPI puts the focus on the toggle, as a screen reader's focus command does.
        subprocess.run(["xdotool", "search", "--sync", "--name", "^Treadle$", "windowfocus", "--sync"],
                       timeout=20, check=True, capture_output=True)
        toggle.queryComponent().grabFocus()
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", "space"], timeout=20, check=True)
        end = time.time() + 5
        while time.time() < end and not pressed(pyatspi, toggle):
            time.sleep(0.1)
        print("%s: %s after Space: %s" % (lang, left_ctrl, "pressed" if pressed(pyatspi, toggle) else "not pressed"))
        if not pressed(pyatspi, toggle):
            failures.append("%s: %s does not report pressed after Space" % (lang, left_ctrl))
        failures += check_new_log_line(pyatspi, app, lang, "F1", deadline)
    finally:
        window.terminate()
        window.wait(10)
    return failures


def inner(treadle, dump):
    import pyatspi
    failures = []
    for lang, left_ctrl in (("zh", "左Ctrl"), ("en", "Left Ctrl")):
        failures += check_language(pyatspi, treadle, lang, left_ctrl, dump)
    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    treadle = os.path.abspath(sys.argv[1])
    dump = "--dump" in sys.argv[2:]
    if os.environ.get(INNER):
        return inner(treadle, dump)
    reason = missing_tools()
    if reason:
        skip(reason)
    env = dict(os.environ, **{INNER: "1"})
    command = ["dbus-run-session", "--", "xvfb-run", "-a", "-s", "-screen 0 1280x1024x24",
               PYTHON, os.path.abspath(__file__)] + sys.argv[1:]
    # xvfb-run -a can lose the race for a display number to another X server starting at the
    # same moment; it then fails before the check runs (anything but 0 or 1), and is tried again.
    for _ in range(3):
        code = subprocess.run(command, env=env, timeout=180).returncode
        if code in (0, 1):
            return code
        print("atspi_tree: the session did not start (%d), trying again" % code)
        time.sleep(1)
    return code


if __name__ == "__main__":
    sys.exit(main())
