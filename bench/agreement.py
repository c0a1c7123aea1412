#!/usr/bin/env python3
"""How far several bench/run runs agree: the table's paired ratios, from the
figures.json each run writes, with the rule the table uses (the median of the
repetitions whose baseline ran within 10% of the quickest), per run and with
the largest distance from their median.

    bench/agreement.py run1/figures.json run2/figures.json run3/figures.json
"""
import json
import statistics
import sys

ROWS = [("open / A (xerces parse)", "open_paired", "open_per_parse"),
        ("save / B (xerces serialise)", "save_paired", "save_per_B"),
        ("save without sync / B", "save_paired", "nosync_per_B"),
        ("trigger fingerprints / open", "open_paired", "crc_per_open"),
        ("condition round trips / open", "open_paired", "cond_per_open"),
        ("view walk / open", "open_paired", "walk_per_open"),
        ("editing load / open", "tx_load", "per_open"),
        ("no-edit commit / open", "tx_commit", "per_open"),
        ("rename + commit / open", "tx_edit_commit", "per_open"),
        ("editor open / data open", "tx_session_open", "per_open"),
        ("editor commit+save / open", "tx_session_save", "per_open"),
        ("trigger working copies init / open", "tx_trigger_init", "per_open"),
        ("trigger commits into new / open", "tx_trigger_commit", "per_open"),
        ("replay / the calls made directly", "replay_paired", "per_direct"),
        ("script reading / replay", "replay_paired", "parse_share")]
SLACK = 0.10


def figure(runs):
    """The table's figure of one ratio from its repetitions' turns."""
    reps = [(statistics.median(b for _, b in r), statistics.median(x / b for x, b in r))
            for r in runs if r]
    if not reps:
        return None
    least = min(b for b, _ in reps)
    return statistics.median(ratio for b, ratio in reps if b <= least * (1 + SLACK))


def main(files):
    data = [json.load(open(f))["turns"] for f in files]
    profiles = sorted({k.split("/", 1)[1].split(":")[0] for d in data for k in d},
                      key=lambda p: ("nologs" in p, "large" in p))
    print("| row | " + " | ".join(profiles) + " |\n|---|" + "---|" * len(profiles))
    within = cells = 0
    for label, bench, counter in ROWS:
        out = []
        for p in profiles:
            key = f"{bench}/{p}:{counter}"
            if not all(key in d for d in data):
                out.append("")
                continue
            values = [figure(d[key]) for d in data]
            if None in values:
                out.append("-")
                continue
            mid = statistics.median(values)
            spread = max(abs(v - mid) for v in values) / mid * 100 if mid else 0
            cells += 1
            within += spread <= 5
            text = "/".join(f"{v:.3g}" for v in values) + f" ±{spread:.1f}%"
            out.append(text if spread <= 5 else f"**{text}**")
        print(f"| {label} | " + " | ".join(out) + " |")
    print(f"\n{within} of {cells} cells within ±5%")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1:])
