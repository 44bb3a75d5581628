#!/usr/bin/python3
"""Draws the charset confusion matrix (JSON from tools/evaluate) as a PNG.

    /usr/bin/python3 tools/models/plot_confusion.py matrix.json docs/confusion.png

Runs with Debian's python3-matplotlib; tools/evaluate installs it when missing.
The JSON holds "names" (charsets in registry order) and "counts" (a list of
[true, guessed, count]).
"""

import json
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.colors  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402

# Fixed metadata, so that the same matrix gives the same file.
METADATA = {"Software": None, "Creation Time": None}


def main(source, target):
    with open(source, encoding="utf-8") as handle:
        data = json.load(handle)
    names = data["names"]
    index = {name: i for i, name in enumerate(names)}
    grid = [[0.0] * len(names) for _ in names]
    totals = [0] * len(names)
    for true, guessed, count in data["counts"]:
        totals[index[true]] += count
    for true, guessed, count in data["counts"]:
        grid[index[true]][index[guessed]] = count / max(1, totals[index[true]])
    masked = [[v if v > 0 else float("nan") for v in row] for row in grid]
    fig, ax = plt.subplots(figsize=(13, 12), dpi=100)
    image = ax.imshow(masked, cmap="viridis", norm=matplotlib.colors.LogNorm(vmin=1e-3, vmax=1),
                      interpolation="nearest")
    ax.set_xticks(range(len(names)), names, rotation=90, fontsize=7)
    ax.set_yticks(range(len(names)), names, fontsize=7)
    ax.set_xlabel("guessed charset (first report line)")
    ax.set_ylabel("true charset")
    ax.set_title(data.get("title", "Charset confusion matrix"))
    ax.grid(False)
    fig.colorbar(image, ax=ax, fraction=0.04, pad=0.02, label="share of the true charset's samples")
    fig.tight_layout()
    fig.savefig(target, metadata=METADATA)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
