#!/usr/bin/env python3
"""Start-up time and memory of DA1011 against the minimal yardstick programs.

Called by startup_memory.sh, which builds the programs, lays out the temporary application
folders and starts the X server; this script only runs programs and measures them.

Each run starts the program in a session (and process group) of its own, notes the time at
which each milestone line appears on its stderr, and ends the whole group afterwards. The
memory runs also sample the process tree (the program and every descendant: the web engine's
zygote, renderer and utility processes) every ~20 ms and keep the peak of the sum.
"""

import argparse
import json
import os
import select
import signal
import statistics
import subprocess
import sys
import time


class RunError(Exception):
    pass


# ---------------------------------------------------------------------------------------
# The process tree

def _read(path, mode="r"):
    try:
        with open(path, mode) as f:
            return f.read()
    except (FileNotFoundError, ProcessLookupError, PermissionError, OSError):
        return None


def list_processes():
    """pid -> (ppid, session, pgid) for every process visible in /proc."""
    table = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        stat = _read(f"/proc/{name}/stat")
        if not stat:
            continue
        # The command name is in parentheses and may hold spaces or parentheses itself.
        fields = stat[stat.rfind(")") + 2:].split()
        try:
            table[int(name)] = (int(fields[1]), int(fields[3]), int(fields[2]))
        except (IndexError, ValueError):
            continue
    return table


def tree_of(root, table=None):
    """The root and all its descendants, plus anything still in its session (a helper whose
    parent has gone is re-parented away but keeps the session)."""
    table = list_processes() if table is None else table
    children = {}
    for pid, (ppid, _sid, _pgid) in table.items():
        children.setdefault(ppid, []).append(pid)
    found = set()
    stack = [root] if root in table else []
    while stack:
        pid = stack.pop()
        if pid in found:
            continue
        found.add(pid)
        stack.extend(children.get(pid, []))
    found.update(pid for pid, (_ppid, sid, _pgid) in table.items() if sid == root)
    return found


def describe(pid, table=None):
    """A short name for a process: the program's file name plus its --type= if any. The web
    engine's renderers are forked from its zygote and keep the zygote's command line; they
    are told apart by having a zygote as parent."""
    def name_of(p):
        raw = _read(f"/proc/{p}/cmdline", "rb")
        args = [a.decode(errors="replace") for a in (raw or b"").split(b"\0") if a]
        if not args:
            return None
        name = os.path.basename(args[0])
        for a in args[1:]:
            if a.startswith("--type="):
                return f"{name}:{a[len('--type='):]}"
        return name

    name = name_of(pid)
    if name is None:
        return "?"
    if name.endswith(":zygote") and table and pid in table:
        parent = name_of(table[pid][0])
        if parent and parent.endswith(":zygote"):
            return name[:-len("zygote")] + "renderer"
    return name


def memory_of(pid):
    """(pss_kib, rss_kib, exact) of one process; exact is False when PSS was not readable
    and RSS stands in for it. None when the process is gone."""
    rollup = _read(f"/proc/{pid}/smaps_rollup")
    if rollup:
        pss = rss = None
        for line in rollup.splitlines():
            if line.startswith("Pss:"):
                pss = int(line.split()[1])
            elif line.startswith("Rss:"):
                rss = int(line.split()[1])
        if pss is not None and rss is not None:
            return pss, rss, True
    status = _read(f"/proc/{pid}/status")
    if not status:
        return None
    for line in status.splitlines():
        if line.startswith("VmRSS:"):
            rss = int(line.split()[1])
            return rss, rss, False
    return None  # a zombie has no VmRSS


# ---------------------------------------------------------------------------------------
# One run

