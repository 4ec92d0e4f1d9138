#!/usr/bin/env python3
"""horlixupdater end to end for a 5 MB installer against the reference update
server on loopback, and its parts (fetch, digest, signature). Prints figures;
judges nothing.

Usage: bench/updater/bench_updater.py [--size BYTES] [--rounds N]

Needs both trees built (build/windows: horlixupdater-loopback.exe and
bench_updater_parts.exe; build/native: horlix-sign) and Wine. It publishes a
release of a random installer into a scratch folder, serves it on the
loopback builds' port and runs:
- horlixupdater-loopback.exe, end to end, N times (wall time per run, Wine's
  start of the program included);
- the same program refused at once (an illegal output name, key fed), the
  cost of starting and ending it under Wine, for comparison;
- bench_updater_parts.exe: fetch, digest and signature inside one process.
"""

import argparse
import os
import random
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "loopback"))
os.environ.setdefault("HORLIX_LOOPBACK_WORK", os.path.join(SOURCE, "build", "native", "bench-updater"))

import loopback as lb  # noqa: E402


def timed(args, env, stdin=b""):
    t0 = time.perf_counter()
    p = subprocess.run(["wine"] + args, env=env, input=stdin, capture_output=True)
    return time.perf_counter() - t0, p


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--size", type=int, default=5 * 1024 * 1024, help="installer size in bytes")
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()

    try:
        site, port = lb.loopback_site()
        updater = lb.program_copy("horlixupdater-loopback.exe")
        parts = lb.program_copy("bench_updater_parts.exe")
    except lb.Skip as e:
        print("cannot run:", e)
        return 1
    env = lb.wine_env()
    root = lb.fresh_folder("release")
    out_dir = lb.fresh_folder("out")
    installer = os.path.join(lb.WORK, "setup.exe")
    rng = random.Random(5)
    lb.write(installer, rng.randbytes(args.size))
    lb.publish(root, "--installer", installer, "--version", "1651", "--key", lb.DEV_KEY,
               "--site", site)
    output = lb.windows_path(os.path.join(out_dir, "horlixquicki-bench.exe"))

    with lb.PortLock(port) as lock:
        with lock.serve(root) as server:
            lb.prepare_wine(env)
            timed([updater, output], env)  # warm the prefix and the file cache
            whole, start = [], []
            for _ in range(args.rounds):  # interleaved, so that drift hits both alike
                seconds, p = timed([updater, output], env)
                if p.returncode != 0:
                    print("updater failed:", p.stdout, p.stderr)
                    return 1
                whole.append(seconds)
                seconds, p = timed([updater, "bad|name"], env, stdin=b"\n")
                start.append(seconds)
            p = subprocess.run(["wine", parts, site, str(args.rounds)], env=env,
                               capture_output=True, text=True)
            fetched = sum(1 for line in server.log_lines if "setup.exe" in line)
    if os.path.getsize(os.path.join(out_dir, "horlixquicki-bench.exe")) != args.size:
        print("the written installer has the wrong size")
        return 1

    print("horlixupdater, %d-byte installer, loopback server, %d rounds (Wine)" % (args.size, args.rounds))
    print("end to end  median %8.1f ms   fastest %8.1f ms"
          % (statistics.median(whole) * 1e3, min(whole) * 1e3))
    print("start only  median %8.1f ms   fastest %8.1f ms   (refused at once: Wine's start and end)"
          % (statistics.median(start) * 1e3, min(start) * 1e3))
    print("difference  %8.1f ms   (the work: two fetches, two digests, one signature, the write)"
          % ((statistics.median(whole) - statistics.median(start)) * 1e3))
    print("installer downloads that reached the server: %d (runs: %d)" % (fetched, 2 * args.rounds + 1))
    print("parts, inside one process:")
    print(p.stdout.rstrip())
    if p.returncode != 0:
        print("bench_updater_parts failed:", p.stderr)
        return 1
    medians = {}
    for line in p.stdout.splitlines():
        words = line.split()
        if len(words) > 2 and words[1] == "median":
            medians[words[0]] = float(words[2])
    if medians:
        slowest = max(medians, key=medians.get)
        print("slowest part: %s%s" % (slowest, "  (the digest is the slowest part)"
                                      if slowest == "digest" else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
