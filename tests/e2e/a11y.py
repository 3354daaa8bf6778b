#!/usr/bin/python3
"""What a screen reader meets in the real program.

    /usr/bin/python3 a11y.py PANES_BINARY

Runs itself again under a private D-Bus session (dbus-run-session), where the
accessibility bus starts on demand, with Xvfb on a free display, openbox as
window manager and the program on Qt's xcb platform with its accessibility
always on. Through AT-SPI (Debian's pyatspi, the library screen readers use)
it walks the window, presses the pane keys with xdotool and checks what a
screen reader is told: the focus moving from pane to pane with the pane's
name, names that are right after every split and removal, the splitters'
values and their changes, the toolbar's key bindings, children coming and
going. Exits non-zero on the first thing wrong, after stopping every server
it started.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e  # noqa: E402

TOOLBAR_KEYS = ["Ctrl+Shift+N", "Ctrl+Shift+O", "Ctrl+Shift+E", "Ctrl+Shift+W", "Ctrl+Q",
                "Ctrl+Shift+M", "Ctrl+Shift+G"]
EVENTS = ["focus:", "object:state-changed:focused", "object:state-changed:showing",
          "object:children-changed", "object:property-change:accessible-name",
          "object:property-change:accessible-value"]
# A splitter leaves this much to the other side (its MinSize).
MIN_SIZE = 30
# The one with python3-pyatspi; another python3 on the PATH may lack it.
DEBIAN_PYTHON = "/usr/bin/python3"


Failure = e2e.Failure


def outer(binary):
    """Runs the check in a D-Bus session of its own. The session's daemons
    talk, so what was said is shown only when the check fails."""
    with tempfile.TemporaryFile(mode="w+") as log:
        child = subprocess.Popen(
            ["dbus-run-session", "--", DEBIAN_PYTHON, os.path.abspath(__file__), "--inside",
             binary], stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        try:
            status = child.wait(timeout=120)
        except subprocess.TimeoutExpired:
            status = "timed out"
        finally:
            # Whatever is left of the session (a hung program, the buses).
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(child.pid, sig)
                except ProcessLookupError:
                    break
                time.sleep(0.2)
            child.wait()
        if status != 0:
            log.seek(0)
            sys.stderr.write(log.read())
            print("a11y: FAILED (%s)" % status)
            return 1
    print("a11y: passed")
    return 0


class Session:
    """Xvfb, openbox and the program, with an AT-SPI listener on its events."""

    def __init__(self):
        self.processes = []
        self.stderr = None
        self.runtime = tempfile.mkdtemp(prefix="panes-a11y-")
        os.chmod(self.runtime, 0o700)

    def open(self, binary):
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import GLib
        import pyatspi
        self.pyatspi = pyatspi
        self.context = GLib.MainContext.default()
        self.events = []
        # Its own state folder: no recovery copy of another run is offered.
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   XDG_RUNTIME_DIR=self.runtime, XDG_DATA_HOME=self.runtime)
        env.pop("WAYLAND_DISPLAY", None)
        xvfb, wm, self.env = e2e.start_desktop("1280x1024", env,
                                               os.path.join(self.runtime, "openbox.log"))
        self.processes += [xvfb, wm]
        # Listening before the program starts, so its bridge sends from the first.
        pyatspi.Registry.registerEventListener(self.record, *EVENTS)
        self.stderr_path = os.path.join(self.runtime, "panes.stderr")
        self.stderr = open(self.stderr_path, "w")
        self.app = self.start([binary], env=self.env, stderr=self.stderr, stdout=subprocess.DEVNULL)
        self.root = self.wait(self.find_app, "the program on the accessibility bus", 20)
        self.frame = self.wait(lambda: next(iter(self.root), None), "the program's window")
        # The keys go to the active window; openbox may still be starting.
        self.wait(lambda: self.try_tool("search", "--sync", "--classname", "^panes$", "windowactivate",
                                        "--sync"), "the window activated", 10)

    def start(self, command, **kwargs):
        process = subprocess.Popen(command, **kwargs)
        self.processes.append(process)
        return process

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.kill()
            process.wait()
        if self.stderr is not None:
            self.stderr.close()
        shutil.rmtree(self.runtime, ignore_errors=True)

    def tool(self, *args):
        result = subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True,
                                text=True, timeout=30)
        if result.returncode != 0:
            raise Failure("xdotool %s: %s" % (" ".join(args), result.stderr.strip()))

    def try_tool(self, *args):
        """True when xdotool succeeds, else None."""
        try:
            self.tool(*args)
            return True
        except Failure:
            return None

    # --- what the listener hears ------------------------------------------------
    def record(self, event):
        def describe(accessible):
            try:
                return (accessible.getRoleName(), accessible.name)
            except Exception:  # gone by now
                return ("gone", "")
        if event.type == "object:state-changed:showing" and event.detail1:
            try:
                if event.source.getRoleName() == "popup menu":
                    self.popup = event.source  # a menu that opened
            except Exception:  # gone by now
                pass
        child = event.any_data if event.type.startswith("object:children-changed") else None
        self.events.append((event.type, event.detail1, describe(event.source),
                            describe(child) if child is not None else None))

    def pump(self):
        while self.context.pending():
            self.context.iteration(False)

    def wait(self, check, what, timeout=5.0):
        """Pumps events until check() returns something other than None."""
        deadline = time.time() + timeout
        while True:
            self.pump()
            if self.app.poll() is not None:
                raise Failure("the program ended (status %s)" % self.app.returncode)
            result = check()
            if result is not None:
                return result
            if time.time() > deadline:
                raise Failure("never saw " + what)
            time.sleep(0.02)

    def find_app(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == "panes":
                return app
        return None

    # --- what the user does ----------------------------------------------------
    def key(self, keys, focus, said=None, once=True):
        """Presses keys and waits until the focus lands on an object with the
        role and name focus gives, the last focus event of the key, and the
        object says it is focused, and until the program said what said
        gives (a notification); returns the events the key raised. With once,
        the focus moved straight there: one focus event, nothing between."""
        self.events = []
        self.tool("key", "--delay", "20", keys)

        def settled():
            focused = [e for e in self.events if e[0] == "focus:"]
            stated = [e for e in self.events if e[0] == "object:state-changed:focused" and e[1]]
            if said is not None and not heard(self.events, said):
                return None
            if focused and focused[-1][2] == focus and stated and stated[-1][2] == focus:
                if once and len(focused) != 1:
                    raise Failure("%s: the focus passed %r on its way" % (
                        keys, [e[2] for e in focused[:-1]]))
                # A moment more for what the command told after the focus.
                end = time.time() + 0.15
                while time.time() < end:
                    self.pump()
                    time.sleep(0.02)
                return list(self.events)
            return None

        try:
            return self.wait(settled, "the focus on %r after %s" % (focus, keys))
        except Failure as failure:
            raise Failure("%s; heard:\n  %s" % (failure, "\n  ".join(map(str, self.events))))

    # --- what a screen reader reads -------------------------------------------
    def walk(self, accessible=None):
        """Every showing object under the window, depth first."""
        accessible = accessible or self.frame
        found = []
        for child in accessible:
            if child is None:
                continue
            if not child.getState().contains(self.pyatspi.STATE_SHOWING):
                continue
            found.append(child)
            found.extend(self.walk(child))
        return found

    def named(self, role, prefix=""):
        return [a for a in self.walk() if a.getRoleName() == role and a.name.startswith(prefix)]

    def pane_names(self):
        return sorted(a.name for a in self.named("panel", "Pane "))

    def say(self, keys, text):
        """Presses keys that move no focus and waits for the notification
        text; returns the events."""
        self.events = []
        self.tool("key", "--delay", "20", keys)
        self.wait(lambda: heard(self.events, text) or None, "%r said after %s; heard:\n  %s" % (
            text, keys, "\n  ".join(map(str, self.events))))
        return list(self.events)

    def everything(self, accessible=None):
        """Every object under the window, showing or not."""
        accessible = accessible or self.frame
        found = []
        for child in accessible:
            if child is not None:
                found.append(child)
                found.extend(self.everything(child))
        return found


def expect(condition, message):
    if not condition:
        raise Failure(message)


def expect_panes(s, names, after):
    now = s.pane_names()
    expect(now == sorted(names), "after %s the panes are named %r, not %r" % (after, now, names))


def added(events, parent, child):
    return any(e[0] == "object:children-changed:add" and e[2] == ("panel", parent) and
               e[3] is not None and e[3][1] == child for e in events)


def heard(events, text):
    """The program said text: a notification appeared with it."""
    return any(e[0] == "object:state-changed:showing" and e[1] == 1 and
               e[2] == ("notification", text) for e in events)


def removed(events):
    return [e for e in events if e[0] == "object:children-changed:remove"]


def splitter_value(accessible):
    value = accessible.queryValue()
    return (int(value.currentValue), int(value.minimumValue), int(value.maximumValue))


def extent(accessible, horizontal):
    box = accessible.queryComponent().getExtents(0)  # screen coordinates
    return box.width if horizontal else box.height


# Menu items a screen reader must find, with the keys it announces (Qt
# announces the underlined letter of an item without keys of its own).
MENU_ITEMS = [("File", "Open…", "Ctrl+O"), ("File", "Save As…", "Ctrl+Shift+S"),
              ("File", "New", "Alt+N"), ("Edit", "Undo", "Ctrl+Z"),
              ("Edit", "Undo Layout Change", "Ctrl+Shift+T"),
              ("Panes", "Go Left", "Ctrl+Shift+H"), ("Panes", "Move Splitter Down",
                                                     "Ctrl+Alt+Shift+J"),
              ("Help", "Keys", "Alt+K")]


def check_menus(s):
    """The menu bar: its menus and their items, each named without the
    underline's mark and with its keys; every toolbar key among them."""
    bars = [a for a in s.frame if a.getRoleName() == "menu bar"]
    expect(len(bars) == 1, "one menu bar in the window, not %d" % len(bars))
    menus = {}
    for entry in bars[0]:
        # Qt shows each title as an item that holds its menu.
        expect(entry.getRoleName() in ("menu item", "menu"), "%r in the menu bar is a %s" % (
            entry.name, entry.getRoleName()))
        items = {}
        for menu in entry:
            for item in menu:
                if item.getRoleName() == "separator":
                    continue
                action = item.queryAction()
                binding = action.getKeyBinding(0) if action.nActions else ""
                items[item.name] = binding
        menus[entry.name] = items
    expect(list(menus) == ["File", "Edit", "Panes", "Help"], "the menus %r" % list(menus))
    for menu, name, keys in MENU_ITEMS:
        expect(name in menus[menu], "no %r in %s: %r" % (name, menu, menus[menu]))
        expect(keys in menus[menu][name].split(";"),
               "%s > %s announces the keys %r, not %r" % (menu, name, menus[menu][name], keys))
    every = ";".join(b for items in menus.values() for b in items.values()).split(";")
    for keys in TOOLBAR_KEYS:
        expect(keys in every, "the toolbar's %s is in no menu" % keys)


