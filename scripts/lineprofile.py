#!/usr/bin/env python3
"""What one more bulk-changed line costs: instructions (callgrind), peak memory and time.

Runs the reference host's `change-option --set Mount=Outside` over copies of the demo
quote's lines, from outside, as a user would:
  instructions per line  callgrind, the difference between two line counts divided by the
                         lines between them (start-up and the one-off reads cancel out)
  bytes per line         peak resident memory of a change over many lines, less that of a
                         plain `quote show` of the same quote, divided by the lines
  ms per line            wall clock of the change over many lines, less `quote show`

With --bench, the change-run benchmark's wall clock per line at 1,000 and 10,000 lines
(the median of several runs; one run on a busy machine says little) and the ratio of
the two. With --before, a build folder of an earlier commit is measured the same way, each
figure taken alternately with this build's, so that both columns saw the same machine.

usage: lineprofile.py HOST_PROGRAM [--small N] [--large N] [--memory-lines N]
                      [--bench INTEGRATION_BENCH] [--repetitions N] [--before BUILD_DIR]
"""
import json
import statistics
import argparse
import os
import re
import resource
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import uuid


def make_database(host, folder, lines):
    db = os.path.join(folder, "company.db")
    subprocess.run([host, "init-db", "--db", db], check=True, stdout=subprocess.DEVNULL)
    con = sqlite3.connect(db)
    quote = con.execute("SELECT ID FROM Quotes WHERE QuoteNumber = 'Q-1001'").fetchone()[0]
    demo = con.execute("SELECT Quantity, ProductID, Style, ItemXML, PriceCostXML FROM QuoteLines "
                       "WHERE QuoteID = ? ORDER BY Line", (quote,)).fetchall()
    next_id = con.execute("SELECT MAX(ID) FROM QuoteLines").fetchone()[0] + 1
    rows = []
    for i in range(len(demo), lines):
        qty, product, style, item, price = demo[i % len(demo)]
        rows.append((next_id + i, quote, i + 1, qty, product, style, item, price, str(uuid.uuid4())))
    con.executemany("INSERT INTO QuoteLines (ID, QuoteID, Line, Quantity, ProductID, Style, ItemXML, "
                    "PriceCostXML, UniqueID) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", rows)
    con.commit()
    con.close()
    return db


def child_peak_and_seconds(command):
    """Peak resident kilobytes and wall seconds of a command run in a fresh interpreter,
    so that the peak is this command's alone."""
    probe = ("import resource, subprocess, sys, time\n"
             "t = time.perf_counter()\n"
             "subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)\n"
             "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, time.perf_counter() - t)\n")
    out = subprocess.run([sys.executable, "-c", probe] + command, check=True,
                         capture_output=True, text=True).stdout.split()
    return int(out[0]), float(out[1])


def instructions(command, folder):
    out = os.path.join(folder, "callgrind.out")
    run = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out] + command,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    match = re.search(r"Collected : (\d+)", run.stderr)
    if run.returncode != 0 or not match:
        sys.exit("callgrind failed:\n" + run.stderr[-2000:])
    return int(match.group(1))


def bench_run(bench):
    """Ms per line of one run of the change-run benchmark, by line count."""
    run = subprocess.run([bench, "--benchmark_filter=ChangeOptionValueOverLines/SQLite/",
                          "--benchmark_format=json"],
                         capture_output=True, text=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    if run.returncode != 0:
        sys.exit("benchmark failed:\n" + run.stderr[-2000:])
    return {int(b["lines"]): b["ms_per_line"] for b in json.loads(run.stdout)["benchmarks"]
            if "ms_per_line" in b}


def measure(builds, args, folder, db):
    """The figures of each build, by build; the timed ones taken one build after the other."""
    figures = [{} for _ in builds]
    n = args.memory_lines

    def fresh(index):
        # A change writes to its database: every build starts from the same quote.
        copy = os.path.join(folder, f"run{index}.db")
        shutil.copyfile(db, copy)
        return copy

    for index, ((host, _), f) in enumerate(zip(builds, figures)):
        change = [host, "change-option", "--db", fresh(index), "--quote", "Q-1001", "--set", "Mount=Outside"]
        lines = lambda count: ["--lines", ",".join(str(i) for i in range(1, count + 1))]
        small = instructions(change + lines(args.small), folder)
        large = instructions(change + lines(args.large), folder)
        f["instructions"] = f"{(large - small) / (args.large - args.small) / 1e6:.2f} M"
    for index, ((host, _), f) in enumerate(zip(builds, figures)):
        copy = fresh(index)
        change = [host, "change-option", "--db", copy, "--quote", "Q-1001", "--set", "Mount=Outside"]
        show_kb, show_s = child_peak_and_seconds([host, "quote", "show", "Q-1001", "--db", copy])
        change_kb, change_s = child_peak_and_seconds(change)
        f["memory"] = f"{(change_kb - show_kb) / n:.1f} KB"
        f["wall"] = f"{(change_s - show_s) * 1e3 / n:.2f} ms"
    if args.bench:
        runs = [{} for _ in builds]
        for _ in range(args.repetitions):
            for (_, bench), r in zip(builds, runs):
                for count, ms in bench_run(bench).items():
                    r.setdefault(count, []).append(ms)
        for r, f in zip(runs, figures):
            medians = {count: statistics.median(values) for count, values in r.items()}
            for count, ms in medians.items():
                f[f"bench{count}"] = f"{ms:.3f} ms"
            if 1000 in medians and 10000 in medians:
                f["ratio"] = f"{medians[10000] * 10 / medians[1000]:.2f}"
    return figures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("host")
    parser.add_argument("--small", type=int, default=24)
    parser.add_argument("--large", type=int, default=72)
    parser.add_argument("--memory-lines", type=int, default=3000)
    parser.add_argument("--bench", help="the integration_bench program of the same build")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--before", help="build folder of an earlier commit to measure alongside")
    args = parser.parse_args()
    builds = [(os.path.abspath(args.host), args.bench and os.path.abspath(args.bench))]
    if args.before:
        before_bench = os.path.join(args.before, "bench", "integration_bench")
        builds.append((os.path.join(os.path.abspath(args.before), "zeltpc5-host"),
                       before_bench if args.bench else None))
    with tempfile.TemporaryDirectory() as folder:
        os.environ["HOME"] = folder  # the host's settings stay in here
        db = make_database(builds[0][0], folder, max(args.large, args.memory_lines))
        figures = measure(builds, args, folder, db)
    n = args.memory_lines
    rows = [("instructions", f"instructions (callgrind, {args.small} to {args.large} lines)", "about 15 M"),
            ("memory", f"peak memory ({n} lines, over quote show)", "42 KB"),
            ("wall", f"wall clock ({n} lines, over quote show)", "1.7 to 2.5 ms")]
    if args.bench:
        rows += [("bench1000", f"benchmark, 1,000 lines (median of {args.repetitions})", ""),
                 ("bench10000", f"benchmark, 10,000 lines (median of {args.repetitions})", ""),
                 ("ratio", "10,000 / 1,000 lines", "")]
    # The last column: the figures measured from outside before the inner path was reworked.
    header = ["per changed line", "now"] + (["earlier build"] if args.before else []) + ["before"]
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for key, label, before in rows:
        print("| " + " | ".join([label] + [f.get(key, "") for f in figures] + [before]) + " |")


if __name__ == "__main__":
    main()
