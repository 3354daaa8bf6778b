#!/usr/bin/env python3
"""Drives the real program on a virtual X server the way a person does.

    e2e.py PANES_BINARY [--actions N] [--seed S] [--out DIR] [--only STAGE,...]

Starts Xvfb on a free display with the Openbox window manager and the
program on Qt's xcb platform, then clicks, drags, types (CJK too), presses
keys and resizes the window with xdotool, and reads the screen back with
ImageMagick's import. Panes are found by their red frame, not by fixed
coordinates. Scripted scenarios run first, then a seeded random sequence of
actions; after every step exactly one framed pane shows, and a letter typed
shows inside that frame and nowhere else (then it is taken back). The
program must stay up, print nothing on stderr and exit with 0 when its leave
command closes it (with 128 + 15 where the stage sends SIGTERM). The last
stage opens huge files: 8,000 nested panes, 5 MB texts.
"""

import argparse
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

# Toolbar buttons, centres in client coordinates (the window's layout); on
# the window they lie lower by the menu bar's height (Session.menu).
BUTTONS = {
    "create": (52, 28), "stacked": (124, 28), "side": (204, 28), "delete": (284, 28),
    "leave": (356, 28), "memo": (416, 28), "grid": (476, 28),
}
TOOLBAR = 57
# How much longer than usual to wait for the screen (a program run under
# valgrind is many times slower).
PATIENCE = 1.0


class Failure(Exception):
    pass