def check(s):
    check_menus(s)
    # The toolbar: a tool bar whose buttons carry their keys and keep the
    # tooltip naming them.
    toolbars = [a for a in s.frame if a.getRoleName() == "tool bar"]
    expect(len(toolbars) == 1, "one tool bar in the window, not %d" % len(toolbars))
    buttons = [b for b in toolbars[0] if b.getRoleName() == "push button"]
    keys = []
    for button in buttons:
        action = button.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        expect("Press" in names, "%r can be pressed (%r)" % (button.name, names))
        binding = action.getKeyBinding(names.index("Press"))
        expect(button.description.endswith("(%s)" % binding),
               "%r: the tooltip %r names the keys %r" % (button.name, button.description, binding))
        keys.append(binding)
    expect(keys == TOOLBAR_KEYS, "toolbar key bindings %r" % keys)

    # Create, split: the focus goes with the current pane, named for its
    # place; the split pane hears its new children; each command says what
    # it did and where the keys are now.
    base = ("panel", "Pane 1 of 1, whole window, empty")
    events = s.key("ctrl+shift+n", base, "Base pane created. Pane 1 of 1, whole window, empty")
    expect(any(e[0] == "object:children-changed:add" and e[3] == base for e in events),
           "the base pane is announced as a new child: %r" % events)
    events = s.key("ctrl+shift+e", ("panel", "Pane 1 of 2, left, empty"),
                   "Split into left and right halves. Pane 1 of 2, left, empty")
    for child in ("Pane 1 of 2, left, empty", "Pane 2 of 2, right, empty",
                  "Splitter between left and right halves, left 50%"):
        expect(added(events, "", child),
               "a split announces its new child %r: %r" % (child, events))
    expect_panes(s, ["Pane 1 of 2, left, empty", "Pane 2 of 2, right, empty"], "a split")

    # Moving between panes: F6 and its reverse, and the four directions; at
    # the window's edge the program says why nothing moved.
    moves = [("F6", "Pane 2 of 2, right, empty"), ("shift+F6", "Pane 1 of 2, left, empty"),
             ("ctrl+shift+l", "Pane 2 of 2, right, empty"),
             ("ctrl+shift+h", "Pane 1 of 2, left, empty")]
    for keys, name in moves:
        s.key(keys, ("panel", name))
    s.say("ctrl+shift+h", "No pane to the left")
    s.key("ctrl+shift+o", ("panel", "Pane 1 of 3, top left, empty"))
    expect_panes(s, ["Pane 1 of 3, top left, empty", "Pane 2 of 3, bottom left, empty",
                     "Pane 3 of 3, right, empty"], "a second split")
    s.key("ctrl+shift+j", ("panel", "Pane 2 of 3, bottom left, empty"))
    s.key("ctrl+shift+k", ("panel", "Pane 1 of 3, top left, empty"))

    # The splitter between left and right: its value is the left half's
    # width, as far as a drag could take it; a keyboard move changes it, and
    # its new share is said.
    splitter = s.named("separator", "Splitter between left and right halves,")
    expect(len(splitter) == 1, "one left-right splitter: %r" % [a.name for a in s.walk()])
    splitter = splitter[0]
    left = s.named("separator", "Splitter between top and bottom halves of left,")[0].parent
    whole = splitter.parent
    width, thickness = extent(left, True), extent(splitter, True)
    # All of the split pane's inside but the splitter and what the right
    # half keeps.
    most = extent(whole, True) - 2 - thickness - MIN_SIZE
    value = splitter_value(splitter)
    expect(value == (width, MIN_SIZE, most),
           "splitter value (current, min, max) %r, not %r" % (value, (width, MIN_SIZE, most)))
    def moved(what):
        s.wait(lambda: any(e[0] == "object:property-change:accessible-value" and
                           e[2][0] == "separator" for e in s.events) or None,
               "a value change after " + what)

    share = round((width + 10) * 100.0 / (extent(whole, True) - 2))
    s.say("ctrl+shift+alt+l", "left %d %%" % share)
    moved("moving the splitter with the keys")
    expect(splitter_value(splitter) == (width + 10, MIN_SIZE, most),
           "after a move right: %r" % (splitter_value(splitter),))
    expect(extent(left, True) == width + 10, "the left half is 10 pixels wider")
    # Dragged with the mouse, 30 pixels back.
    box = splitter.queryComponent().getExtents(0)
    x, y = box.x + box.width // 2, box.y + box.height // 2
    s.events = []
    s.tool("mousemove", str(x), str(y), "mousedown", "1")
    s.tool("mousemove", str(x - 15), str(y))
    s.tool("mousemove", str(x - 30), str(y), "mouseup", "1")
    moved("dragging the splitter")
    s.wait(lambda: splitter_value(splitter)[0] == width - 20 or None,
           "the splitter dragged 30 pixels left")

    # Content: an editor, a grid, each named as its pane, which says what it
    # holds. In the grid the focus is on the current cell, named with its
    # text and place; the cell editor is named after its cell.
    editor = "Pane 1 of 3, top left, editor"
    s.key("ctrl+shift+m", ("text", editor), "Editor added. " + editor)
    expect_panes(s, [editor, "Pane 2 of 3, bottom left, empty", "Pane 3 of 3, right, empty"],
                 "an editor")
    # The find bar is named, and Escape gives the keys back to the text.
    s.key("ctrl+f", ("text", "Find in this editor"))
    s.key("Escape", ("text", editor))
    s.key("ctrl+shift+j", ("panel", "Pane 2 of 3, bottom left, empty"))
    # The pane's menu (Shift+F10): every item named, with its keys, and the
    # keys back on the pane after Escape.
    s.popup = None
    s.tool("key", "shift+F10")

    def menu_items():
        menu = getattr(s, "popup", None)
        if menu is None:
            return None
        items = {}
        for item in s.everything(menu):
            if item.getRoleName() == "menu item":
                action = item.queryAction()
                items[item.name] = action.getKeyBinding(0) if action.nActions else ""
        return items if "Split Side by Side" in items else None
    items = s.wait(menu_items, "the pane's menu on the accessibility bus")
    for name, keys in (("Split Top and Bottom", "Ctrl+Shift+O"), ("Delete Pane", "Ctrl+Shift+W"),
                       ("Grid", "Ctrl+Shift+G"), ("Undo Layout Change", "Ctrl+Shift+T")):
        expect(keys in (items.get(name) or ""), "the menu's %r has keys %r" % (name, items.get(name)))
    s.events = []
    s.tool("key", "Escape")
    s.wait(lambda: any(e[:3] == ("object:state-changed:showing", 0, ("popup menu", ""))
                       for e in s.events) or None, "the pane's menu closed")
    s.key("ctrl+shift+g", ("table cell", "blank, row 1, column 1"),
          "Grid added. Pane 2 of 3, bottom left, grid")
    s.key("Right", ("table cell", "blank, row 1, column 2"))
    s.key("x", ("text", "Editing row 1, column 2"))
    # Return keeps what was typed and goes down a row, as spreadsheets do.
    s.key("Return", ("table cell", "blank, row 2, column 2"), once=False)
    s.key("Up", ("table cell", "x, row 1, column 2"))
    s.key("Left", ("table cell", "blank, row 1, column 1"))
    s.key("Right", ("table cell", "x, row 1, column 2"))
    # The table interface: the grid's size, the range Shift+arrows select
    # and each cell's text and place; the current cell has the focus.
    s.key("shift+Down", ("table cell", "blank, row 2, column 2"))
    tables = [a for a in s.everything() if a.getRoleName() == "table"]
    expect(len(tables) == 1, "one table, not %d" % len(tables))
    table = tables[0].queryTable()
    expect((table.nRows, table.nColumns) == (4, 4),
           "the table has %d rows and %d columns" % (table.nRows, table.nColumns))
    chosen = [(r, c) for r in range(table.nRows) for c in range(table.nColumns)
              if table.isSelected(r, c)]
    expect(chosen == [(0, 1), (1, 1)], "the selected cells are %r" % chosen)
    named = table.getAccessibleAt(0, 1).name
    expect(named == "x, row 1, column 2", "the first selected cell is %r" % named)
    s.key("Up", ("table cell", "x, row 1, column 2"))
    s.say("ctrl+shift+g", "This pane already holds a grid")
    s.key("ctrl+shift+l", ("panel", "Pane 3 of 3, right, empty"))
    s.key("ctrl+shift+h", ("text", editor))  # the top of a tie
    s.key("ctrl+shift+j", ("table cell", "x, row 1, column 2"))

    # A removal: the sibling takes the place and every name follows; the
    # tree hears its children go; the grid kept for an undo is nowhere in
    # the tree, not even hidden, until the undo brings it back.
    events = s.key("ctrl+shift+w", ("text", "Pane 1 of 2, left, editor"),
                   "Pane deleted. Pane 1 of 2, left, editor")
    expect(removed(events), "a removal announces children gone: %r" % events)
    expect_panes(s, ["Pane 1 of 2, left, editor", "Pane 2 of 2, right, empty"], "a removal")
    kept = [a.name for a in s.everything() if a.getRoleName() in ("table", "table cell")]
    expect(not kept, "the grid kept for an undo is still in the tree: %r" % kept[:3])
    s.key("ctrl+shift+t", ("table cell", "x, row 1, column 2"),
          "Undone: Pane deleted. Pane 2 of 3, bottom left, grid")
    expect_panes(s, [editor, "Pane 2 of 3, bottom left, grid", "Pane 3 of 3, right, empty"],
                 "an undo")
    editors = [a.name for a in s.named("text")]
    expect(editors == [editor], "editors %r" % editors)
    # Zoom is in the name, and said both ways.
    s.say("ctrl+shift+x", "Zoomed. Pane 2 of 3, zoomed, grid")
    s.say("ctrl+shift+x", "Zoom off. Pane 2 of 3, bottom left, grid")
    # The move mode is heard: how it works, where each key took the pane,
    # and that Escape put it back.
    s.say("ctrl+shift+r",
          "Move: arrows swap, Shift+arrow to a side, F turns, Enter keeps, Esc puts back")
    s.say("l", "Moved right. Pane 3 of 3, right, grid")
    s.say("l", "No pane right of this one")
    s.say("Escape", "Move cancelled: the panes are as they were. Pane 2 of 3, bottom left, grid")
    expect_panes(s, [editor, "Pane 2 of 3, bottom left, grid", "Pane 3 of 3, right, empty"],
                 "a cancelled move")

    # Leave: the typed cell makes the window ask first, and the question
    # takes the keys; Discard (the next button) lets the work go.
    s.events = []
    s.tool("key", "ctrl+q")
    s.wait(lambda: any(e[0] == "focus:" and e[2][0] == "push button" for e in s.events) or None,
           "the question at leaving, its first answer focused")
    s.tool("key", "--delay", "50", "Tab", "space")
    try:
        status = s.app.wait(timeout=5)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not leave on Ctrl+Q")
    expect(status == 0, "the program left with status %s" % status)


def inside(binary):
    s = Session()
    try:
        s.open(binary)
        check(s)
        s.stderr.flush()
        with open(s.stderr_path) as f:
            said = [line for line in f.read().splitlines() if line.strip()]
        expect(not said, "the program said on stderr:\n" + "\n".join(said))
        return 0
    except Failure as failure:
        print("a11y: %s" % failure, flush=True)
        if s.stderr is not None:
            s.stderr.flush()
            with open(s.stderr_path) as f:
                print("the program said:\n" + f.read()[-3000:], flush=True)
        return 1
    finally:
        s.close()


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--inside":
        sys.exit(inside(sys.argv[2]))
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(outer(sys.argv[1]))
