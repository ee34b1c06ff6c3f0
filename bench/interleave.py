#!/usr/bin/env python3
"""Times commands in rounds, one run of each per round in a rotating order, each run after its own prepare
command; writes hyperfine's JSON shape (results: command, times, mean, user, system) for bench/run's table.

A first pass into an empty folder is slowed by whatever the file system still does for files deleted or
created just before, so timing one command's runs back to back (as hyperfine does) hands the first command
the worst of it. Interleaving spreads that evenly.

    interleave.py OUT.json RUNS WARMUP PREPARE NAME COMMAND [NAME COMMAND ...]
"""
import json
import os
import resource
import statistics
import subprocess
import sys
import time


def run(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, shell=True, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, after.ru_utime - before.ru_utime, after.ru_stime - before.ru_stime


def main():
    out, runs, warmup, prepare = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    pairs = list(zip(sys.argv[5::2], sys.argv[6::2]))
    times = {name: [] for name, _ in pairs}
    users = {name: [] for name, _ in pairs}
    systems = {name: [] for name, _ in pairs}
    for round_ in range(warmup + runs):
        shift = round_ % len(pairs)
        for name, command in pairs[shift:] + pairs[:shift]:
            subprocess.run(prepare, shell=True, check=True)
            wall, user, system = run(command)
            if round_ >= warmup:
                times[name].append(wall)
                users[name].append(user)
                systems[name].append(system)
    results = []
    for name, command in pairs:
        results.append({"command": name, "times": times[name], "mean": statistics.mean(times[name]),
                        "median": statistics.median(times[name]), "user": statistics.mean(users[name]),
                        "system": statistics.mean(systems[name])})
        print(f"{name:10s} median {statistics.median(times[name]):.3f} s  "
              f"min {min(times[name]):.3f} s  max {max(times[name]):.3f} s")
    with open(out, "w") as f:
        json.dump({"results": results}, f, indent=1)


if __name__ == "__main__":
    main()
