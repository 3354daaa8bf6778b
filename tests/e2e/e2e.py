#!/usr/bin/env python3
"""Drives the real program on a virtual X server the way a person does.

    e2e.py PANES_BINARY [--actions N] [--seed S] [--out DIR]

Starts Xvfb on a free display and the program on Qt's xcb platform, then
clicks, drags, types (CJK too), presses keys and resizes the window with
xdotool, and reads the screen back with ImageMagick's import. Panes are found
by their red frame, not by fixed coordinates. A scripted scenario runs first,
then a seeded random sequence of actions; the program must stay up, always
show exactly one framed pane, print nothing on stderr and exit with 0 when
its leave command closes it.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

# Toolbar buttons, centres in client coordinates (the window's layout).
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


class Session:
    def __init__(self, binary, out, wrapper=()):
        self.out = out
        self.xvfb = None
        self.app = None
        self.log = []
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1600x1200x24", "-nolisten", "tcp"],
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
            raise Failure("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number.decode().strip(), QT_QPA_PLATFORM="xcb")
        runtime = tempfile.mkdtemp(prefix="panes-e2e-")
        os.chmod(runtime, 0o700)
        self.env["XDG_RUNTIME_DIR"] = runtime
        self.env.pop("WAYLAND_DISPLAY", None)
        self.stderr_path = os.path.join(out, "panes.stderr")
        self.stderr = open(self.stderr_path, "w")
        self.app = subprocess.Popen(list(wrapper) + [binary], env=self.env, stderr=self.stderr,
                                    stdout=subprocess.DEVNULL)
        self.wid = self.tool("search", "--sync", "--name", "^Form1$").split()[0]
        self.wait(lambda: self.geometry()[2:] == (688, 446) or None, "the window at its size")
        # Into the corner, so every size the tests give it stays on the screen.
        self.tool("windowmove", self.wid, "0", "0")
        self.wait(lambda: self.geometry()[:2] == (0, 0) or None, "the window in the corner")

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

    def alive(self):
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
        self.tool("mousemove", "--window", self.wid, str(x), str(y), "click", "1")

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
        self.note("resize to %dx%d" % (width, height))
        self.tool("windowsize", self.wid, str(width), str(height))

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

    def frame(self, timeout=5.0, differs_from=None, equals=None):
        """The one red frame, once the screen shows exactly one (other than
        differs_from, or equal to equals, when the action must move it)."""
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

    def close(self):
        if self.app is not None and self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        if self.xvfb is not None:
            self.xvfb.kill()
            self.xvfb.wait()
        self.stderr.close()
        shutil.rmtree(self.env.get("XDG_RUNTIME_DIR", ""), ignore_errors=True)


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
    if root[1] < TOOLBAR:
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
    s.wait(lambda: is_white(s.grab().pixel(box[0] + 4, box[1] + 4)) or None,
           "the editor inside the framed pane")
    inside = s.grab()
    s.type("hello panes ")
    s.type("中文")
    s.changes(inside, box, "the typed text in the editor")
    # A split moves it into the new current half, text and all.
    s.press("stacked")
    half = s.frame(differs_from=box)
    s.wait(lambda: is_white(s.grab().pixel(half[0] + 4, half[1] + 4)) or None,
           "the editor in the current half after the split")
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
    s.wait(lambda: not is_white(s.grab().pixel(grid_box[0] + 4, grid_box[1] + 4)) or None,
           "the grid's headings")
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
    s.wait(lambda: is_white(s.grab().pixel(box[0] + 4, box[1] + 4)) or None, "a new editor")

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
    s.wait(lambda: (lambda f: f if isinstance(f, tuple) and f[2] > right[0] else None)(
        frame_of(s.grab())), "the zoomed pane")
    s.key("ctrl+shift+x")
    s.frame(equals=left)
    s.key("ctrl+shift+w")
    s.frame(differs_from=left)
    s.key("ctrl+shift+t")
    s.frame(equals=left)


def random_actions(s, count, rng):
    """Random things a person might do; after each, one framed pane shows."""
    frame = s.frame()
    for _ in range(count):
        width, height = s.geometry()[2:]
        roll = rng.random()
        small = frame[2] - frame[0] < 60 or frame[3] - frame[1] < 60
        if roll < 0.18 and not small:
            s.press(rng.choice(["stacked", "side"]))
        elif roll < 0.30:
            s.press("delete")
        elif roll < 0.55:
            button = rng.choice([1, 1, 1, 3])
            s.click(rng.randrange(2, width - 2), rng.randrange(TOOLBAR + 2, height - 2), button)
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
            s.key(rng.choice(["Tab", "Return", "BackSpace", "Left", "ctrl+shift+o", "ctrl+shift+e",
                              "ctrl+shift+h", "ctrl+shift+j", "F6", "shift+F6",
                              "ctrl+alt+shift+l", "ctrl+shift+b", "ctrl+shift+x", "ctrl+shift+w",
                              "ctrl+shift+t"]))
        try:
            frame = s.frame()
        except Failure as e:
            if not str(e).startswith("no red frame"):
                raise
            # Drags and a smaller window can squeeze the current pane to
            # nothing; zoomed, a current leaf shows its frame all the same.
            s.key("ctrl+shift+x")
            s.frame()
            s.key("ctrl+shift+x")
            frame = (0, 0, 1, 1)  # too small to split until seen again


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--actions", type=int, default=int(os.environ.get("PANES_E2E_ACTIONS", 300)))
    parser.add_argument("--seed", type=int, default=int(os.environ.get("PANES_SEED", 20261207)))
    parser.add_argument("--out", default=tempfile.gettempdir())
    parser.add_argument("--wrapper", default="",
                        help="command to run the program under, e.g. 'valgrind --error-exitcode=99'")
    parser.add_argument("--patience", type=float, default=1.0)
    args = parser.parse_args()
    global PATIENCE
    PATIENCE = args.patience
    os.makedirs(args.out, exist_ok=True)
    print("end-to-end seed %d, %d random actions (PANES_SEED, PANES_E2E_ACTIONS)" % (
        args.seed, args.actions), flush=True)

    passed, failed = 0, 0
    s = Session(os.path.abspath(args.binary), args.out, args.wrapper.split())
    try:
        for name, run in (("scenario", scenario),
                          ("random", lambda s: random_actions(s, args.actions,
                                                              random.Random(args.seed))),
                          ("leave", lambda s: s.press("leave"))):
            start = time.time()
            try:
                run(s)
                print("  %-9s ok (%.1f s)" % (name, time.time() - start), flush=True)
                passed += 1
            except Failure as e:
                failed += 1
                shot = os.path.join(args.out, "e2e-failure.ppm")
                try:
                    s.grab().save(shot)
                except Exception:  # the program may be gone
                    shot = "(no screen)"
                print("  %-9s FAILED: %s\n  last actions: %s\n  screen: %s" % (
                    name, e, "; ".join(s.log[-8:]), shot), flush=True)
                break
        if failed == 0:
            try:
                status = s.app.wait(timeout=10 * PATIENCE)
            except subprocess.TimeoutExpired:
                status = None
            if status != 0:
                failed += 1
                print("  leave did not end the program with status 0 (%s)" % status)
    finally:
        s.close()
    errors = open(s.stderr_path).read()
    if errors.strip():
        failed += 1
        print("  the program wrote to stderr:\n" + errors)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
