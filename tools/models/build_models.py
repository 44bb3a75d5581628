#!/usr/bin/env python3
"""Build the shipped statistics files with the tool itself.

For every (language, charset) pair of data/models.tsv whose training bytes are
not identical to those of a charset with a lower registry id (see
encode.redundant_charsets), the training part of the language's corpus text
is encoded into the charset (modelset.training_bytes, which treats characters
the charset lacks as the policy says), and the freshly built tool is run as

    kestoanalyzer /collect <text> /charset <name> /language <TAG> /threshold <t> [/ignore <file>]

in the output directory, with the threshold and ignore set of the script's
entry in modelset.POLICY (the one place of the collection policy).  Every run must exit with status 0 and leave
<name>.<TAG>.dat behind.  The same sources give the same bytes.

    tools/models/build_models.py --tool build/release/app/kestoanalyzer --out build/release/models

Besides the .dat files the output directory receives models.tsv, a list of
the pairs (built, or dropped in favour of which charset) with the policy used
and the size of each model.
"""

import argparse
import glob
import multiprocessing
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import modelset  # noqa: E402
from modelset import corpus, encode  # noqa: E402

LIST_NAME = "models.tsv"


def _build_language(job):
    """Builds the models of one language; returns rows for the list file."""
    tag, tool, out, manifest, policy = job
    text = corpus.training_text(tag)
    encoded = {}
    script = {p.charset: p.script for p in modelset.all_pairs(manifest)}

    def encoder(unicode_text, charset):
        return modelset.training_bytes(unicode_text, charset, policy[script[charset]].unencodable,
                                       manifest)

    dropped = encode.redundant_charsets(tag, text, manifest, encoded, encoder)
    rows = []
    scratch = tempfile.mkdtemp(prefix=f"kesto-train-{tag}-")
    try:
        for pair in modelset.all_pairs(manifest):
            if pair.tag != tag:
                continue
            rule = policy[pair.script]
            if pair.charset in dropped:
                rows.append((pair, rule, None, dropped[pair.charset], 0, 0))
                continue
            sample = os.path.join(scratch, f"{pair.charset}.{tag}.txt")
            with open(sample, "wb") as handle:
                handle.write(encoded[pair.charset])
            ignore = modelset.ignore_bytes(pair.charset, rule.spaces, manifest)
            ignore_path = None
            if ignore is not None:
                ignore_path = os.path.join(scratch, f"{pair.charset}.{tag}.ignore")
                with open(ignore_path, "wb") as handle:
                    handle.write(ignore)
            path = modelset.collect(tool, out, sample, pair, rule, ignore_path)
            rows.append((pair, rule, ignore, None, modelset.dat_entries(path), os.path.getsize(path)))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return tag, rows


def byte_ranges(data):
    """Bytes as hex ranges: b"\\x01\\x02\\x03\\x25" gives "01-03,25"."""
    values = sorted(set(data))
    parts = []
    start = prev = None
    for value in values + [None]:
        if value is not None and prev is not None and value == prev + 1:
            prev = value
            continue
        if start is not None:
            parts.append(f"{start:02x}" if start == prev else f"{start:02x}-{prev:02x}")
        start = prev = value
    return ",".join(parts) or "none"


def write_list(path, rows):
    with open(path, "w", encoding="utf-8") as handle:
        handle.write("# Statistics files of this directory, written by tools/models/build_models.py.\n")
        handle.write("file\tlanguage\tcharset\tid\tthreshold\tignore\tunencodable\tentries\tbytes\t"
                     "same_as\n")
        for pair, rule, ignore, same_as, entries, size in rows:
            if same_as:
                handle.write(f"-\t{pair.tag}\t{pair.charset}\t{pair.id}\t-\t-\t-\t0\t0\t{same_as}\n")
                continue
            ignored = "default" if ignore is None else byte_ranges(ignore)
            handle.write(f"{modelset.dat_name(pair.charset, pair.tag)}\t{pair.tag}\t{pair.charset}\t"
                         f"{pair.id}\t{modelset.threshold_text(rule.threshold)}\t{ignored}\t"
                         f"{rule.unencodable}\t{entries}\t{size}\t-\n")


def build(tool, out, manifest=modelset.MANIFEST, policy=None, jobs=2, quiet=False):
    """Builds every model into ``out``; returns the rows of the list file."""
    policy = policy or modelset.POLICY
    tool = os.path.abspath(tool)
    os.makedirs(out, exist_ok=True)
    for old in glob.glob(os.path.join(glob.escape(out), "*.dat")):
        os.unlink(old)
    tags = modelset.languages(manifest)
    # Languages with many charsets first, so that the two workers end together.
    count = {tag: sum(1 for p in modelset.all_pairs(manifest) if p.tag == tag) for tag in tags}
    order = sorted(tags, key=lambda t: (-count[t], t))
    work = [(tag, tool, out, manifest, policy) for tag in order]
    results = {}
    if jobs > 1:
        with multiprocessing.Pool(jobs) as pool:
            for tag, rows in pool.imap_unordered(_build_language, work):
                results[tag] = rows
                if not quiet:
                    print(f"  {tag}: {sum(1 for r in rows if not r[3])} models", flush=True)
    else:
        for job in work:
            tag, rows = _build_language(job)
            results[tag] = rows
    by_pair = {(r[0].tag, r[0].charset): r for rows in results.values() for r in rows}
    rows = [by_pair[(p.tag, p.charset)] for p in modelset.all_pairs(manifest)]
    write_list(os.path.join(out, LIST_NAME), rows)
    return rows


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tool", required=True, help="the kestoanalyzer executable to collect with")
    parser.add_argument("--out", required=True, help="directory for the .dat files (old ones are removed)")
    parser.add_argument("--manifest", default=modelset.MANIFEST)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--set", action="append", metavar="SCRIPT.FIELD=VALUE",
                        help="override the policy table for a trial, e.g. Latin.threshold=0.02")
    parser.add_argument("--stamp", help="file to touch once every model is built")
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args(argv)
    policy = modelset.parse_overrides(args.set)
    rows = build(args.tool, args.out, args.manifest, policy, args.jobs, args.quiet)
    built = [r for r in rows if not r[3]]
    print(f"build_models: {len(built)} statistics files ({len(rows) - len(built)} pairs identical "
          f"to another charset), {sum(r[4] for r in built)} entries, "
          f"{sum(r[5] for r in built)} bytes in {args.out}")
    if args.stamp:
        with open(args.stamp, "w", encoding="utf-8") as handle:
            handle.write(f"{len(built)} statistics files\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
