#!/usr/bin/python3
"""What Orca says while a person works the program by keyboard.

    /usr/bin/python3 orca_speech.py PANES_BINARY [STEPS]

Needs Orca and speech-dispatcher (`apt-get install orca speech-dispatcher`);
the test command does not install them, so this is run by hand and what it
prints is kept in docs/accessibility.md. Runs itself again under a private
D-Bus session, with Xvfb, openbox, Orca (its preferences and debug log in a
folder of its own) and the program. Each step presses keys with xdotool and
prints what Orca spoke for them, read back from Orca's debug log. STEPS, when
given, is a file of lines "keys # what the step is for"; else the built-in
tour runs.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e  # noqa: E402

TOUR = [
    ("ctrl+shift+n", "create the base pane"),
    ("ctrl+shift+e", "split side by side"),
    ("ctrl+shift+m", "an editor into the left pane"),
    ("H e l l o", "type"),
    ("ctrl+shift+o", "split the editor's pane, top and bottom"),
    ("ctrl+shift+j", "go down"),
    ("ctrl+shift+g", "a grid into it"),
    ("Right", "a cell to the right"),
    ("Down", "a cell down"),
    ("4 2", "type into the cell"),
    ("Return", "the cell takes it"),
    ("Up", "back up"),
    ("shift+Up", "and the cell above too"),
    ("ctrl+c", "copy the two cells"),
    ("ctrl+shift+g", "a second grid, refused"),
    ("ctrl+shift+h", "left at the window's edge"),
    ("ctrl+alt+shift+j", "the splitter above down"),
    ("ctrl+alt+shift+j", "and again"),
    ("ctrl+shift+x", "zoom"),
    ("ctrl+shift+x", "zoom back"),
    ("ctrl+shift+w", "delete the grid's pane"),
    ("ctrl+shift+t", "bring it back"),
    ("ctrl+shift+y", "delete it again"),
    ("ctrl+shift+l", "go right"),
    ("ctrl+shift+e", "split it"),
    ("ctrl+shift+e", "and again"),
    ("ctrl+shift+e", "and again"),
    ("ctrl+shift+b", "even out"),
    ("ctrl+shift+h", "left, to the editor"),
    ("ctrl+f", "find"),
    ("l", "an l"),
    ("Return", "the next"),
    ("Return", "and the next"),
    ("Escape", "close the bar"),
]


KEY_ECHO = re.compile(r"^(left |right )?(control|shift|alt|super)\s*$|^(return|escape|tab|"
                      r"left|right|up|down|F\d+|.)\s*$", re.I)


def speech(log_path):
    """What Orca spoke, in order: (seconds since midnight, text), its echo
    of the keys pressed left out."""
    said = []
    with open(log_path, errors="replace") as log:
        for line in log:
            m = re.match(r"(\d+):(\d+):(\d+\.\d+) - SPEECH OUTPUT: '(.*)'\s?\{", line)
            if m and m.group(4).strip() and not KEY_ECHO.match(m.group(4)):
                h, mi, sec = int(m.group(1)), int(m.group(2)), float(m.group(3))
                said.append((h * 3600 + mi * 60 + sec, m.group(4)))
    return said


def clock():
    """Seconds since midnight, local time, as Orca's log counts them."""
    now = time.time()
    t = time.localtime(now)
    return t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec + (now % 1)


def inside(binary, steps):
    runtime = tempfile.mkdtemp(prefix="panes-orca-")
    os.chmod(runtime, 0o700)
    processes = []
    try:
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime,
                   HOME=runtime, XDG_CONFIG_HOME=os.path.join(runtime, "config"),
                   XDG_DATA_HOME=os.path.join(runtime, "data"),
                   GTK_MODULES="gail:atk-bridge")
        env.pop("WAYLAND_DISPLAY", None)
        xvfb, wm, env = e2e.start_desktop("1280x1024", env, os.path.join(runtime, "openbox.log"))
        processes += [xvfb, wm]
        # The desktop's switch that tells toolkits a screen reader runs.
        subprocess.run(["gsettings", "set", "org.gnome.desktop.a11y.applications",
                        "screen-reader-enabled", "true"], env=env, capture_output=True)
        log_path = os.path.join(runtime, "orca.log")
        prefs = os.path.join(runtime, "orca-prefs")
        os.makedirs(prefs)
        orca = subprocess.Popen(["orca", "-u", prefs, "--debug-file", log_path], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(orca)
        deadline = time.time() + 30
        while time.time() < deadline:
            if os.path.exists(log_path) and "SPEECH OUTPUT" in open(log_path,
                                                                   errors="replace").read():
                break
            time.sleep(0.2)
        app = subprocess.Popen([binary], env=dict(env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(app)
        time.sleep(3)
        subprocess.run(["xdotool", "search", "--sync", "--classname", "^panes$", "windowactivate",
                        "--sync"], env=env, capture_output=True, timeout=20)
        time.sleep(2)
        pressed = []
        for keys, what in steps:
            pressed.append(clock())
            subprocess.run(["xdotool", "key", "--delay", "60"] + keys.split(), env=env,
                           capture_output=True, timeout=20)
            time.sleep(2.5)
        # Orca writes its log through a buffer: it is whole once Orca ends.
        time.sleep(3)
        orca.terminate()
        try:
            orca.wait(timeout=15)
        except subprocess.TimeoutExpired:
            orca.kill()
        said = speech(log_path)
        print("(start) %s" % " | ".join(t for at, t in said if at < pressed[0]))
        for i, (keys, what) in enumerate(steps):
            end = pressed[i + 1] if i + 1 < len(steps) else float("inf")
            heard = [t for at, t in said if pressed[i] <= at < end]
            print("%-18s %-40s -> %s" % (keys, what, " | ".join(heard) or "(nothing)"))
        return 0
    finally:
        for process in reversed(processes):
            if process.poll() is None:
                process.kill()
            process.wait()
        if os.environ.get("PANES_ORCA_KEEP"):
            print("kept in " + runtime)
        else:
            shutil.rmtree(runtime, ignore_errors=True)


def read_steps(path):
    steps = []
    with open(path) as f:
        for line in f:
            keys, _, what = line.partition("#")
            if keys.strip():
                steps.append((keys.strip(), what.strip()))
    return steps


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "--inside":
        steps = read_steps(sys.argv[3]) if len(sys.argv) > 3 else TOUR
        sys.exit(inside(sys.argv[2], steps))
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    sys.exit(subprocess.call(["dbus-run-session", "--", "/usr/bin/python3",
                              os.path.abspath(__file__), "--inside",
                              os.path.abspath(sys.argv[1])] + sys.argv[2:]))
