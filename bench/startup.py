#!/usr/bin/env python3
"""Start-up to a shown window: this program against a bare Qt window with
the toolbar's seven buttons (bench/BareWindow.cpp), on an X server of its
own, alternating, each started afresh as a new user would (no settings, no
recovery copies).

    bench/startup.py build/bench/app/panes build/bench/bench/bare_window [--runs 15]

The time is from starting the process to the X server mapping its window
(xev watching the root window), so both sides are measured the same way.
Prints each side's median and fastest.
"""

import argparse
import os
import queue
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time


def watch_maps(xev, maps):
    """Puts the time of every window mapped (not override-redirect) on maps."""
    pending = False
    for line in xev.stdout:
        if line.startswith("MapNotify"):
            pending = True
        elif pending:
            pending = False
            if "override NO" in line:
                maps.put(time.monotonic())


def start_server(folder):
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1600x1000x24",
                               "-nolisten", "tcp"], pass_fds=(write,),
                              stderr=open(os.path.join(folder, "xvfb.log"), "w"))
    os.close(write)
    with os.fdopen(read) as f:
        display = ":" + f.readline().strip()
    return server, display


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("panes")
    parser.add_argument("bare")
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="panes-startup-")
    os.chmod(folder, 0o700)
    server, display = start_server(folder)
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=folder)
    env.pop("WAYLAND_DISPLAY", None)
    xev = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                           env=env, stdout=subprocess.PIPE, text=True)
    maps = queue.Queue()
    threading.Thread(target=watch_maps, args=(xev, maps), daemon=True).start()
    time.sleep(1)
    times = {"panes": [], "bare": []}
    status = 0
    try:
        # One run of each first, not counted: the disk cache warms up.
        for run in range(args.runs + 1):
            for name in ("panes", "bare"):
                home = tempfile.mkdtemp(dir=folder)
                side_env = dict(env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                                XDG_DATA_HOME=os.path.join(home, "data"),
                                XDG_CACHE_HOME=os.path.join(home, "cache"))
                while not maps.empty():
                    maps.get()
                start = time.monotonic()
                program = subprocess.Popen([getattr(args, name)], env=side_env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    shown = maps.get(timeout=30)
                except queue.Empty:
                    print("%s showed no window within 30 s" % name)
                    status = 1
                    shown = None
                program.send_signal(signal.SIGTERM)
                program.wait()
                if shown is None:
                    return status
                if run > 0:
                    times[name].append(shown - start)
                time.sleep(0.3)
    finally:
        xev.terminate()
        server.terminate()
        server.wait()
        shutil.rmtree(folder, ignore_errors=True)
    for name, taken in times.items():
        print("%-6s median %6.1f ms, fastest %6.1f ms (%d runs)"
              % (name, statistics.median(taken) * 1000, min(taken) * 1000, len(taken)))
    print("panes / bare: %.2f" % (statistics.median(times["panes"]) / statistics.median(times["bare"])))
    return status


if __name__ == "__main__":
    sys.exit(main())
