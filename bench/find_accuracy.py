#!/usr/bin/env python3
"""How much of what must be hidden finding covers, and how much else.

find_accuracy.py CLI [OUTDIR] renders the screenshots of
tools/make_screenshots.py (into OUTDIR, a temporary folder when none is
given), runs `CLI SHOT --find all --list-found` on each and prints, per
screenshot and in all: the items whose every text pixel lies under a found
box, the pixels covered outside the items against the items' own pixels,
and the seconds the CLI took.
"""
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
import make_screenshots  # noqa: E402


def boxes_of(lines):
    out = []
    for line in lines:
        parts = line.rstrip("\n").split("\t")
        if len(parts) >= 2:
            out.append((parts[0], tuple(map(int, parts[1].split(","))), "\t".join(parts[2:])))
    return out


def mask(width, height, boxes):
    m = bytearray(width * height)
    for l, t, r, b in boxes:
        for y in range(max(0, t), min(height, b)):
            m[y * width + max(0, l):y * width + min(width, r)] = b"\x01" * (min(width, r) - max(0, l))
    return m


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli = sys.argv[1]
    outdir = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp()
    os.makedirs(outdir, exist_ok=True)
    total_items = total_hidden = total_area = total_extra = 0
    total_seconds = 0.0
    for name in make_screenshots.SCENES:
        png = os.path.join(outdir, name + ".png")
        if not os.path.exists(png):
            make_screenshots.render(name, outdir)
        (width, height) = make_screenshots.SCENES[name][0]
        with open(os.path.join(outdir, name + ".tsv"), encoding="utf-8") as f:
            truth = boxes_of(f)
        start = time.monotonic()
        run = subprocess.run([cli, png, "--find", "all", "--list-found"], capture_output=True, text=True)
        seconds = time.monotonic() - start
        if run.returncode != 0:
            sys.exit("%s failed: %s" % (name, run.stderr.strip()))
        found = boxes_of(run.stdout.splitlines())
        covered = mask(width, height, [box for _, box, _ in found])
        items = mask(width, height, [box for _, box, _ in truth])
        hidden, missed = 0, []
        for kind, (l, t, r, b), text in truth:
            if all(covered[y * width + x] for y in range(t, b) for x in range(l, r)):
                hidden += 1
            else:
                missed.append(kind + " " + text)
        area = sum(items)
        extra = sum(1 for c, i in zip(covered, items) if c and not i)
        print("%-9s %2d of %2d items hidden, %6d pixels covered outside %6d of the items', %.2f s%s" %
              (name, hidden, len(truth), extra, area, seconds, "".join("\n          missed: " + m for m in missed)))
        total_items += len(truth)
        total_hidden += hidden
        total_area += area
        total_extra += extra
        total_seconds += seconds
    print("all       %d of %d items hidden (%.0f %%), covered outside the items %.2f times their pixels, %.2f s a "
          "screenshot" % (total_hidden, total_items, 100.0 * total_hidden / total_items, total_extra / total_area,
                          total_seconds / len(make_screenshots.SCENES)))


if __name__ == "__main__":
    main()
