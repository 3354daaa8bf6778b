#!/usr/bin/env python3
"""The window on a real desktop (Xvfb and Openbox, as in e2e.py).

    window.py PANES_BINARY [--out DIR] [--patience P]

Maximise, restore and full screen through the window manager (wmctrl): the
window manager records each state, the window fills the work area or the
screen and comes back to its old geometry, and the panes follow every size.
At QT_SCALE_FACTOR=2 on a 1600 x 1000 screen the window opens wholly on the
screen. Made as small as it goes, at scale 1 and 2, the window keeps all
seven toolbar buttons in reach: StringGrid puts a grid into the base pane
and leave ends the program with status 0. A workspace saved at 1100x700
reopens at that size with every pane on its pixel, and one saved maximised
reopens maximised at the same size. The program must print nothing on
stderr.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache beside the sources
import e2e  # noqa: E402
from e2e import BUTTONS, TOOLBAR, Failure, Session, frame_of  # noqa: E402

MAXIMISED = {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"}
FULL_SCREEN = "_NET_WM_STATE_FULLSCREEN"
# The toolbar's last button ends at 448 + 57; the window keeps the toolbar's
# left margin (24) on its right. The layout's minimum height stays.
MIN_CLIENT = (448 + 57 + 24, 150 - 34)


def run(s, *args):
    return subprocess.run(list(args), env=s.env, capture_output=True, text=True,
                          timeout=30 * e2e.PATIENCE).stdout


def client(s):
    """The client area on the screen, (x, y, width, height). (xdotool's
    getwindowgeometry counts the frame's offset twice under Openbox.)"""
    values = {}
    for line in run(s, "xwininfo", "-id", s.wid).splitlines():
        key, _, value = line.strip().partition(":")
        values[key] = value.strip()
    return tuple(int(values[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y",
                                            "Width", "Height"))


def outer(s):
    """The window with the window manager's frame, (x, y, width, height)."""
    x, y, w, h = client(s)
    out = run(s, "xprop", "-id", s.wid, "_NET_FRAME_EXTENTS")
    left, right, top, bottom = (0, 0, 0, 0)
    if "=" in out:
        left, right, top, bottom = (int(v) for v in out.split("=")[1].split(","))
    return (x - left, y - top, w + left + right, h + top + bottom)


def states(s):
    out = run(s, "xprop", "-id", s.wid, "_NET_WM_STATE")
    if "=" not in out:
        return set()
    return {atom.strip() for atom in out.split("=", 1)[1].split(",") if atom.strip()}


def work_area(s):
    """The first desktop's work area, (x, y, width, height)."""
    out = run(s, "xprop", "-root", "_NET_WORKAREA")
    return tuple(int(v) for v in out.split("=")[1].split(",")[:4])


def screen_size(s):
    return tuple(int(v) for v in s.tool("getdisplaygeometry").split())


def wmctrl(s, action, *props):
    s.note("wmctrl %s %s" % (action, ",".join(props)))
    result = subprocess.run(["wmctrl", "-i", "-r", s.wid, "-b", ",".join((action,) + props)],
                            env=s.env, capture_output=True, text=True, timeout=30 * e2e.PATIENCE)
    if result.returncode != 0:
        raise Failure("wmctrl: " + result.stderr.strip())


def expect(s, what, problem, timeout=5.0):
    """Waits until problem() finds nothing wrong (returns None), then checks
    that it stays so for a moment: the program must not push a geometry of
    its own back over what the window manager did."""
    last = [None]

    def check():
        last[0] = problem()
        return True if last[0] is None else None

    try:
        s.wait(check, what, timeout)
    except Failure:
        raise Failure("never saw %s: %s" % (what, last[0]))
    time.sleep(0.5 * e2e.PATIENCE)
    again = problem()
    if again is not None:
        raise Failure("%s did not last: %s" % (what, again))


def panes_fill(s):
    """What is wrong with the base pane's red frame, which must reach the
    window's right and bottom edges (the program laid itself out for the size
    it was given), or None."""
    width, height = client(s)[2:]
    found = frame_of(s.grab())
    if not isinstance(found, tuple):
        return found
    if found[1] < s.menu + TOOLBAR or found[2] < width - 3 or found[3] < height - 3:
        return "the panes' frame %r in a %dx%d window" % (found, width, height)
    return None


def red_box(image):
    """The bounding box of the red pixels, or None; scaled up, the frame is
    thicker than the one pixel frame_of wants."""
    red = image.red()
    if not red:
        return None
    xs, ys = [p[0] for p in red], [p[1] for p in red]
    return (min(xs), min(ys), max(xs), max(ys))


def press(s, name, scale):
    s.note("press %s at scale %d" % (name, scale))
    x, y = BUTTONS[name]
    s.tool("mousemove", "--window", s.wid, str(x * scale), str(y * scale + s.menu), "click", "1")


def maximise_restore_full_screen(s):
    """Maximised fills the work area, restored gives the old geometry back,
    full screen fills the screen; twice, as the second toggle once threw the
    window off the screen."""
    press(s, "create", 1)
    expect(s, "the base pane", lambda: panes_fill(s))
    normal = client(s)
    area = work_area(s)
    screen = (0, 0) + screen_size(s)

    def restored():
        if states(s) & (MAXIMISED | {FULL_SCREEN}):
            return "still %s" % sorted(states(s))
        if client(s) != normal:
            return "at %r, was %r" % (client(s), normal)
        return panes_fill(s)

    def maximised():
        if not MAXIMISED <= states(s):
            return "the window manager records %s" % sorted(states(s))
        if outer(s) != area:
            return "at %r, the work area is %r" % (outer(s), area)
        return panes_fill(s)

    def full_screen():
        if FULL_SCREEN not in states(s):
            return "the window manager records %s" % sorted(states(s))
        if client(s) != screen:
            return "at %r, the screen is %r" % (client(s), screen)
        return panes_fill(s)

    wmctrl(s, "add", "maximized_vert", "maximized_horz")
    expect(s, "the window maximised", maximised)
    wmctrl(s, "remove", "maximized_vert", "maximized_horz")
    expect(s, "the window restored", restored)
    for _ in range(2):
        wmctrl(s, "toggle", "maximized_vert", "maximized_horz")
        expect(s, "the window maximised by a toggle", maximised)
        wmctrl(s, "toggle", "maximized_vert", "maximized_horz")
        expect(s, "the window restored by a toggle", restored)
    wmctrl(s, "add", "fullscreen")
    expect(s, "the window full screen", full_screen)
    wmctrl(s, "remove", "fullscreen")
    expect(s, "the window back from full screen", restored)


def opens_on_screen(s, place=None):
    """The whole window, frame and all, lies on the screen; where it fits, at
    the place its layout gives (place)."""
    screen = screen_size(s)

    def problem():
        x, y, w, h = outer(s)
        if x < 0 or y < 0 or x + w > screen[0] or y + h > screen[1]:
            return "at %r on a %dx%d screen" % ((x, y, w, h), screen[0], screen[1])
        if place is not None and (x, y) != place:
            return "at %r, not at %r" % ((x, y), place)
        return None

    expect(s, "the window wholly on the screen", problem)


def smallest_keeps_every_button(s, scale):
    """Sized to 92 x 116, the window stays at least as wide as the toolbar;
    its last button puts a grid into the base pane."""
    s.note("resize to 92x116")
    s.tool("windowsize", s.wid, "92", "116")
    # The window holds the menu bar above the client area.
    least = (MIN_CLIENT[0] * scale, MIN_CLIENT[1] * scale + s.menu)

    def problem():
        size = client(s)[2:]
        if size[0] < least[0] or size[1] < least[1] or size[0] > least[0] + 2 * scale:
            return "the window is %dx%d, its minimum %dx%d" % (size + least)
        return None

    expect(s, "the window at its minimum size", problem)
    press(s, "create", scale)
    box = s.wait(lambda: red_box(s.grab()), "the base pane")

    def white_share(image):
        left, top, right, bottom = box
        cells = [image.pixel(x, y) for y in range(top + 2, bottom - 1, 2)
                 for x in range(left + 2, right - 1, 2)]
        return sum(1 for p in cells if p == (255, 255, 255)) / max(1, len(cells))

    if white_share(s.grab()) > 0.05:
        raise Failure("the empty base pane is white already")
    press(s, "grid", scale)
    s.wait(lambda: white_share(s.grab()) > 0.3 or None, "a grid from the StringGrid button")


def saved_window_reopens(s):
    """A workspace keeps the window's size and state: saved at 1100x700 it
    reopens at 1100x700, every pane on its pixel; saved maximised, it
    reopens maximised at the same size. Resizing is no change to save (no
    `*`), yet a save keeps the new size."""
    folder = tempfile.mkdtemp(prefix="panes-window-", dir=s.env["XDG_RUNTIME_DIR"])
    path = os.path.join(folder, "sized.panes")
    name = os.path.basename(path)
    leaves(s, 1)
    s.launch(path)
    s.wait(lambda: s.title() == name + " \u2014 Panes" or None, "the file's name in the title")
    press(s, "create", 1)
    expect(s, "the base pane", lambda: panes_fill(s))
    press(s, "side", 1)
    s.key("ctrl+s")
    s.wait(lambda: os.path.exists(path) and not s.title().startswith("*") or None, "the file saved")
    s.resize(1100, 700)
    if client(s)[2:] != (1100, 700):
        raise Failure("the window is %dx%d, not 1100x700" % client(s)[2:])
    if s.title().startswith("*"):
        raise Failure("resizing the window marked it changed: %r" % s.title())
    s.key("ctrl+s")

    def saved(width, height, state):
        with open(path, encoding="utf-8") as f:
            text = f.read()
        want = '"window": {"width": %d, "height": %d, "state": "%s"}' % (width, height, state)
        return True if want in text else None

    # The file keeps the client area beneath the menu bar.
    s.wait(lambda: saved(1100, 700 - s.menu, "normal"), "the file saved at 1100x700")
    s.quiet()
    picture = s.grab()
    leaves(s, 1)

    s.size = (1100, 700 - s.menu)  # the client area the start waits for
    s.launch(path)
    expect(s, "the window reopened at 1100x700",
           lambda: None if client(s)[2:] == (1100, 700) and not states(s) & MAXIMISED
           else "at %r, %s" % (client(s), sorted(states(s))))
    s.quiet()
    changed = e2e.diff_box(picture, s.grab())
    if changed is not None:
        raise Failure("the panes reopened elsewhere: %r differs" % (changed,))

    wmctrl(s, "add", "maximized_vert", "maximized_horz")
    expect(s, "the window maximised",
           lambda: None if MAXIMISED <= states(s) and outer(s) == work_area(s)
           else "at %r, %s" % (outer(s), sorted(states(s))))
    maximised = client(s)[2:]
    if s.title().startswith("*"):
        raise Failure("maximising the window marked it changed: %r" % s.title())
    s.key("ctrl+s")
    s.wait(lambda: saved(maximised[0], maximised[1] - s.menu, "maximised"),
           "the file saved maximised")
    s.quiet()
    picture = s.grab()
    leaves(s, 1)

    s.size = (maximised[0], maximised[1] - s.menu)
    s.launch(path)
    expect(s, "the window reopened maximised at %dx%d" % maximised,
           lambda: None if MAXIMISED <= states(s) and client(s)[2:] == maximised
           else "at %r, %s" % (client(s), sorted(states(s))))
    s.quiet()
    changed = e2e.diff_box(picture, s.grab())
    if changed is not None:
        raise Failure("the maximised panes reopened elsewhere: %r differs" % (changed,))


def leaves(s, scale):
    press(s, "leave", scale)
    try:
        status = s.app.wait(timeout=10 * e2e.PATIENCE)
    except subprocess.TimeoutExpired:
        status = None
    if status != 0:
        raise Failure("leave did not end the program with status 0 (%s)" % status)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--out", default=tempfile.gettempdir())
    parser.add_argument("--patience", type=float, default=1.0)
    args = parser.parse_args()
    e2e.PATIENCE = args.patience
    os.makedirs(args.out, exist_ok=True)
    binary = os.path.abspath(args.binary)

    # Each session: how to start it, then its checks in order.
    sessions = (
        ("scale 1", dict(corner=False), (
            ("opens in place", lambda s: opens_on_screen(s, (249, 114))),
            ("maximise", maximise_restore_full_screen),
            ("smallest", lambda s: smallest_keeps_every_button(s, 1)),
            ("leave", lambda s: leaves(s, 1)))),
        ("workspace", dict(corner=False), (
            ("saved size and state reopen", saved_window_reopens),
            ("leave", lambda s: leaves(s, 1)))),
        ("scale 2", dict(screen="1600x1000", env={"QT_SCALE_FACTOR": "2"}, size=(1376, 892),
                         corner=False), (
            ("on screen", opens_on_screen),
            ("smallest", lambda s: smallest_keeps_every_button(s, 2)),
            ("leave", lambda s: leaves(s, 2)))),
    )
    passed, failed = 0, 0
    for title, options, checks in sessions:
        print("  %s:" % title, flush=True)
        try:
            s = Session(binary, args.out, **options)
        except Failure as e:
            print("    could not start: %s" % e, flush=True)
            failed += 1
            continue
        try:
            ok, bad = e2e.run_stages(s, checks, os.path.join(args.out, "window-failure.ppm"),
                                     indent="    ")
            passed, failed = passed + ok, failed + bad
        finally:
            s.close()
        failed += e2e.stderr_written(s, indent="    ")
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
