"""What the accessibility tests share: the private session they run in (a D-Bus session bus,
on which the AT-SPI bus starts when first asked for, and a virtual X display) and how they
find the window's objects on the AT-SPI bus."""
import os
import shutil
import subprocess
import sys
import time

SKIP = 77
INNER = "TREADLE_ATSPI_INNER"
# The exit code of a session in which the window never reached the accessibility bus (a
# display or bus lost at start, or a machine too busy): the session is tried again.
SESSION_FAILED = 4


class SessionFailed(Exception):
    """The window did not reach the accessibility bus."""

# Debian's bindings are for Debian's Python, whichever Python runs the test.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


def skip(reason):
    print("skipped: " + reason)
    sys.exit(SKIP)


def missing_tools():
    """Why the session cannot start here, or None."""
    if subprocess.run([PYTHON, "-c", "import pyatspi"], capture_output=True).returncode != 0:
        return "python3-pyatspi is not installed (scripts/setup installs it)"
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        return "at-spi2-core is not installed (scripts/setup installs it)"
    for tool in ("dbus-run-session", "xvfb-run", "xdotool"):
        if shutil.which(tool) is None:
            return tool + " is missing (scripts/setup installs dbus, xvfb and xdotool)"
    return None


def inside():
    """True in the session run_in_session started."""
    return bool(os.environ.get(INNER))


def run_in_session(script, args, name, timeout, attempts=3):
    """Runs `script` with `args` again inside a private D-Bus session and a virtual X display.
    Returns its exit code: 0 passed, 1 failed, SKIP skipped; any other code means the session
    did not start, and it is tried again, `attempts` times in all."""
    env = dict(os.environ, **{INNER: "1"})
    command = ["dbus-run-session", "--", "xvfb-run", "-a", "-s", "-screen 0 1280x1024x24",
               PYTHON, os.path.abspath(script)] + args
    code = 2
    # xvfb-run -a can lose the race for a display number to another X server starting at the
    # same moment; it then fails before the check runs, and is tried again.
    for attempt in range(attempts):
        try:
            code = subprocess.run(command, env=env, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            print("%s: the session ran past %d s" % (name, timeout))
            code = 2
        if code in (0, 1, SKIP):
            return code
        print("%s: the session did not start (%d)%s" % (name, code, ", trying again" if attempt + 1 < attempts else ""))
        time.sleep(1)
    return code


def window_env():
    """The environment the window runs in: on X, with its accessibility bridge on."""
    return dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")


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
    """Every object under `node`, each as (object, role name, its parent's role name)."""
    out = [] if out is None else out
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        role = child.getRoleName()
        out.append((child, role, parent_role))
        walk(child, role, out)
    return out


def find(pyatspi, app, roles, name, deadline):
    """The enabled object of one of `roles` named `name`, looked for until `deadline`."""
    while time.time() < deadline:
        for node, r, _ in walk(app):
            if r in roles and node.name == name and node.getState().contains(pyatspi.STATE_ENABLED):
                return node
        time.sleep(0.2)
    return None


def give_window_keyboard(title="^Treadle$"):
    """Without a window manager nothing gives the window the keyboard: xdotool does."""
    subprocess.run(["xdotool", "search", "--sync", "--name", title, "windowfocus", "--sync"],
                   timeout=20, check=True, capture_output=True)
