#!/usr/bin/env python3
"""What one more bulk-changed line costs: instructions (callgrind), peak memory and time.

Runs the reference host's `change-option --set Mount=Outside` over copies of the demo
quote's lines, from outside, as a user would:
  instructions per line  callgrind, the difference between two line counts divided by the
                         lines between them (start-up and the one-off reads cancel out)
  bytes per line         peak resident memory of a change over many lines, less that of a
                         plain `quote show` of the same quote, divided by the lines
  ms per line            wall clock of the change over many lines, less `quote show`

usage: lineprofile.py HOST_PROGRAM [--small N] [--large N] [--memory-lines N]
"""
import argparse
import os
import re
import resource
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("host")
    parser.add_argument("--small", type=int, default=24)
    parser.add_argument("--large", type=int, default=72)
    parser.add_argument("--memory-lines", type=int, default=3000)
    args = parser.parse_args()
    env_host = os.path.abspath(args.host)
    with tempfile.TemporaryDirectory() as folder:
        os.environ["HOME"] = folder  # the host's settings stay in here
        db = make_database(env_host, folder, max(args.large, args.memory_lines))
        change = [env_host, "change-option", "--db", db, "--quote", "Q-1001", "--set", "Mount=Outside"]
        lines = lambda n: ["--lines", ",".join(str(i) for i in range(1, n + 1))]
        small = instructions(change + lines(args.small), folder)
        large = instructions(change + lines(args.large), folder)
        per_line = (large - small) / (args.large - args.small)
        show_kb, show_s = child_peak_and_seconds([env_host, "quote", "show", "Q-1001", "--db", db])
        change_kb, change_s = child_peak_and_seconds(change)
        n = args.memory_lines
        # The figures measured from outside before the inner path was reworked, for comparison.
        print("| per changed line | now | before |")
        print("|---|---|---|")
        print(f"| instructions (callgrind, {args.small} to {args.large} lines) | {per_line / 1e6:.2f} M | about 15 M |")
        print(f"| peak memory ({n} lines, over quote show) | {(change_kb - show_kb) / n:.1f} KB | 42 KB |")
        print(f"| wall clock ({n} lines, over quote show) | {(change_s - show_s) * 1e3 / n:.2f} ms | 1.7 to 2.5 ms |")


if __name__ == "__main__":
    main()