class Image:
    """An RGB screen grab: width, height and the raw bytes of a binary PPM."""

    def __init__(self, data):
        # import prints nothing when the window is gone meanwhile.
        if not data.startswith(b"P6") or len(data) < 16:
            raise Failure("no screen grab (the window gone?)")
        parts, pos = [], 0
        while len(parts) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            parts.append(data[pos:end])
            pos = end
        if parts[0] != b"P6" or parts[3] != b"255":
            raise Failure("unexpected screen grab format %r" % parts)
        self.width, self.height = int(parts[1]), int(parts[2])
        self.pixels = data[pos + 1:]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def red(self):
        """Every pure red pixel, as (x, y)."""
        found, start = [], 0
        while True:
            i = self.pixels.find(b"\xff\x00\x00", start)
            if i < 0:
                return found
            if i % 3 == 0:
                found.append(((i // 3) % self.width, (i // 3) // self.width))
                start = i + 3
            else:
                start = i + 1

    def save(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height) + self.pixels)


def frame_of(image):
    """The one red frame on the screen, as (left, top, right, bottom), or a
    string saying what is wrong with the red pixels."""
    red = image.red()
    if not red:
        return "no red frame on the screen"
    xs = [p[0] for p in red]
    ys = [p[1] for p in red]
    left, top, right, bottom = min(xs), min(ys), max(xs), max(ys)
    w, h = right - left + 1, bottom - top + 1
    ring = w * h if w <= 2 or h <= 2 else 2 * (w + h) - 4
    on_ring = all(x in (left, right) or y in (top, bottom) for x, y in red)
    if not on_ring or len(red) != ring:
        return "red pixels are not one whole frame (%d of %d on a %dx%d ring at %d,%d)" % (
            len(red), ring, w, h, left, top)
    return (left, top, right, bottom)


def diff_box(a, b):
    """The bounding box (left, top, right, bottom) of the pixels that differ
    between two grabs of the same size, or None."""
    if (a.width, a.height) != (b.width, b.height):
        return (0, 0, max(a.width, b.width) - 1, max(a.height, b.height) - 1)
    row = a.width * 3
    box = None
    for y in range(a.height):
        ra, rb = a.pixels[y * row:(y + 1) * row], b.pixels[y * row:(y + 1) * row]
        if ra == rb:
            continue
        first = next(i for i in range(row) if ra[i] != rb[i]) // 3
        last = next(i for i in range(row - 1, -1, -1) if ra[i] != rb[i]) // 3
        if box is None:
            box = [first, y, last, y]
        else:
            box = [min(box[0], first), box[1], max(box[2], last), y]
    return tuple(box) if box else None


def inside(box, frame):
    return (box[0] >= frame[0] and box[1] >= frame[1] and box[2] <= frame[2]
            and box[3] <= frame[3])


def start_xvfb(screen="1600x1200"):
    """A virtual X server on a free display: the process and the display's
    name (":N")."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write), "-screen", "0", screen + "x24", "-nolisten", "tcp"],
        pass_fds=[write], stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    deadline = time.time() + 20
    while not number.endswith(b"\n") and time.time() < deadline:
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    if not number.strip():
        xvfb.kill()
        raise Failure("Xvfb did not start")
    return xvfb, ":" + number.decode().strip()


def start_desktop(screen, env, log_path, attempts=3):
    """Xvfb on a free display with Openbox managing it, ready: the two
    processes and the environment for clients (env with DISPLAY). Openbox's
    own messages go to log_path. A window manager that ends while starting
    (it happens, rarely, on a loaded machine) is tried again on a fresh
    server; its last messages tell why when every attempt failed."""
    why = ""
    for _ in range(attempts):
        xvfb, display = start_xvfb(screen)
        env = dict(env, DISPLAY=display)
        with open(log_path, "w") as log:
            wm = subprocess.Popen(["openbox", "--sm-disable"], env=env,
                                  stdout=subprocess.DEVNULL, stderr=log)
        deadline = time.time() + 20
        while wm.poll() is None and time.time() < deadline:
            out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env,
                                 capture_output=True, text=True).stdout
            if "window id" in out:
                return xvfb, wm, env
            time.sleep(0.03)
        for process in (wm, xvfb):
            process.kill()
            process.wait()
        with open(log_path) as log:
            why = log.read().strip()[-400:] or "status %s" % wm.returncode
    raise Failure("the window manager did not start: %s" % why)


def run_stages(s, stages, shot, indent="  "):
    """Runs each (name, function of the session) in turn, printing how it
    went, up to the first failure (with the screen saved to shot): the
    numbers passed and failed."""
    passed, failed = 0, 0
    for name, run in stages:
        start = time.time()
        try:
            run(s)
            print("%s%-15s ok (%.1f s)" % (indent, name, time.time() - start), flush=True)
            passed += 1
        except Failure as e:
            failed += 1
            try:
                s.grab().save(shot)
            except Exception:  # the program may be gone
                shot = "(no screen)"
            print("%s%-15s FAILED: %s\n%slast actions: %s\n%sscreen: %s" % (
                indent, name, e, indent, "; ".join(s.log[-8:]), indent, shot), flush=True)
            break
    return passed, failed


def stderr_written(s, indent="  "):
    """1 if the program wrote anything on stderr (which is printed), else 0."""
    errors = open(s.stderr_path).read()
    if not errors.strip():
        return 0
    print("%sthe program wrote to stderr:\n%s" % (indent, errors), flush=True)
    return 1


class Session:
    def __init__(self, binary, out, wrapper=(), screen="1600x1200", env=None, size=(688, 446),
                 corner=True):
        """screen: the virtual screen's size; env: more environment for the
        program (QT_SCALE_FACTOR, say); size: the first size of the window's
        client area in the screen's pixels (the window is taller by its menu
        bar); corner: move the window into the screen's corner."""
        self.out = out
        self.binary = binary
        self.wrapper = list(wrapper)
        self.menu = 0  # the menu bar's height, learnt at the start
        self.xvfb = None
        self.app = None
        self.wm = None
        self.stderr = None
        self.log = []
        # A start that fails is tried once more, saying so: twice in many
        # runs on a loaded machine a desktop's start went wrong before the
        # program did anything (Openbox gone, the window never seen at its
        # size), with nothing to tell why. What the screen showed is kept.
        for attempt in (1, 2):
            try:
                self.start(screen, env, size, corner)
                return
            except Failure as e:
                shot = os.path.join(out, "start-failure.ppm")
                try:
                    Image(subprocess.run(["import", "-window", "root", "ppm:-"], env=self.env,
                                         capture_output=True, timeout=30).stdout).save(shot)
                except Exception:  # no server to grab from
                    shot = "(no screen)"
                self.close()
                if attempt == 2:
                    raise
                print("  (a start failed: %s; the screen is in %s; starting again)" % (e, shot),
                      flush=True)
            except BaseException:
                self.close()  # nothing started may outlive a failed start
                raise

    def start(self, screen, env, size, corner):
        runtime = tempfile.mkdtemp(prefix="panes-e2e-")
        os.chmod(runtime, 0o700)
        self.env = dict(os.environ, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime)
        # What the program keeps for the user (recovery copies) stays here.
        self.env["XDG_DATA_HOME"] = os.path.join(runtime, "data")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        # A real window manager, as on a desktop: Openbox (LXDE, LXQt).
        self.xvfb, self.wm, self.env = start_desktop(screen, self.env,
                                                     os.path.join(self.out, "openbox.log"))
        self.stderr_path = os.path.join(self.out, "panes.stderr")
        self.stderr = open(self.stderr_path, "w")
        self.app_env = env or {}
        self.size = tuple(size)
        self.corner = corner
        self.launch()

    def launch(self, *args):
        """Starts the program (with args) and waits for its window, in the
        screen's corner."""
        self.note("start panes %s" % " ".join(args))
        self.app = subprocess.Popen(self.wrapper + [self.binary] + list(args),
                                    env=dict(self.env, **self.app_env),
                                    stderr=self.stderr, stdout=subprocess.DEVNULL)

        seen = {}

        def main_window():
            # The menu bar sits above the client area, in the window: the
            # window is as wide as the client area and taller by the bar.
            # Its dialogs are the program's windows too; the main one is the
            # one at the window's first size.
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "^panes$"],
                                   env=self.env, capture_output=True, text=True).stdout.split()
            for wid in found:
                self.wid = wid
                try:
                    seen[wid] = self.geometry()
                    width, height = seen[wid][2:]
                    if width == self.size[0] and 0 < height - self.size[1] <= 100:
                        self.menu = height - self.size[1]
                        return wid
                except Failure:  # gone again meanwhile
                    pass
            return None
        try:
            self.wait(main_window, "the window at its size", timeout=20)
        except Failure as e:
            raise Failure("%s %r; seen (x, y, width, height): %r" % (e, self.size, seen))
        if not self.corner:
            self.tool("windowactivate", "--sync", self.wid)
            return
        # Into the corner, so every size the tests give it stays on the screen
        # (asked again until it holds: a slow program may still be placed
        # by the window manager after the first ask).
        def cornered():
            x, y = self.geometry()[:2]
            if x < 20 and y < 60:
                return True
            self.tool("windowmove", self.wid, "0", "0")
            return None
        self.wait(cornered, "the window in the corner")
        self.tool("windowactivate", "--sync", self.wid)

    # --- the tools -----------------------------------------------------------
    def tool(self, *args):
        result = subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True,
                                text=True, timeout=30 * PATIENCE)
        if result.returncode != 0:
            raise Failure("xdotool %s: %s" % (" ".join(args), result.stderr.strip()))
        return result.stdout

    def geometry(self):
        values = dict(line.split("=", 1) for line in
                      self.tool("getwindowgeometry", "--shell", self.wid).split())
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def grab(self):
        data = subprocess.run(["import", "-window", self.wid, "-depth", "8", "ppm:-"],
                              env=self.env, capture_output=True, timeout=30 * PATIENCE).stdout
        return Image(data)

    def dialog(self, title="Panes"):
        """The id of a visible window of the program titled title other than
        the main one, or None."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title],
                               env=self.env, capture_output=True, text=True).stdout.split()
        for wid in found:
            if wid == self.wid:
                continue
            # Tooltips and open menus bear the program's name too; the window
            # manager manages none of them, and they take no answer.
            info = subprocess.run(["xwininfo", "-id", wid], env=self.env, capture_output=True,
                                  text=True).stdout
            if "Override Redirect State: no" in info:
                return wid
        return None

    def viewable(self, wid):
        """Whether the window wid is on the screen."""
        info = subprocess.run(["xwininfo", "-id", wid], env=self.env, capture_output=True,
                              text=True).stdout
        return "Map State: IsViewable" in info

    def title(self):
        return self.tool("getwindowname", self.wid).strip()

    def ended(self, status=0):
        """Waits for the program to end with status."""
        try:
            got = self.app.wait(timeout=10 * PATIENCE)
        except subprocess.TimeoutExpired:
            got = None
        if got != status:
            raise Failure("the program did not end with status %s (%s)" % (status, got))
        self.app = None

    def alive(self):
        if self.app is None:
            return
        if self.app.poll() is not None:
            raise Failure("the program ended (status %s)" % self.app.returncode)

    # --- what a person does ----------------------------------------------------
    def note(self, what):
        self.log.append(what)

    def click(self, x, y, button=1):
        self.note("click %d,%d button %d" % (x, y, button))
        self.tool("mousemove", "--window", self.wid, str(x), str(y), "click", str(button))

    def press(self, name):
        self.note("press " + name)
        x, y = BUTTONS[name]
        self.tool("mousemove", "--window", self.wid, str(x), str(y + self.menu), "click", "1")

    def popups(self):
        """The program's open menus, as xdotool's ids."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "^panes$"],
                               env=self.env, capture_output=True, text=True).stdout.split()
        # Menus are the windows the window manager does not manage (Qt names
        # their type only the first time one opens).
        return [w for w in found if w != self.wid and "Override Redirect State: yes" in
                subprocess.run(["xwininfo", "-id", w], env=self.env, capture_output=True,
                               text=True).stdout]

    def drag(self, x, y, dx, dy, steps=5):
        self.note("drag %d,%d by %d,%d" % (x, y, dx, dy))
        self.tool("mousemove", "--window", self.wid, str(x), str(y), "mousedown", "1")
        for i in range(1, steps + 1):
            # The window sits in the screen's corner: the pointer stops at
            # the screen's edge, as a real one does.
            self.tool("mousemove", "--window", self.wid, str(max(0, x + dx * i // steps)),
                      str(max(0, y + dy * i // steps)))
            time.sleep(0.01)
        self.tool("mouseup", "1")

    def type(self, text):
        self.note("type %r" % text)
        self.tool("type", "--delay", "15", text)

    def key(self, *keys):
        self.note("key " + " ".join(keys))
        self.tool("key", "--delay", "15", *keys)

    def resize(self, width, height):
        """Asks for a new size, then waits until the window has taken the size
        it gets (the window manager keeps the minimum) and its picture holds
        still: until the program repaints, the server still shows the old
        panes, red frame and all, at their old places."""
        self.note("resize to %dx%d" % (width, height))
        self.tool("windowsize", self.wid, str(width), str(height))
        last = [None, None]

        def still():
            size, picture = self.geometry()[2:], self.grab()
            same = size == last[0] and last[1] is not None and picture.pixels == last[1].pixels
            last[0], last[1] = size, picture
            time.sleep(0.1)
            return True if same else None

        self.wait(still, "the window settle at its new size")

    # --- what a person sees ------------------------------------------------------
    def wait(self, check, what, timeout=5.0):
        """Polls check() until it returns something other than None."""
        deadline = time.time() + timeout * PATIENCE
        while True:
            self.alive()
            result = check()
            if result is not None:
                return result
            if time.time() > deadline:
                raise Failure("never saw " + what)
            time.sleep(0.03)

    def frame(self, timeout=5.0, differs_from=None, equals=None, typing=True):
        """The one red frame, once the screen shows exactly one (other than
        differs_from, or equal to equals, when the action must move it).
        Unless typing is False, a letter typed then must land inside it."""
        found = self.frame_only(timeout, differs_from, equals)
        if typing:
            self.typing_lands_in(found)
        return found

    def frame_only(self, timeout=5.0, differs_from=None, equals=None):
        last = [None]

        def check():
            found = frame_of(self.grab())
            last[0] = found
            if not isinstance(found, tuple):
                return None
            if differs_from is not None and found == differs_from:
                return None
            if equals is not None and found != equals:
                return None
            return found

        try:
            return self.wait(check, "one red frame", timeout)
        except Failure:
            raise Failure(last[0] if isinstance(last[0], str) else "no single red frame")

    def changes(self, before, box, what):
        """Waits until pixels inside box differ from before."""
        left, top, right, bottom = box

        def check():
            now = self.grab()
            for y in range(top + 2, bottom - 1):
                for x in range(left + 2, right - 1, 2):
                    if now.pixel(x, y) != before.pixel(x, y):
                        return True
            return None

        self.wait(check, what)

    def quiet(self):
        """Nothing but the program changes the screen from now on: the
        pointer rests outside the window (no hover, no tooltip), and a key
        that types nothing takes any note away."""
        self.tool("mousemove", "1590", "1190")
        self.tool("key", "shift")
        time.sleep(0.25 * PATIENCE)

    def typing_lands_in(self, frame, must_show=None):
        """Types a letter: it must show inside the red frame and nowhere
        else; in a pane that shows an editor or a grid it must show at all
        (must_show decides, else a white middle of the frame tells). Then
        takes it back: BackSpace, and Escape for a grid's cell."""
        self.quiet()
        before = self.grab()
        self.note("type a letter to see where it lands")
        self.tool("type", "x")
        left, top, right, bottom = frame
        if must_show is None:
            must_show = (right - left > 40 and bottom - top > 30 and
                         is_white(before.pixel((left + right) // 2, (top + bottom) // 2)))
        changed, deadline = None, time.time() + (1.5 if must_show else 0.4) * PATIENCE
        while time.time() < deadline:
            self.alive()
            changed = diff_box(before, self.grab())
            if changed is not None and must_show:
                time.sleep(0.05)
                changed = diff_box(before, self.grab()) or changed
                break
            time.sleep(0.03)
        self.tool("key", "BackSpace", "Escape")
        if changed is not None and not inside(changed, frame):
            raise Failure("typing changed the screen outside the red frame %r: %r" % (frame, changed))
        if must_show and changed is None:
            raise Failure("typing into the framed pane %r showed nothing" % (frame,))

    def shows(self, frame, what, editor=True):
        """Waits until the pane inside frame shows an editor (white just
        inside its frame), or with editor=False a grid (its grey headings)."""
        self.wait(lambda: is_white(self.grab().pixel(frame[0] + 4, frame[1] + 4)) == editor or None,
                  what)

    def afresh(self):
        """The window as a fresh paint shows it (frames erased in white stay
        until a repaint): resized and back."""
        width, height = self.geometry()[2:]
        for size in ((width + 1, height), (width, height)):
            self.resize(*size)
            self.wait(lambda: self.geometry()[2:] == size or None, "the window resized")
        self.quiet()
        return self.grab()

    def close(self):
        if self.app is not None and self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        if self.wm is not None:
            self.wm.kill()
            self.wm.wait()
        if self.xvfb is not None:
            self.xvfb.kill()
            self.xvfb.wait()
        if self.stderr is not None:
            self.stderr.close()
        env = getattr(self, "env", {})
        if env.get("XDG_RUNTIME_DIR"):
            shutil.rmtree(env["XDG_RUNTIME_DIR"], ignore_errors=True)


def centre(box):
    return ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)


def is_white(pixel):
    return pixel == (255, 255, 255)


def scenario(s):
    """The things users reported, one after the other, checked on the screen.
    Every step waits for what it must change, so a slow program (under
    valgrind, say) is given its time."""
    s.press("create")
    root = s.frame()
    if root[1] < s.menu + TOOLBAR:
        raise Failure("the base pane covers the toolbar")
    # Side by side, then the right half stacked and its top side by side.
    s.press("side")
    left = s.frame(differs_from=root)
    if left[2] > (root[0] + root[2]) // 2 + 2:
        raise Failure("a side-by-side split did not frame the left half: %r" % (left,))
    s.click(root[2] - 40, root[3] - 40)
    right = s.frame(differs_from=left)
    if right[0] <= left[2]:
        raise Failure("a click on the right half did not frame it")
    s.press("stacked")
    top = s.frame(differs_from=right)
    s.press("side")
    s.frame(differs_from=top)
    # Click the left half and delete it: the root adopts the right side's
    # halves; a framed leaf must be current straight away.
    s.click(left[0] + 20, left[1] + 40)
    s.frame(equals=left)
    s.press("delete")
    after = s.frame(differs_from=left)
    if after[0] > root[0] + 4 or after[1] > root[1] + 4:
        raise Failure("after the removal the frame is not on the adopted first leaf: %r" % (after,))

    # An editor: it takes typing at once, CJK included, and stays framed.
    s.press("memo")
    box = s.frame()
    s.shows(box, "the editor inside the framed pane")
    inside = s.grab()
    s.type("hello panes ")
    s.type("中文")
    s.changes(inside, box, "the typed text in the editor")
    # A split moves it into the new current half, text and all.
    s.press("stacked")
    half = s.frame(differs_from=box)
    s.shows(half, "the editor in the current half after the split")
    # Select another pane, then click into the editor: its pane is current.
    s.click(half[0] + 20, half[3] + 30)
    other = s.frame(differs_from=half)
    s.click(half[0] + 30, half[1] + 30)
    s.frame(equals=half)

    # A grid in another pane, with an edited cell.
    s.click(other[0] + 20, other[1] + 20)
    s.frame(equals=other)
    s.press("grid")
    grid_box = s.frame()
    cell = (grid_box[0] + 2 + 64 + 32, grid_box[1] + 2 + 24 + 12)
    s.shows(grid_box, "the grid's headings", editor=False)
    before = s.grab()
    s.click(*cell)
    s.type("42")
    s.key("Return")
    s.changes(before, (cell[0] - 30, cell[1] - 10, cell[0] + 30, cell[1] + 10), "the edited cell")
    s.frame(equals=grid_box)

    # A resize and back: proportions hold.
    full = s.geometry()
    s.resize(900, 600)
    s.wait(lambda: s.geometry()[2:] == (900, 600) or None, "the window resized")
    s.frame(differs_from=grid_box)
    s.resize(full[2], full[3])
    s.wait(lambda: s.geometry()[2:] == (full[2], full[3]) or None, "the window resized back")
    s.frame(equals=grid_box)

    # Removing the pane with the grid, then the editor's: both go, and the
    # command makes a new editor.
    s.press("delete")
    gone = s.frame(differs_from=grid_box)
    s.click(half[0] + 30, half[1] + 30)
    there = s.frame()
    s.press("delete")
    s.frame(differs_from=there)
    del gone
    s.press("memo")
    box = s.frame()
    s.shows(box, "a new editor")

    # The keyboard, while the editor has it: split, move about, zoom, undo.
    s.key("ctrl+shift+e")
    left = s.frame(differs_from=box)
    s.key("ctrl+shift+l")
    right = s.frame(differs_from=left)
    if right[0] <= left[2]:
        raise Failure("Ctrl+Shift+L did not go to the pane on the right")
    s.key("shift+F6")
    s.frame(equals=left)
    s.key("ctrl+shift+x")
    zoomed = s.wait(lambda: (lambda f: f if isinstance(f, tuple) and f[2] > right[0] else None)(
        frame_of(s.grab())), "the zoomed pane")
    s.typing_lands_in(zoomed)
    s.key("ctrl+shift+x")
    s.frame(equals=left)
    s.key("ctrl+shift+w")
    s.frame(differs_from=left)
    s.key("ctrl+shift+t")
    s.frame(equals=left)


def menu_titles(image, bar_height):
    """The menu bar's titles from left to right, as the (left, right) columns
    of their dark letters."""
    dark = [x for x in range(image.width)
            if any(sum(image.pixel(x, y)) < 300 for y in range(2, bar_height - 2))]
    titles = []
    for x in dark:
        if titles and x - titles[-1][1] <= 6:
            titles[-1][1] = x
        else:
            titles.append([x, x])
    return [tuple(t) for t in titles]


def menus(s):
    """The menu bar: F10 opens the first menu, the arrows go on to Panes and
    its underlined letter runs a split; a click opens Panes and a click on
    its last item zooms; Alt+P opens it and Escape closes it. The keys are
    back in the framed pane after each."""
    was = s.frame()
    s.key("F10")
    s.wait(lambda: s.popups() or None, "a menu opened by F10")
    s.key("Right", "Right")
    s.key("t")  # Split &Top and Bottom
    top = s.frame(differs_from=was)
    if abs(top[1] - was[1]) > 2 or top[3] > centre(was)[1] + 2 or abs(top[0] - was[0]) > 2:
        raise Failure("Panes > Split Top and Bottom framed %r in %r" % (top, was))
    s.wait(lambda: not s.popups() or None, "the menu closed")
    titles = menu_titles(s.grab(), s.menu)
    if len(titles) != 4:
        raise Failure("the menu bar shows %d titles, not File, Edit, Panes, Help" % len(titles))
    s.click(sum(titles[2]) // 2, s.menu // 2)
    menu = s.wait(lambda: s.popups() or None, "the Panes menu opened by a click")[0]
    values = dict(line.split("=", 1) for line in
                  s.tool("getwindowgeometry", "--shell", menu).split())
    x, y, w, h = (int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
    s.note("click Zoom, the last item of the Panes menu")
    s.tool("mousemove", str(x + w // 3), str(y + h - 10 * s.menu // 19))
    time.sleep(0.2 * PATIENCE)
    s.tool("click", "1")
    width, height = s.geometry()[2:]
    s.frame(equals=(1, s.menu + TOOLBAR + 1, width - 2, height - 2))
    s.key("ctrl+shift+x")
    s.frame(equals=top)
    # Alt and an underlined letter opens a menu; closed with Escape, it
    # leaves the keys to the window (Qt's bar kept them, and the window's
    # keys went dead).
    s.key("alt+p")
    s.wait(lambda: s.popups() or None, "the Panes menu opened by Alt+P")
    s.key("Escape")
    s.wait(lambda: not s.popups() or None, "the menu closed by Escape")
    s.key("ctrl+shift+e")
    s.frame(differs_from=top)
    # A right click on a pane (the bottom one) makes it current and opens
    # its menu, whose letters choose: an editor (E). In the editor the Menu
    # key and Shift+F10 open the editor's menu, which holds the pane's;
    # Escape closes it and the keys are back in the editor.
    width, height = s.geometry()[2:]
    s.click(width // 2, height - 40, button=3)
    s.wait(lambda: s.popups() or None, "the pane's menu opened by a right click")
    s.key("e")
    s.wait(lambda: not s.popups() or None, "the pane's menu closed")
    bottom = s.frame(typing=False)
    if bottom[3] < height - 3 or bottom[1] < s.menu + TOOLBAR + 20:
        raise Failure("the right click framed %r, not the bottom pane" % (bottom,))
    s.shows(bottom, "an editor put in by the pane's menu")
    for keys in ("Menu", "shift+F10"):
        s.key(keys)
        s.wait(lambda: s.popups() or None, "the editor's menu opened by " + keys)
        s.key("Escape")
        s.wait(lambda: not s.popups() or None, "the editor's menu closed")
    s.frame(equals=bottom)


def highlight_box(image, frame):
    """The current cell's highlight inside frame, relative to the frame's
    corner, or None."""
    left, top, right, bottom = frame
    box = None
    for y in range(top + 2, bottom - 1):
        for x in range(left + 2, right - 1):
            r, g, b = image.pixel(x, y)
            if b - r > 80:
                p = (x - left, y - top)
                box = [p[0], p[1], p[0], p[1]] if box is None else [
                    min(box[0], p[0]), min(box[1], p[1]), max(box[2], p[0]), max(box[3], p[1])]
    return tuple(box) if box else None


def own_work(s):
    """Every pane holds its own editor or grid, and the keyboard goes where
    the frame is: what users reported, one after the other."""
    # From the base pane alone.
    for _ in range(60):
        was = s.frame_only()
        s.key("ctrl+shift+w")
        time.sleep(0.3 * PATIENCE)
        if s.frame_only() == was:
            break
    base = s.frame()
    s.key("ctrl+shift+e")
    left = s.frame(differs_from=base)
    # An editor on the left; the frame moves right and the typing with it.
    s.key("ctrl+shift+m")
    s.shows(left, "an editor")
    s.type("one")
    s.key("F6")
    right = s.frame(differs_from=left)
    # A second editor, of the right pane's own.
    s.key("ctrl+shift+m")
    s.shows(right, "a second editor in the other pane")
    s.type("two")
    s.frame(equals=right)
    if not is_white(s.grab().pixel(left[0] + 6, left[1] + 6)):
        raise Failure("the first editor went when the second came")
    # A grid on a pane that holds an editor leaves the editor, which keeps
    # the keyboard.
    s.key("ctrl+shift+g")
    s.quiet()
    if not is_white(s.grab().pixel(right[0] + 6, right[1] + 6)):
        raise Failure("a grid covered the editor")
    s.frame(equals=right)
    # Ctrl+Shift+H goes left; a stacked split takes the editor into the top
    # half; Ctrl+Shift+J goes down, where a grid goes.
    s.key("ctrl+shift+h")
    s.frame(equals=left)
    s.key("ctrl+shift+o")
    top = s.frame(differs_from=left)
    s.key("ctrl+shift+j")
    bottom = s.frame(differs_from=top)
    s.key("ctrl+shift+g")
    s.shows(bottom, "a grid", editor=False)
    s.type("42")
    s.key("Return")
    cell = s.wait(lambda: highlight_box(s.grab(), bottom), "the grid's current cell")
    # A split by the keys leaves the grid's current cell where it was.
    s.key("ctrl+shift+e")
    half = s.frame(differs_from=bottom)
    s.quiet()
    if highlight_box(s.grab(), half) != cell:
        raise Failure("a split moved the grid's current cell: %r, was %r" % (
            highlight_box(s.grab(), half), cell))
    # F6 leaves the grid (its cell is not overwritten: the frame check sees
    # any letter outside the frame). Ctrl+Tab leaves it for the next editor
    # or grid in the panes' order, the frame with it; from the last one, for
    # the toolbar, where Shift+Tab comes back; Ctrl+Shift+Tab goes back.
    s.key("F6")
    s.frame(differs_from=half)
    s.key("shift+F6")
    s.frame(equals=half)
    s.key("ctrl+Tab")
    s.frame(equals=right)
    s.key("ctrl+Tab")
    s.frame_only(equals=right)
    s.typing_lands_in(right, must_show=False)
    s.key("shift+Tab")
    s.frame(equals=right)
    s.key("ctrl+shift+Tab")
    s.frame(equals=half)
    s.key("F6")
    s.frame(differs_from=half)
    # Three removals, then three undos: the very same screen; a redo takes
    # the last one back out. (A window resized and back is painted afresh:
    # frames erased in white stay until then.)
    whole, current = s.afresh(), s.frame_only()
    for _ in range(3):
        was = s.frame_only()
        s.key("ctrl+shift+w")
        s.frame(differs_from=was)
    for _ in range(3):
        was = s.frame_only()
        s.key("ctrl+shift+t")
        s.frame(differs_from=was)
    if s.frame_only() != current:
        raise Failure("the undone removals did not bring the frame back to where it was")
    changed = diff_box(whole, s.afresh())
    if changed is not None and not inside(changed, current):
        whole.save(os.path.join(s.out, "e2e-expected.ppm"))
        raise Failure("three removals undone do not give the same screen: %r differs" % (changed,))
    s.key("ctrl+shift+y")
    s.frame(differs_from=current)
    s.key("ctrl+shift+t")
    s.frame(equals=current)


def room_and_zoom(s):
    """Panes never shrink out of sight: sixty splits in a row keep a framed
    pane at least a splitter's minimum; a deep pane zooms to the whole pane
    area; a dragged splitter is on its pixel again after a resize and back."""
    for _ in range(60):
        was = s.frame_only()
        s.key("ctrl+shift+o" if taller(was) else "ctrl+shift+e")
        time.sleep(0.05)
        now = s.frame_only()
        # The paint box is the pane less its one-pixel bevel.
        if now[2] - now[0] + 3 < 30 or now[3] - now[1] + 3 < 30:
            raise Failure("a split left the current pane %r smaller than the minimum" % (now,))
    deep = s.frame()
    width, height = s.geometry()[2:]
    s.key("ctrl+shift+x")
    whole = (1, s.menu + TOOLBAR + 1, width - 2, height - 2)
    s.frame(equals=whole)
    s.key("ctrl+shift+x")
    s.frame(equals=deep)
    # A drag of the splitter just right of (or below) the frame, then the
    # window resized and back: the splitter is where the drag left it.
    x, y = (deep[2] + 2, centre(deep)[1]) if deep[2] + 40 < width else (centre(deep)[0], deep[3] + 2)
    s.drag(x, y, 13 if x == deep[2] + 2 else 0, 0 if x == deep[2] + 2 else 13)
    dragged = s.frame(differs_from=deep)
    s.resize(1300, 900)
    s.wait(lambda: s.geometry()[2:] == (1300, 900) or None, "the window resized")
    s.frame(differs_from=dragged, typing=False)
    s.resize(width, height)
    s.wait(lambda: s.geometry()[2:] == (width, height) or None, "the window resized back")
    s.frame(equals=dragged)


def taller(frame):
    # Split along the longer side, as a person would.
    return frame[3] - frame[1] > frame[2] - frame[0]


def answer(s, *keys):
    """Waits for the program's question and answers it with keys (Return:
    the default; Escape: the last button; Tab then space: the next one)."""
    deadline = time.time() + 10 * PATIENCE
    while True:
        question = s.wait(lambda: s.dialog(), "a question")
        try:
            s.tool("windowactivate", "--sync", question)
            break
        except Failure:
            # Gone as it was found: a popup closing (an editor's menu shut
            # by Escape just before), not the question.
            if time.time() > deadline:
                raise
            time.sleep(0.1)
    s.tool("key", "--delay", "100", *keys)
    # The answer may end the program (Discard at leaving). The question is
    # judged by its own window: a search of every window can miss it while
    # another one comes or goes.
    deadline = time.time() + 5 * PATIENCE
    said_again = False
    while s.app.poll() is None and s.viewable(question):
        if time.time() > deadline:
            if said_again:
                raise Failure("the question stayed after %s" % " ".join(keys))
            # A program slowed down many times over (valgrind) may drop keys
            # that come before its window has taken the focus; a person
            # would press them again.
            s.note("keys again: %s" % " ".join(keys))
            s.tool("windowactivate", "--sync", question)
            s.tool("key", "--delay", "100", *keys)
            said_again = True
            deadline = time.time() + 5 * PATIENCE
        time.sleep(0.03)
    if s.app.poll() is None:
        try:
            s.tool("windowactivate", "--sync", s.wid)
        except Failure:
            # The answer ends the program (Discard at leaving): its window
            # goes before the process does, which takes long under ASan.
            try:
                s.app.wait(timeout=30 * PATIENCE)
            except subprocess.TimeoutExpired:
                raise Failure("the window went after %s, the program stayed" % " ".join(keys))


def launch_opened(s, path):
    """Starts the program on path and waits until the file is open (a new
    one named). The file opens first, then any question comes: a program
    slowed down many times over (valgrind) shows the open's progress window
    meanwhile, titled as a question is, which must not take its answer."""
    s.launch(path)
    opened = os.path.basename(path) + " \u2014 Panes"
    s.wait(lambda: s.title() == opened or None, "the file open before any question")


def recover(s, path, what, title=None):
    """Starts the program (with path, if any), answers Recover (Return) to its
    question and waits until the window shows the recovered changes (what),
    unsaved."""
    if path:
        launch_opened(s, path)
    else:
        s.launch()
    answer(s, "Return")
    title = title or "*" + os.path.basename(path)
    s.wait(lambda: s.title().startswith(title) or None, what)


def crash(s):
    """The program killed as a crash would end it, once its recovery copy has
    had time to be written."""
    time.sleep(3 * PATIENCE)
    s.app.kill()
    s.app.wait()
    s.app = None


def recovery_copies(s):
    """What the recovery copies kept for the user hold."""
    texts = []
    for folder, _, names in os.walk(s.env["XDG_DATA_HOME"]):
        for name in names:
            if name.endswith(".recovery.panes"):
                with open(os.path.join(folder, name), encoding="utf-8") as f:
                    texts.append(f.read())
    return texts


def workspace_files(s):
    """Work kept in a file: saved and found again the same, recovered after a
    crash, and a question before unsaved changes are left."""
    folder = tempfile.mkdtemp(prefix="panes-files-", dir=s.env["XDG_RUNTIME_DIR"])
    path = os.path.join(folder, "notes.panes")
    launch_opened(s, path)
    s.press("create")
    base = s.frame()
    s.press("side")
    left = s.frame(differs_from=base)
    s.press("memo")
    s.shows(left, "an editor")
    s.type("kept in a file")
    s.key("F6")
    right = s.frame(differs_from=left)
    s.press("grid")
    s.type("42")
    s.key("Return")
    s.frame(equals=right)
    s.wait(lambda: s.title().startswith("*") or None, "unsaved changes in the title")
    s.key("ctrl+s")
    s.wait(lambda: os.path.exists(path) and not s.title().startswith("*") or None, "the file saved")
    saved = s.afresh()
    # Leaving a saved window asks nothing; the file brings back the screen.
    s.press("leave")
    s.ended(0)
    s.launch(path)
    s.frame(equals=right, typing=False)
    changed = diff_box(saved, s.afresh())
    if changed is not None:
        raise Failure("the saved workspace opens differently: %r differs" % (changed,))
    # Unsaved typing, then the program killed: the next start offers the
    # recovery copy, and Return takes it.
    s.key("shift+F6")
    s.frame(equals=left, typing=False)
    s.key("ctrl+End")
    s.type(" and recovered")
    # An opened editor has its caret at the start: so has this one now.
    s.key("ctrl+Home")
    # The copy follows the window's size too: the crash comes once it has.
    lost = s.afresh()
    crash(s)
    recover(s, path, "the recovered changes, unsaved")
    changed = diff_box(lost, s.afresh())
    # The caret blinks: it alone may differ.
    if changed is not None and changed[2] - changed[0] > 1:
        raise Failure("the recovered workspace is not what was typed: %r differs" % (changed,))
    # The system ending the program (a logout, a shutdown: SIGTERM) at once
    # after typing, before the copy's two seconds: the typing is kept all
    # the same, and the program leaves with 128 + 15.
    s.type("logout ")
    time.sleep(0.3 * PATIENCE)  # the keys reach the program
    s.app.terminate()
    s.ended(143)
    recover(s, path, "the changes kept at SIGTERM")
    # Leaving with unsaved changes asks; Escape (Cancel) keeps the window.
    s.press("leave")
    question = s.wait(lambda: s.dialog(), "the question before leaving")
    s.tool("windowactivate", "--sync", question)
    s.tool("key", "Escape")
    s.wait(lambda: s.dialog() is None or None, "the question gone")
    s.alive()
    # The keys are back in the framed pane, not on the button pressed.
    s.frame()
    # Return saves and leaves.
    s.press("leave")
    question = s.wait(lambda: s.dialog(), "the question before leaving")
    s.tool("windowactivate", "--sync", question)
    s.tool("key", "Return")
    s.ended(0)
    with open(path, encoding="utf-8") as f:
        text = f.read()
        if "kept in a file and recovered" not in text or "logout " not in text:
            raise Failure("the saved file lacks the recovered text")


def close_button(s):
    """The window's close button, as the window manager tells the program."""
    s.note("close button")
    result = subprocess.run(["wmctrl", "-i", "-c", s.wid], env=s.env, capture_output=True,
                            text=True, timeout=30 * PATIENCE)
    if result.returncode != 0:
        raise Failure("wmctrl: " + result.stderr.strip())


def untitled_work(s):
    """Typed work in a window without a file: the title says so, every way of
    leaving asks, a crash keeps it for the next start, and Discard lets it
    go, after which the program leaves at once as it always did."""
    # What the random steps left: with typed work leaving asks, else not.
    typed = s.title().startswith("*Untitled")
    s.press("leave")
    if typed:
        answer(s, "Tab", "space")  # Discard
    s.ended(0)
    s.launch()
    s.press("create")
    base = s.frame(typing=False)
    s.press("side")
    left = s.frame(differs_from=base, typing=False)
    s.press("memo")
    s.shows(left, "an editor")
    if s.title() != "Panes":
        raise Failure("an empty editor counts as work: %r" % s.title())
    s.type("untitled work")
    s.wait(lambda: s.title().startswith("*Untitled") or None, "unsaved work in the title")
    for way in (lambda: s.press("leave"), lambda: s.key("ctrl+q"), lambda: close_button(s)):
        way()
        answer(s, "Escape")  # Cancel
        s.alive()
    s.key("ctrl+Home")  # an opened editor has its caret at the start
    lost = s.afresh()
    crash(s)
    recover(s, None, "the untitled work recovered", "*Untitled")
    s.frame(equals=left, typing=False)
    changed = diff_box(lost, s.afresh())
    if changed is not None and changed[2] - changed[0] > 1:  # the caret blinks
        raise Failure("the recovered window is not what was typed: %r differs" % (changed,))
    s.press("leave")
    answer(s, "Tab", "space")  # Discard
    s.ended(0)
    s.launch()
    time.sleep(2 * PATIENCE)
    if s.dialog() is not None:
        raise Failure("discarded work was offered again")
    s.press("leave")
    s.ended(0)


def clipboard(s, target="UTF8_STRING"):
    """What the X clipboard holds, as target, or None while it holds nothing."""
    got = subprocess.run(["xclip", "-selection", "clipboard", "-o", "-t", target], env=s.env,
                         capture_output=True, timeout=10 * PATIENCE)
    return got.stdout.decode("utf-8") if got.returncode == 0 else None


def put_clipboard(s, text):
    """Another program (xclip, as a spreadsheet would) owns the clipboard
    with text; it serves it until the program takes the clipboard over."""
    feed = subprocess.Popen(["xclip", "-selection", "clipboard", "-i", "-quiet"], env=s.env,
                            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    feed.stdin.write(text.encode("utf-8"))
    feed.stdin.close()
    s.wait(lambda: clipboard(s) == text or None, "the text on the clipboard")
    return feed


def saved(s, path):
    """Saves (Ctrl+S) and gives back what the file holds."""
    before = os.stat(path).st_mtime_ns if os.path.exists(path) else None
    s.key("ctrl+s")
    s.wait(lambda: os.path.exists(path) and os.stat(path).st_mtime_ns != before
           and not s.title().startswith("*") or None, "the workspace saved")
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def grids_and_editors(s):
    """Real work in grids and editors: a list typed without planning, a range
    copied through the X clipboard (read by another program as text and as
    an HTML table), a spreadsheet's rows pasted into another pane's grid,
    Delete, Enter past the last row, a find in a long text, the text's
    size; all of it, the caret and where each was scrolled, reopened."""
    if s.app is not None and s.app.poll() is None:
        # Run on its own (--only grids), after the first stage's
        # program: that one goes, and its recovery copy with it.
        s.app.kill()
        s.app.wait()
        shutil.rmtree(s.env["XDG_DATA_HOME"], ignore_errors=True)
    folder = tempfile.mkdtemp(prefix="panes-work-", dir=s.env["XDG_RUNTIME_DIR"])
    path = os.path.join(folder, "work.panes")
    s.launch(path)
    s.press("create")
    base = s.frame()
    s.press("side")
    left = s.frame(differs_from=base)
    s.press("grid")
    s.shows(left, "a grid", editor=False)
    # Tab across, Enter down (back where the Tabs began): six rows in a grid
    # of four grow it.
    for i in range(6):
        s.type("r%d\t%d" % (i, i * i))
        s.key("Return")
    s.key("ctrl+Home", "shift+Right", "shift+Down", "shift+Down", "ctrl+c")
    copied = s.wait(lambda: clipboard(s) or None, "the copied range on the X clipboard")
    if copied.rstrip("\n") != "r0\t0\nr1\t1\nr2\t4":
        raise Failure("the clipboard holds %r, not the range" % copied)
    html = clipboard(s, "text/html") or ""
    if "<table" not in html or "r2" not in html:
        raise Failure("no HTML table on the clipboard: %r" % html[:200])
    s.key("Right")  # a file keeps the current cell, not the range
    # What a spreadsheet copies (a quoted field, an embedded tab, a CJK
    # cell), pasted into a grid in the other pane, which grows to take it.
    s.key("F6")
    right = s.frame(differs_from=left, typing=False)
    s.press("grid")
    sheet = "name\tnote\n\"say \"\"hi\"\"\"\t\"a\tb\"\n\u9031\u4e00\tx\n" + "".join(
        "%d\t%d\n" % (i, i) for i in range(3, 9))
    feeds = [put_clipboard(s, sheet)]
    s.key("ctrl+v")
    # Delete clears the selection: the pasted range's first row.
    s.key("ctrl+Home", "shift+Right", "Delete")
    # Enter past the last row (the paste's ninth) adds one to type into, and
    # Enter there one more.
    s.key("ctrl+End", "Return")
    s.type("grown")
    s.key("Return")
    # A long text in an editor below, found in with Ctrl+F and made larger.
    s.key("F6")
    s.frame(equals=left, typing=False)
    s.key("F6")
    s.frame(equals=right, typing=False)
    s.press("stacked")
    top_right = s.frame(differs_from=right, typing=False)
    s.key("ctrl+shift+j")
    bottom = s.frame(differs_from=top_right, typing=False)
    s.press("memo")
    s.shows(bottom, "an editor")
    feeds.append(put_clipboard(s, "".join("line %d of the notes\n" % i for i in range(300))))
    s.key("ctrl+v", "ctrl+Home", "ctrl+f")
    s.type("line 150 ")
    # Return finds it again (round from the end), Escape gives the keys
    # back to the text with the match selected, Left goes to its start.
    s.key("Return", "Escape", "Left")
    s.type("FOUND ")
    for feed in feeds:
        feed.terminate()
        feed.wait()
    s.key("ctrl+plus", "ctrl+plus", "ctrl+minus")
    kept = saved(s, path)
    grids = [p for p in kept["panes"] if p.get("leaf") == "grid"]
    editors = [p for p in kept["panes"] if p.get("leaf") == "editor"]
    if len(grids) != 2 or len(editors) != 1:
        raise Failure("the file holds %d grids and %d editors" % (len(grids), len(editors)))
    typed, pasted = grids
    if [row[1:3] for row in typed["cells"][1:7]] != [["r%d" % i, str(i * i)] for i in range(6)]:
        raise Failure("the typed list is not in the file: %r" % typed["cells"])
    want = [["", ""], ["say \"hi\"", "a\tb"], ["\u9031\u4e00", "x"]] + [
        [str(i), str(i)] for i in range(3, 9)]
    if ([row[1:3] for row in pasted["cells"][1:10]] != want or len(pasted["cells"]) != 12 or
            pasted["cells"][10][4] != "grown"):
        raise Failure("the pasted, cleared and grown grid is not in the file: %r" % pasted["cells"])
    editor = editors[0]
    found = editor["text"].find("FOUND line 150 ")
    if found < 0 or editor.get("caret") != found + len("FOUND "):
        raise Failure("the find and the caret are not in the file: caret %r" % editor.get("caret"))
    if not editor.get("top", 0) > 0 or editor.get("scale") != 110:
        raise Failure("the editor's scroll and size are not in the file: %r" % (
            {k: v for k, v in editor.items() if k != "text"},))
    # Reopened: every pane as it was, the editor scrolled to the find.
    s.quiet()
    before = s.afresh()
    s.press("leave")
    s.ended(0)
    s.launch(path)
    s.frame(equals=bottom, typing=False)
    after = s.afresh()
    changed = diff_box(before, after)
    if changed is not None and changed[2] - changed[0] > 1:  # the caret blinks
        before.save(os.path.join(s.out, "reopen-before.ppm"))
        raise Failure("the workspace reopens differently: %r differs (was: reopen-before.ppm)" % (
            changed,))
    s.press("leave")
    s.ended(0)


def rearrange(s):
    """Panes moved about as people do it: an editor's pane carried with
    Ctrl+Shift and a drag onto another pane's middle (they trade places), an
    empty pane dragged onto another's edges (it goes above, below, before
    it; on the edge that faces it nothing moves), Escape
    mid-drag and a drop on itself (nothing changes), the move mode's keys,
    the pane menu's Move This Pane and a click; every one undone and redone
    with Ctrl+Shift+T and Ctrl+Shift+Y, a splitter drag too."""
    if s.app is not None and s.app.poll() is None:
        s.app.kill()
        s.app.wait()
        shutil.rmtree(s.env["XDG_DATA_HOME"], ignore_errors=True)
    s.launch()
    s.press("create")
    base = s.frame()
    s.press("memo")
    s.type("notes")
    s.press("side")
    left = s.frame(differs_from=base, typing=False)
    right = (left[2] + 4, left[1], base[2], left[3])
    s.click(*centre(right))
    right = s.frame_only(differs_from=left)

    def carry(frm, to, modifiers=None, escape=False):
        s.note("carry %r to %r%s" % (frm, to, " with " + modifiers if modifiers else ""))
        if modifiers:
            s.tool("keydown", modifiers)
        s.tool("mousemove", "--window", s.wid, str(frm[0]), str(frm[1]), "mousedown", "1")
        if modifiers:
            s.tool("keyup", modifiers)
        for i in range(1, 6):
            s.tool("mousemove", "--window", s.wid, str(frm[0] + (to[0] - frm[0]) * i // 5),
                   str(frm[1] + (to[1] - frm[1]) * i // 5))
            time.sleep(0.02)
        if escape:
            s.key("Escape")
        s.tool("mouseup", "1")

    # The editor's pane onto the empty one's middle: they trade places, and
    # the keys go on into the editor where it went.
    s.click(*centre(left))
    s.frame_only(equals=left)
    carry(centre(left), centre(right), "ctrl+shift")
    s.frame_only(equals=right)
    s.typing_lands_in(right, must_show=True)
    s.key("ctrl+shift+t")
    s.frame_only(equals=left)
    s.key("ctrl+shift+y")
    s.frame_only(equals=right)
    s.key("ctrl+shift+t")
    s.frame_only(equals=left)
    whole = s.grab()

    # The empty pane onto the editor's top edge: it lies above the editor,
    # across the whole width, and is current.
    carry(centre(right), (centre(left)[0], left[1] + 10))
    top = s.frame_only(differs_from=left)
    if not (top[0] <= left[0] + 2 and top[2] >= right[2] - 2 and top[3] < centre(base)[1] + 4):
        raise Failure("a drop on the top edge framed %r, not the top half" % (top,))
    s.key("ctrl+shift+t")
    s.frame_only(equals=right)
    # The other edges: below it across the whole width, and before it on the
    # left; on the edge that faces it the empty pane is where it would land,
    # so nothing moves.
    zones = (("bottom", (centre(left)[0], left[3] - 10),
              lambda f: f[0] <= left[0] + 2 and f[2] >= right[2] - 2 and f[1] > centre(base)[1] - 4),
             ("left", (left[0] + 10, centre(left)[1]),
              lambda f: f[2] <= centre(base)[0] + 4 and f[1] <= left[1] + 2 and f[3] >= left[3] - 2))
    for name, at, fits in zones:
        carry(centre(right), at)
        moved = s.frame_only(differs_from=right)
        if not fits(moved):
            raise Failure("a drop on the %s edge framed %r" % (name, moved))
        s.key("ctrl+shift+t")
        s.frame_only(equals=right)
    carry(centre(right), (left[2] - 10, centre(left)[1]))
    s.frame_only(equals=right)
    time.sleep(0.3)
    s.frame_only(equals=right)

    # Escape mid-drag, and a drop on itself: nothing changes.
    s.click(*centre(left))
    s.frame_only(equals=left)
    carry(centre(left), centre(right), "ctrl+shift", escape=True)
    carry(centre(right), (centre(right)[0] + 60, centre(right)[1] + 30))
    s.frame_only(equals=right)
    s.click(*centre(left))
    s.frame_only(equals=left)
    changed = diff_box(whole, s.grab())
    if changed is not None:
        raise Failure("Escape or a drop on itself changed the screen at %r" % (changed,))

    # The move mode: L trades places with the pane on the right, Enter keeps.
    s.key("ctrl+shift+r", "l", "Return")
    s.frame_only(equals=right)
    s.key("ctrl+shift+t")
    s.frame_only(equals=left)

    # A single pointer: the pane's menu picks the pane up, a click puts it
    # down (Menu key, then M for Move This Pane).
    s.key("Menu")
    s.wait(lambda: s.popups() or None, "the editor's menu")
    s.key("n", "m")
    s.wait(lambda: not s.popups() or None, "the menu closed")
    s.click(*centre(right))
    s.frame_only(equals=right)
    s.typing_lands_in(right, must_show=True)
    s.key("ctrl+shift+t")
    s.frame_only(equals=left)

    # A splitter drag is a step of its own.
    s.drag(left[2] + 2, centre(left)[1], 80, 0)
    dragged = s.frame_only(differs_from=left)
    s.key("ctrl+shift+t")
    s.frame_only(equals=left)
    s.key("ctrl+shift+y")
    s.frame_only(equals=dragged)
    # The untitled work goes, and its recovery copy with it: the stages after
    # start their own windows.
    s.app.kill()
    s.app.wait()
    s.app = None
    shutil.rmtree(s.env["XDG_DATA_HOME"], ignore_errors=True)



def later_and_escape(s):
    """Not now keeps a recovery copy for later, whatever comes after; a cell
    still open at a save and then escaped shows what the file holds."""
    folder = tempfile.mkdtemp(prefix="panes-later-", dir=s.env["XDG_RUNTIME_DIR"])
    path = os.path.join(folder, "later.panes")
    for word, answers in (("FIRST", ()), ("SECOND", (("Escape",),))):
        launch_opened(s, path)
        for keys in answers:
            answer(s, *keys)  # Not now
        s.press("create")
        s.press("memo")
        s.type(word)
        s.wait(lambda: s.title().startswith("*") or None, "unsaved changes in the title")
        crash(s)
    kept = recovery_copies(s)
    for word in ("FIRST", "SECOND"):
        if not any(word in text for text in kept):
            raise Failure("the copy with %s is gone: %r" % (word, kept))
    # Both are offered, newest first: Not now to SECOND, Recover FIRST.
    launch_opened(s, path)
    answer(s, "Escape")
    answer(s, "Return")
    s.wait(lambda: s.title().startswith("*later.panes") or None, "the older copy recovered")
    s.key("ctrl+s")
    s.wait(lambda: not s.title().startswith("*") or None, "the file saved")
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if "FIRST" not in text or "SECOND" in text:
        raise Failure("the wrong copy was recovered: %r" % text)
    if not any("SECOND" in text for text in recovery_copies(s)):
        raise Failure("the copy put off again was lost")
    # Plums typed into a cell still open, saved, then Escape: the screen,
    # the title and the file agree, and leaving asks nothing.
    base = s.frame(typing=False)
    s.press("side")
    left = s.frame(differs_from=base, typing=False)
    s.key("F6")
    right = s.frame(differs_from=left, typing=False)
    s.press("grid")
    s.shows(right, "a grid", editor=False)
    s.type("Plums")
    s.key("ctrl+s")
    s.wait(lambda: not s.title().startswith("*") or None, "the file saved")
    s.key("Escape")
    time.sleep(0.5 * PATIENCE)
    if s.title().startswith("*"):
        raise Failure("Escape after a save left the window unsaved: %r" % s.title())
    with open(path, encoding="utf-8") as f:
        if '"Plums"' not in f.read():
            raise Failure("the saved file lacks the cell typed before the save")
    shown = s.afresh()
    s.press("leave")
    s.ended(0)
    launch_opened(s, path)
    answer(s, "Escape")  # SECOND is still kept: not now
    s.frame(typing=False)
    changed = diff_box(shown, s.afresh())
    if changed is not None and changed[2] - changed[0] > 1:
        raise Failure("the screen and the file disagree after Escape: %r differs" % (changed,))
    s.press("leave")
    s.ended(0)


def workspace_file(path, panes, current):
    """Writes a workspace file of panes (in tree order) with current."""
    with open(path, "w", encoding="utf-8") as f:
        json.dump({"format": "panes-workspace", "version": 2,
                   "area": {"width": 688, "height": 389}, "current": current,
                   "panes": panes}, f, ensure_ascii=False)


def chain_file(path, splits, text):
    """A chain of splits, each one's first half split again (as pressing a
    split button over and over makes), the root's second half an editor
    holding text, and current."""
    panes = [{"split": "top-bottom" if i % 2 else "left-right", "ratio": 0.5}
             for i in range(splits)]
    panes += [{"leaf": "empty"} for _ in range(splits)]
    panes.append({"leaf": "editor", "text": text})
    workspace_file(path, panes, len(panes) - 1)


def crowded_file(path, leaves):
    """A balanced tree of leaves panes, each an editor holding a paragraph:
    thousands of widgets to make, long enough to open for its progress to
    show."""
    def tree(count, depth):
        if count == 1:
            return [{"leaf": "editor", "text": "a paragraph of notes " * 8}]
        half = count // 2
        return ([{"split": "top-bottom" if depth % 2 else "left-right", "ratio": 0.5}] +
                tree(half, depth + 1) + tree(count - half, depth + 1))
    panes = tree(leaves, 0)
    workspace_file(path, panes, len(panes) - 1)


def caret_blinks(s, frame):
    """Waits until the caret blinks inside frame, and nothing else changes:
    the program is at rest, the keys in the editor there. (Qt takes a while
    over the first paint of 16,000 nested widgets.)"""
    s.tool("mousemove", "1590", "1190")  # no hover left on the toolbar
    last = [s.grab()]

    def check():
        time.sleep(0.2)
        now = s.grab()
        changed = diff_box(last[0], now)
        last[0] = now
        return True if changed is not None and inside(changed, frame) else None

    s.wait(check, "the caret blinking in the editor", timeout=60)


def huge_files(s):
    """What a file holds never stops the window answering: the system ending
    the program in the middle of opening thousands of editors ends it with
    128 + 15 and keeps the earlier unsaved work in its recovery copy, never
    the half-opened panes; 8,000 nested panes, opened whole, take typing. Editors
    holding 5 MB on one line and 5 MB in 80,000 lines take typing, and what
    is saved back is what the file held, byte for byte."""
    folder = tempfile.mkdtemp(prefix="panes-huge-", dir=s.env["XDG_RUNTIME_DIR"])
    chain = os.path.join(folder, "chain.panes")
    chain_file(chain, 8000, "the end of a long chain")
    crowded = os.path.join(folder, "crowded.panes")
    crowded_file(crowded, 8000)
    if s.app is not None:  # run alone, the first start is still up
        s.press("leave")
        s.ended(0)
    # Untitled work, then Ctrl+O, Discard, 8,000 editors: SIGTERM while they
    # open.
    s.launch()
    s.press("create")
    s.press("memo")
    s.type("EARLIER WORK")
    s.wait(lambda: s.title().startswith("*Untitled") or None, "unsaved work in the title")
    s.key("ctrl+o")
    answer(s, "Tab", "space")  # Discard (it stays until the file is open)
    chooser = s.wait(lambda: s.dialog("Open a workspace"), "the file chooser")
    s.tool("windowactivate", "--sync", chooser)
    s.tool("type", "--delay", "5", crowded)
    s.tool("key", "Return")
    s.wait(lambda: s.dialog(), "the open's progress", timeout=30)
    s.note("SIGTERM while the editors open")
    s.app.terminate()
    s.ended(143)
    kept = [json.loads(text) for text in recovery_copies(s)]
    earlier = [w for w in kept if any("EARLIER WORK" in p.get("text", "") for p in w["panes"])]
    if len(earlier) != 1 or len(earlier[0]["panes"]) != 1:
        raise Failure("the recovery copies do not hold the earlier work alone: %r" %
                      [len(w["panes"]) for w in kept])
    for where, _, names in os.walk(s.env["XDG_DATA_HOME"]):
        # A copy's temporary (the copy's name and more) would be half a copy.
        left = [n for n in names if ".recovery.panes" in n and
                not n.endswith((".recovery.panes", ".recovery.panes.lock"))]
        if left:
            raise Failure("the ending left half-written copies in %s: %r" % (where, left))
    # Opened whole, the chain's one pane in sight takes typing; SIGTERM
    # then ends the program at once, with 128 + 15.
    s.launch(chain)
    s.wait(lambda: s.title() == "chain.panes \u2014 Panes" or None, "the chain opened",
           timeout=600)
    frame = s.frame_only(timeout=30)
    caret_blinks(s, frame)
    s.typing_lands_in(frame, must_show=True)
    s.app.terminate()
    s.ended(143)

    # 5 MB on one line (with a no-break space and CJK in it) beside 5 MB in
    # 80,000 lines.
    line = ("panes\u00a0\u4e2d\u6587 and splits " * 200000)[:5 * 1024 * 1024 // 3]
    lines = "".join("%05d %s\n" % (i, "x" * 58) for i in range(80000))
    texts = os.path.join(folder, "texts.panes")
    workspace_file(texts, [{"split": "left-right", "ratio": 0.5},
                           {"leaf": "editor", "text": line},
                           {"leaf": "editor", "text": lines}], 1)
    s.launch(texts)
    s.wait(lambda: s.title() == "texts.panes \u2014 Panes" or None, "the texts opened", timeout=60)
    left = s.frame_only(timeout=30)
    caret_blinks(s, left)
    s.typing_lands_in(left, must_show=True)
    s.key("F6")
    right = s.frame_only(differs_from=left)
    s.typing_lands_in(right, must_show=True)
    # Typed and taken back: the window is changed all the same; saved, the
    # file holds the very texts it held.
    s.wait(lambda: s.title().startswith("*") or None, "the typing in the title")
    s.key("ctrl+s")
    s.wait(lambda: not s.title().startswith("*") or None, "the texts saved", timeout=30)
    with open(texts, encoding="utf-8") as f:
        saved = [p.get("text") for p in json.load(f)["panes"]]
    if saved[1] != line or saved[2] != lines:
        raise Failure("the saved texts differ from the opened ones (%s, %s characters)" % (
            len(saved[1] or ""), len(saved[2] or "")))
    s.press("leave")
    s.ended(0)


def random_actions(s, count, rng):
    """Random things a person might do; after each, one framed pane shows and
    typing lands inside it."""
    frame = s.frame()
    for _ in range(count):
        tabbed = False
        width, height = s.geometry()[2:]
        roll = rng.random()
        small = frame[2] - frame[0] < 60 or frame[3] - frame[1] < 60
        if roll < 0.18 and not small:
            s.press(rng.choice(["stacked", "side"]))
        elif roll < 0.30:
            s.press("delete")
        elif roll < 0.55:
            button = rng.choice([1, 1, 1, 3])
            s.click(rng.randrange(2, width - 2), rng.randrange(s.menu + TOOLBAR + 2, height - 2),
                    button)
            if button == 3:
                # An editor's own menu may open over the frame; a person
                # would close it again.
                s.key("Escape")
        elif roll < 0.68:
            # Often on a splitter: just past the current frame's edge.
            if rng.random() < 0.5:
                x, y = frame[2] + 2, centre(frame)[1]
                s.drag(x, y, rng.randrange(-80, 81), 0)
            else:
                x, y = centre(frame)[0], frame[3] + 2
                s.drag(x, y, 0, rng.randrange(-80, 81))
        elif roll < 0.76:
            s.resize(rng.randrange(300, 1400), rng.randrange(250, 1000))
        elif roll < 0.84:
            s.press(rng.choice(["memo", "grid"]))
        elif roll < 0.95:
            s.type(rng.choice(["abc ", "split ", "中文", "窗 ", "42"]))
        else:
            keys = rng.choice(["Tab", "Return", "BackSpace", "Left", "ctrl+shift+o", "ctrl+shift+e",
                               "ctrl+shift+h", "ctrl+shift+j", "ctrl+shift+k", "ctrl+shift+l",
                               "F6", "shift+F6", "ctrl+alt+shift+l", "ctrl+alt+shift+j",
                               "ctrl+shift+b", "ctrl+shift+x", "ctrl+shift+w", "ctrl+shift+t",
                               "ctrl+shift+y", "ctrl+Tab", "ctrl+shift+Tab", "ctrl+shift+m",
                               "ctrl+shift+g"])
            s.key(keys)
            # Tab and Ctrl+Tab may take the keyboard to the toolbar, as they
            # should; the next command or click brings it back.
            if "Tab" in keys:
                tabbed = True
        try:
            frame = s.frame_only()
        except Failure as e:
            if not str(e).startswith("no red frame"):
                raise
            # Drags and a smaller window can squeeze the current pane to
            # nothing; zoomed, a current leaf shows its frame all the same.
            s.key("ctrl+shift+x")
            s.frame()
            s.key("ctrl+shift+x")
            frame = (0, 0, 1, 1)  # too small to split until seen again
            continue
        # After Tab the keyboard may rest on the toolbar: nothing typed may
        # show anywhere, but it need not show in the pane.
        s.typing_lands_in(frame, must_show=False if tabbed else None)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--actions", type=int, default=int(os.environ.get("PANES_E2E_ACTIONS", 300)))
    parser.add_argument("--seed", type=int, default=int(os.environ.get("PANES_SEED", 20261207)))
    parser.add_argument("--out", default=tempfile.gettempdir())
    parser.add_argument("--wrapper", default="",
                        help="command to run the program under, e.g. 'valgrind --error-exitcode=99'")
    parser.add_argument("--patience", type=float, default=1.0)
    parser.add_argument("--only", default="",
                        help="the stages to run, by name, comma-separated (all by default)")
    args = parser.parse_args()
    global PATIENCE
    PATIENCE = args.patience
    os.makedirs(args.out, exist_ok=True)
    print("end-to-end seed %d, %d random actions (PANES_SEED, PANES_E2E_ACTIONS)" % (
        args.seed, args.actions), flush=True)

    try:
        s = Session(os.path.abspath(args.binary), args.out, args.wrapper.split())
    except Failure as e:
        print("  could not start: %s" % e, flush=True)
        return 1
    try:
        stages = (("scenario", scenario), ("menus", menus), ("own work", own_work),
                  ("room", room_and_zoom),
                  ("random", lambda s: random_actions(s, args.actions, random.Random(args.seed))),
                  ("untitled", untitled_work), ("files", workspace_files),
                  ("grids", grids_and_editors), ("rearrange", rearrange),
                  ("later", later_and_escape),
                  ("huge files", huge_files))
        if args.only:
            stages = tuple(st for st in stages if st[0] in args.only.split(","))
        passed, failed = run_stages(s, stages, os.path.join(args.out, "e2e-failure.ppm"))
    finally:
        s.close()
    failed += stderr_written(s)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
