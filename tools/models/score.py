"""Reading statistics files and recomputing a score, to tell exact ties from near ones.

The report of /detect shows each score as a percentage of the best with four
decimals, so two models whose scores differ by less than 5e-7 of the best
both print as 100.0000 %.  The evaluation recomputes the score of the text
against each model printed at 100.0000 %, the same way as the tool (sums of
frequencies over every position in position order, weights 1, 50 and 500),
to know whether the top of the report is an exact tie, whose order the tool
leaves undefined, or a near tie, whose first line is the true maximum.
"""

import struct

WEIGHTS = (1.0, 50.0, 500.0)


def load(path):
    """The three tables of a statistics file as {key: frequency} dicts."""
    with open(path, "rb") as handle:
        data = handle.read()
    if data[:4] != b"STAT":
        raise ValueError(f"{path} is not a statistics file")
    tables = []
    offset = 16
    for _ in range(3):
        magic, _flags, count = struct.unpack_from("<4sII", data, offset)
        if magic != b"STBL":
            raise ValueError(f"{path}: block {len(tables)} does not start with STBL")
        offset += 12
        table = {}
        for key, value in struct.iter_unpack("<Id", data[offset:offset + 12 * count]):
            table[key] = value
        offset += 12 * count
        tables.append(table)
    return tables


def score(tables, text, weights=WEIGHTS):
    """The score of ``text`` (bytes) against a model's three tables."""
    t0, t1, t2 = tables
    s0 = s1 = s2 = 0.0
    for p in range(len(text) - 4):
        a = text[p]
        k1 = a | text[p + 1] << 8
        k2 = k1 | text[p + 2] << 16
        if a in t0:
            s0 += t0[a]
        if k1 in t1:
            s1 += t1[k1]
        if k2 in t2:
            s2 += t2[k2]
    return (weights[0] * s0 + weights[1] * s1) + weights[2] * s2
