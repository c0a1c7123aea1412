#!/usr/bin/env python3
"""Memory of Log.samples: for each session, the peak resident size while the
biggest log's sample array is made, above the open session. The array is the
only copy, so the peak may exceed the array's own size by the slack only.

    PYTHONPATH=BUILD/python python3 bench/python_samples_memory.py [--slack-mb N] NAME:FILE...
Prints one row per session; exits 1 when a peak is over the limit.
"""
import argparse
import ctypes
import sys

import numpy  # noqa: F401  (loaded before measuring; the module imports it on first use)

import tdr


def status(key):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1]) * 1024
    raise KeyError(key)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--slack-mb", type=float, default=8.0)
    parser.add_argument("sessions", nargs="+", metavar="NAME:FILE")
    args = parser.parse_args()
    ok = True
    print(f"{'python_samples':24} {'array MB':>10} {'peak above open MB':>20}  verdict")
    for item in args.sessions:
        name, _, path = item.partition(":")
        with tdr.open(path) as session:
            logs = [log for inst in session.instances for sset in inst.signal_sets
                    for trig in sset.triggers for log in trig.logs]
            if not logs:
                continue
            big = max(logs, key=lambda log: log.sample_depth * len(log.signal_names))
            # Freed heap goes back first, so the array cannot hide in pages
            # the parse left resident.
            ctypes.CDLL(None).malloc_trim(0)
            with open("/proc/self/clear_refs", "w") as f:
                f.write("5")  # restarts the peak (VmHWM) at the current size
            base = status("VmRSS")
            samples = big.samples
            peak = status("VmHWM") - base
        good = peak <= samples.nbytes + args.slack_mb * 2**20
        ok &= good
        print(f"{name:24} {samples.nbytes / 2**20:10.1f} {peak / 2**20:20.1f}  "
              f"{'ok' if good else 'OVER'}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
