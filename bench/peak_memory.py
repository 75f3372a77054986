#!/usr/bin/env python3
"""Run a command and report the peak memory of its whole process tree.

Usage: peak_memory.py REPORT_FILE COMMAND [ARGS...]

The command runs in a session of its own; every ~50 ms the proportional set size (PSS) of
the command and all its descendants (for a web engine: its zygote, renderer, GPU and utility
processes) is summed, and the peak is written to REPORT_FILE as "peak_pss_kib N" and
"wall_ms N". Exits with the command's exit status.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure  # noqa: E402


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    report, command = argv[1], argv[2:]
    start = time.monotonic()
    proc = subprocess.Popen(command, start_new_session=True)
    peak = 0
    while proc.poll() is None:
        total = 0
        for pid in measure.tree_of(proc.pid):
            memory = measure.memory_of(pid)
            if memory:
                total += memory[0]
        peak = max(peak, total)
        time.sleep(0.05)
    wall = (time.monotonic() - start) * 1000
    with open(report, "w") as handle:
        handle.write("peak_pss_kib %d\nwall_ms %d\n" % (peak, wall))
    return proc.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