def stop_group(proc, known, grace=2.0):
    """Ends the program's process group (TERM, then KILL), then anything left of its tree,
    and waits until none of those processes is left."""
    pgid = proc.pid
    try:
        os.killpg(pgid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    deadline = time.monotonic() + grace
    while time.monotonic() < deadline and proc.poll() is None:
        time.sleep(0.02)
    try:
        os.killpg(pgid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()
    leftovers = (known | tree_of(pgid)) - {proc.pid}
    for pid in leftovers:
        try:
            os.kill(pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
    deadline = time.monotonic() + 5.0
    while time.monotonic() < deadline:
        table = list_processes()
        alive = [p for p in leftovers if p in table] + [
            p for p, (_pp, sid, pg) in table.items() if sid == pgid or pg == pgid]
        if not alive:
            return
        time.sleep(0.05)
    raise RunError(f"processes {sorted(alive)} of group {pgid} would not go away")


def run_once(cmd, env, cwd, milestone, timeout, linger=0.0, sample_memory=False,
             watch_tree=False, interval=0.02):
    """Runs cmd until the stderr line ending with `milestone` has appeared and `linger`
    more seconds have passed. Returns a dict with the time of every stderr line (ms from
    just before the spawn) and, as asked, the memory peak and the processes seen.

    sample_memory samples the tree from the spawn on; watch_tree only lists the tree, and
    only once the milestone is in, so that it cannot slow down what is being timed."""
    result = {"lines": [], "peak_pss": 0, "peak_rss": 0, "inexact_samples": 0,
              "samples": 0, "seen": {}}
    known = set()
    t0 = time.monotonic()
    proc = subprocess.Popen(cmd, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            start_new_session=True)
    fd = proc.stderr.fileno()
    os.set_blocking(fd, False)
    pending = b""
    reached = None
    next_sample = t0
    stderr_tail = []

    def sampling():
        return sample_memory or (watch_tree and reached is not None)

    try:
        while True:
            now = time.monotonic()
            if reached is not None and now >= reached + linger:
                break
            if reached is None and now - t0 > timeout:
                raise RunError(f"no '{milestone}' within {timeout:g} s")
            if proc.poll() is not None:
                raise RunError(f"exited with code {proc.returncode} "
                               + (f"before '{milestone}'" if reached is None
                                  else f"within {linger:g} s after '{milestone}'"))
            wait = max(0.0, min(interval, next_sample - now)) if sampling() else 0.2
            if reached is None:
                wait = max(0.0, min(wait, t0 + timeout - now))
            ready, _, _ = select.select([fd], [], [], wait)
            if ready:
                data = os.read(fd, 65536)
                stamp = (time.monotonic() - t0) * 1000.0
                if data:
                    pending += data
                    *complete, pending = pending.split(b"\n")
                    for raw in complete:
                        line = raw.decode(errors="replace").rstrip()
                        result["lines"].append((stamp, line))
                        stderr_tail = (stderr_tail + [line])[-20:]
                        if reached is None and line.endswith(milestone):
                            reached = time.monotonic()
                            result["milestone_ms"] = stamp
                            next_sample = min(next_sample, reached)
            if not sampling() or time.monotonic() < next_sample:
                continue
            next_sample += interval
            if next_sample < time.monotonic():
                next_sample = time.monotonic() + interval
            table = list_processes()
            pids = tree_of(proc.pid, table)
            known |= pids
            for pid in pids:
                if result["seen"].get(pid, "?") == "?":
                    result["seen"][pid] = describe(pid, table)
            if not sample_memory:
                continue
            pss = rss = 0
            by_kind = {}
            for pid in pids:
                m = memory_of(pid)
                if m is None:
                    continue
                pss += m[0]
                rss += m[1]
                if not m[2]:
                    result["inexact_samples"] += 1
                k = by_kind.setdefault(result["seen"].get(pid, "?"), [0, 0, 0])
                k[0] += m[0]
                k[1] += m[1]
                k[2] += 1
            result["samples"] += 1
            if pss > result["peak_pss"]:
                result["peak_pss"] = pss
                result["peak_pss_at_ms"] = (time.monotonic() - t0) * 1000.0
                result["peak_breakdown"] = by_kind
            result["peak_rss"] = max(result["peak_rss"], rss)
    except RunError as error:
        error.args = (f"{error.args[0]}; last stderr lines:\n    " +
                      "\n    ".join(stderr_tail or ["(none)"]),)
        raise
    finally:
        stop_group(proc, known)
        proc.stderr.close()
    return result


def line_time(result, suffix):
    for stamp, line in result["lines"]:
        if line.endswith(suffix):
            return stamp
    return None


# ---------------------------------------------------------------------------------------
# The benchmark

def median(values):
    return statistics.median(values) if values else float("nan")


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--timeout", type=float, default=30.0)
    ap.add_argument("--ours-welcome", required=True, help="DA1011 in a folder with an empty flag file")
    ap.add_argument("--ours-reader", required=True, help="DA1011 in a folder with '1' in the flag file")
    ap.add_argument("--minimal-window", required=True)
    ap.add_argument("--linked-welcome",
                    help="for reference: DA1011 with the reader linked in, empty flag file")
    ap.add_argument("--minimal-webview", required=True)
    ap.add_argument("--page", required=True, help="start.html for the minimal web view")
    ap.add_argument("--workdir", required=True)
    ap.add_argument("--linger", type=float, default=2.0, help="seconds of sampling after the page loaded")
    ap.add_argument("--watch", type=float, default=1.0, help="seconds of watching the welcome path's process tree")
    ap.add_argument("--json", help="write the raw figures here")
    args = ap.parse_args()

    env = dict(os.environ)
    env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    env["QT_LOGGING_RULES"] = "da1011.startup.info=true"
    cwd = args.workdir
    n = args.runs
    T = args.timeout

    def say(text):
        print(text, flush=True)

    def attempt(label, **kw):
        try:
            return run_once(env=env, cwd=cwd, timeout=T, **kw)
        except RunError as error:
            say(f"ERROR in {label}: {error}")
            raise SystemExit(1)

    ours_welcome = [args.ours_welcome]
    ours_reader = [args.ours_reader]
    mini_window = [args.minimal_window]
    mini_view = [args.minimal_webview, args.page]

    mini_controls = [args.minimal_window, "--controls"]
    raw = {"a": {"ours": [], "minimal": [], "controls": [], "linked": []}, "b": {"ours": [], "minimal": []},
           "c": {"ours": [], "minimal": []}, "welcome_helpers": []}

    # (a) process start to the first window shown ----------------------------------------
    say("(a) start to welcome window shown vs minimal window (1 warm-up each, not counted)")
    attempt("a warm-up ours", cmd=ours_welcome, milestone="welcome window shown")
    attempt("a warm-up minimal", cmd=mini_window, milestone="shown")
    if args.linked_welcome:
        attempt("a warm-up linked", cmd=[args.linked_welcome], milestone="welcome window shown")
    for i in range(n):
        r = attempt(f"a ours run {i + 1}", cmd=ours_welcome, milestone="welcome window shown",
                    linger=args.watch, watch_tree=True)
        helpers = {pid: kind for pid, kind in r["seen"].items() if "QtWebEngineProcess" in kind}
        others = {pid: kind for pid, kind in r["seen"].items() if kind != os.path.basename(ours_welcome[0])}
        raw["welcome_helpers"].append({"helpers": helpers, "descendants": others})
        raw["a"]["ours"].append(r["milestone_ms"])
        m = attempt(f"a minimal run {i + 1}", cmd=mini_window, milestone="shown")
        raw["a"]["minimal"].append(m["milestone_ms"])
        raw["a"]["controls"].append(
            attempt(f"a controls run {i + 1}", cmd=mini_controls, milestone="shown")["milestone_ms"])
        linked = ""
        if args.linked_welcome:
            raw["a"]["linked"].append(attempt(f"a linked run {i + 1}", cmd=[args.linked_welcome],
                                              milestone="welcome window shown")["milestone_ms"])
            linked = f"   reader linked in {raw['a']['linked'][-1]:7.1f} ms"
        say(f"  run {i + 1}/{n}: ours {r['milestone_ms']:7.1f} ms   minimal {m['milestone_ms']:7.1f} ms"
            f"{linked}   descendants of ours: {len(others)} (web engine helpers: {len(helpers)})")

    # (b) process start to the first page loaded -----------------------------------------
    say("(b) start to page loaded vs minimal web view (1 warm-up each, not counted)")
    attempt("b warm-up ours", cmd=ours_reader, milestone="page loaded")
    attempt("b warm-up minimal", cmd=mini_view, milestone="loaded")
    shown = {"ours": [], "minimal": []}
    for i in range(n):
        r = attempt(f"b ours run {i + 1}", cmd=ours_reader, milestone="page loaded")
        m = attempt(f"b minimal run {i + 1}", cmd=mini_view, milestone="loaded")
        raw["b"]["ours"].append(r["milestone_ms"])
        raw["b"]["minimal"].append(m["milestone_ms"])
        shown["ours"].append(line_time(r, "reader window shown"))
        shown["minimal"].append(line_time(m, "shown"))
        say(f"  run {i + 1}/{n}: ours {r['milestone_ms']:7.1f} ms (window shown at "
            f"{shown['ours'][-1]:.1f})   minimal {m['milestone_ms']:7.1f} ms (shown at "
            f"{shown['minimal'][-1]:.1f})")
    raw["b_shown"] = shown

    # (c) peak memory of the process tree while reading ----------------------------------
    say(f"(c) peak memory of the process tree, sampled every 20 ms until {args.linger:.0f} s after page loaded")
    breakdowns = {"ours": [], "minimal": []}
    inexact = 0
    for i in range(n):
        got = {}
        for who, cmd, ms in (("ours", ours_reader, "page loaded"), ("minimal", mini_view, "loaded")):
            r = attempt(f"c {who} run {i + 1}", cmd=cmd, milestone=ms, linger=args.linger,
                        sample_memory=True)
            raw["c"][who].append({"pss": r["peak_pss"], "rss": r["peak_rss"],
                                  "samples": r["samples"], "loaded_ms": r["milestone_ms"],
                                  "peak_at_ms": r.get("peak_pss_at_ms"),
                                  "processes": len(r["seen"])})
            breakdowns[who].append(r.get("peak_breakdown", {}))
            inexact += r["inexact_samples"]
            got[who] = r
        say(f"  run {i + 1}/{n}: ours PSS {got['ours']['peak_pss'] / 1024:6.1f} MiB"
            f" RSS {got['ours']['peak_rss'] / 1024:6.1f} MiB ({len(got['ours']['seen'])} processes,"
            f" {got['ours']['samples']} samples)   minimal PSS {got['minimal']['peak_pss'] / 1024:6.1f} MiB"
            f" RSS {got['minimal']['peak_rss'] / 1024:6.1f} MiB ({len(got['minimal']['seen'])} processes,"
            f" {got['minimal']['samples']} samples)")
    raw["c_breakdown"] = breakdowns

    # The table -----------------------------------------------------------------------------
    rows = []

    def row(name, ours, minimal, unit, target):
        o, m = median(ours), median(minimal)
        ratio = o / m if m else float("nan")
        verdict = "-" if target is None else ("PASS" if ratio <= target else "FAIL")
        rows.append((name, f"{o:.1f} {unit}", f"{m:.1f} {unit}", f"{ratio:.2f}x",
                     "-" if target is None else f"<= {target:.2f}x", verdict))

    row("(a) start -> welcome window shown", raw["a"]["ours"], raw["a"]["minimal"], "ms", 1.3)
    row("  (info) the same, minimal window with standard controls", raw["a"]["controls"],
        raw["a"]["minimal"], "ms", None)
    row("  (info) welcome window vs minimal window with controls", raw["a"]["ours"],
        raw["a"]["controls"], "ms", None)
    if raw["a"]["linked"]:
        row("  (info) the same with the reader linked in, not a plugin", raw["a"]["linked"],
            raw["a"]["minimal"], "ms", None)
        row("  (info) welcome window, plugin vs linked in", raw["a"]["ours"], raw["a"]["linked"],
            "ms", None)
    row("(b) start -> page loaded", raw["b"]["ours"], raw["b"]["minimal"], "ms", 1.15)
    row("(c) peak PSS, process tree", [x["pss"] / 1024 for x in raw["c"]["ours"]],
        [x["pss"] / 1024 for x in raw["c"]["minimal"]], "MiB", 1.1)
    row("(c) peak RSS sum, process tree", [x["rss"] / 1024 for x in raw["c"]["ours"]],
        [x["rss"] / 1024 for x in raw["c"]["minimal"]], "MiB", 1.1)
    row("  (info) start -> reader/view window shown", shown["ours"], shown["minimal"], "ms", None)

    head = ("metric", "ours (median)", "minimal (median)", "ratio", "target", "result")
    widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(len(head))]
    fmt = "  ".join(f"{{:{'<' if i == 0 else '>'}{w}}}" for i, w in enumerate(widths))
    say("")
    say(f"Medians of {n} runs each, programs alternating run by run.")
    say(fmt.format(*head))
    say(fmt.format(*("-" * w for w in widths)))
    for r in rows:
        say(fmt.format(*r))

    bad = [h for h in raw["welcome_helpers"] if h["helpers"]]
    kinds = sorted({k for h in raw["welcome_helpers"] for k in h["descendants"].values()})
    say("")
    if bad:
        say(f"Welcome path: FAIL - QtWebEngineProcess started in {len(bad)} of {n} runs: "
            f"{sorted({k for h in bad for k in h['helpers'].values()})}")
    else:
        say(f"Welcome path: PASS - no QtWebEngineProcess in any of {n} runs "
            f"(watched {args.watch:.1f} s after the window was shown; other descendants seen: "
            f"{', '.join(kinds) if kinds else 'none'})")
    if inexact:
        say(f"Note: {inexact} process samples fell back to RSS (smaps_rollup unreadable).")

    say("")
    say("Peak PSS by process kind at the peak sample (median over runs, MiB):")
    for who in ("ours", "minimal"):
        kinds = sorted({k for b in breakdowns[who] for k in b})
        parts = []
        for k in kinds:
            vals = [b[k][0] / 1024 if k in b else 0.0 for b in breakdowns[who]]
            counts = [b[k][2] if k in b else 0 for b in breakdowns[who]]
            parts.append(f"{k} x{int(median(counts))} {median(vals):.1f}")
        say(f"  {who:8s} " + "; ".join(parts))
    say(f"  time of the peak after start (median): ours "
        f"{median([x['peak_at_ms'] for x in raw['c']['ours']]):.0f} ms, minimal "
        f"{median([x['peak_at_ms'] for x in raw['c']['minimal']]):.0f} ms")

    if args.json:
        with open(args.json, "w") as f:
            json.dump(raw, f, indent=1, default=str)
    failed = any(r[5] == "FAIL" for r in rows) or bool(bad)
    return 3 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
