"""Evaluation samples: pieces of held-out text in a charset, cut at line or word boundaries.

A sample of length class L is at most L bytes long and as close to it as the
boundaries allow: it starts at the beginning of a held-out line and takes
whole lines, then the words of the next line that still fit (a run of letters
longer than L/4, as Thai has, may be cut between letters).  The n samples of
one class start at n evenly spaced points of the held-out text.  Everything
depends only on the text, the charset and the class, so the same inputs give
the same samples.
"""

import collections
import os
import sys
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import modelset  # noqa: E402
from modelset import encode  # noqa: E402

# Length class (bytes) -> samples per (language, charset).
CLASSES = collections.OrderedDict([(100, 6), (1000, 4), (10000, 3)])

Sample = collections.namedtuple("Sample", "pair length index data")


def encodable_lines(text, codec):
    """The held-out lines as the encoder writes them (folded; dropped lines left out)."""
    lines = []
    for line in text.splitlines():
        folded = encode.fold_line(line, codec)
        if folded:
            lines.append(folded)
    return lines


def cut(lines, start, length):
    """Text of at most ``length`` characters from line ``start`` on, at line or word boundaries.

    Lines are joined with "\\n" (each line taken whole ends with one).  A run
    of letters longer than a quarter of ``length`` (Thai puts spaces between
    phrases, not words) may be cut between two letters, never before a mark.
    """
    parts = []
    size = 0
    i = start
    while i < len(lines):
        line = lines[i]
        if size + len(line) + 1 <= length:
            parts.append(line + "\n")
            size += len(line) + 1
            i += 1
            continue
        words = line.split(" ")
        taken = []
        for word in words:
            extra = len(word) + (1 if taken else 0)
            if size + extra > length:
                if len(word) > length // 4 and length - size - (extra - len(word)) > 0:
                    # A run of letters too long to be a word (Thai writes no
                    # spaces between words): cut it, but never before a mark.
                    end = length - size - (extra - len(word))
                    while end > 1 and unicodedata.category(word[end]).startswith("M"):
                        end -= 1
                    taken.append(word[:end])
                    size += end + (extra - len(word))
                break
            taken.append(word)
            size += extra
        parts.append(" ".join(taken))
        break
    return "".join(parts)


def starts(lines, length, count):
    """Indices of the lines where the ``count`` samples of ``length`` begin.

    Evenly spaced over the part of the text from which a whole sample still
    fits; the same index may repeat when the text is short.
    """
    sizes = [len(line) + 1 for line in lines]
    total = sum(sizes)
    room = max(0, total - length)
    offsets = [room * k // count for k in range(count)]
    result = []
    position = 0
    line = 0
    for offset in offsets:
        while line < len(lines) - 1 and position < offset:
            position += sizes[line]
            line += 1
        result.append(line)
    return result


def samples_for(pair, text, classes=CLASSES, manifest=modelset.MANIFEST):
    """Every sample of one pair from the held-out ``text`` of its language."""
    codec = encode.codec_for(pair.charset, manifest)
    lines = encodable_lines(text, codec)
    result = []
    for length, count in classes.items():
        for index, start in enumerate(starts(lines, length, count)):
            piece = cut(lines, start, length)
            data = codec.encode(piece)
            result.append(Sample(pair, length, index, data))
    return result
