#!/usr/bin/env python3
"""Loads the demo session's logs into numpy, finds the trigger sample and
summarises each signal; draws the logs when matplotlib is installed.

    PYTHONPATH=build/release/python python3 examples/analyse_capture.py [SESSION] [-o PNG]
"""
import argparse
import os

import numpy as np

import tdr

here = os.path.dirname(os.path.abspath(__file__))
parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("session", nargs="?", default=os.path.join(here, "demo_session.xml"))
parser.add_argument("-o", "--output", default=os.path.join(os.environ.get("TMPDIR", "/tmp"),
                                                           "tdr_demo", "capture.png"))
args = parser.parse_args()

captures = []
with tdr.open(args.session) as session:
    for inst in session.instances:
        for sset in inst.signal_sets:
            for trig in sset.triggers:
                for log in trig.logs:
                    samples = log.samples  # (samples, signals), uint8
                    names = log.signal_names
                    captures.append((f"{inst.name}/{trig.name}/{log.name}", samples, names))
                    print(f"{inst.name} / {sset.name} / {trig.name} / {log.name}: "
                          f"{samples.shape[0]} samples x {samples.shape[1]} signals")
                    t = log.trigger_position
                    if t >= 0:
                        row = "".join(str(v) for v in samples[t])
                        print(f"  trigger at sample {t}: {row}  ({' '.join(names)})")
                    if log.segment_size:
                        print(f"  {samples.shape[0] // log.segment_size} segments of {log.segment_size}")
                    toggles = np.count_nonzero(np.diff(samples, axis=0), axis=0)
                    for name, high, n in zip(names, samples.mean(axis=0), toggles):
                        print(f"  {name:16} high {high:5.1%}  toggles {n}")

try:
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
except ImportError:
    print("matplotlib is not installed: no picture")
else:
    fig, axes = plt.subplots(len(captures), 1, figsize=(10, 2.5 * len(captures)), squeeze=False)
    for ax, (title, samples, names) in zip(axes[:, 0], captures):
        for k, name in enumerate(names):
            ax.step(np.arange(len(samples)), samples[:, k] * 0.8 + 1.2 * k, where="post")
        ax.set_yticks([1.2 * k + 0.4 for k in range(len(names))], names)
        ax.set_title(title)
    os.makedirs(os.path.dirname(args.output), exist_ok=True)
    fig.tight_layout()
    fig.savefig(args.output)
    print(f"written: {args.output}")
