#!/usr/bin/env python3
"""How long the program takes to end at SIGTERM while it opens a chain of
8,000 nested panes, at moments spread over the whole open.

    bench/ending.py build/bench/app/panes [--splits 8000] [--delays 0.25,0.5,...]

Runs the program on Qt's offscreen platform with the file on its command
line; for each delay it starts it afresh, sends SIGTERM after that many
seconds and times the exit, which must come with status 128 + 15. Prints
one line a delay and the slowest.
"""

import argparse
import json
import os
import signal
import subprocess
import sys
import tempfile
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--splits", type=int, default=8000)
    parser.add_argument("--delays", default="0.25,0.5,1,2,3,4,5,6,8,10,12,15,20")
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="panes-ending-")
    os.chmod(folder, 0o700)
    path = os.path.join(folder, "chain.panes")
    panes = [{"split": "top-bottom" if i % 2 else "left-right", "ratio": 0.5}
             for i in range(args.splits)]
    panes += [{"leaf": "empty"} for _ in range(args.splits + 1)]
    with open(path, "w") as f:
        json.dump({"format": "panes-workspace", "version": 2,
                   "area": {"width": 688, "height": 389}, "current": len(panes) - 1,
                   "panes": panes}, f)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=folder,
               XDG_DATA_HOME=os.path.join(folder, "data"))
    start = time.time()
    subprocess.run([args.binary, path], env=dict(env, PANES_LEAVE_AFTER_MS="1"), check=True)
    print("the whole open (and leaving): %.2f s" % (time.time() - start))
    slowest = 0.0
    for delay in (float(d) for d in args.delays.split(",")):
        program = subprocess.Popen([args.binary, path], env=env)
        time.sleep(delay)
        if program.poll() is not None:
            print("gone before %.2f s (status %s)" % (delay, program.returncode))
            return 1
        sent = time.time()
        program.send_signal(signal.SIGTERM)
        status = program.wait()
        took = time.time() - sent
        slowest = max(slowest, took)
        print("SIGTERM at %5.2f s: ended after %.3f s with status %d" % (delay, took, status))
        if status != 128 + signal.SIGTERM:
            return 1
    print("slowest: %.3f s" % slowest)
    return 0


if __name__ == "__main__":
    sys.exit(main())
