"""What the shipped statistics files are made of: manifest pairs and collection policy.

Shared by tools/models/build_models.py (which trains the models) and
tools/evaluate (which measures them), so that both see the same pairs, the
same encoder and the same policy.
"""

import collections
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "corpus"))

import corpus  # noqa: E402
import encode  # noqa: E402

MANIFEST = encode.MANIFEST

# ------------------------------------------------------------------ policy
#
# How each script's training text is collected.  This table is the one place
# that decides it; the tuning table of docs/accuracy.md (from
# tools/models/tuning.md) records the measurements behind it.
#
# spaces       True: the /ignore file holds the control bytes 0x01-0x1F only,
#              so the space byte is counted and the n-grams see word starts
#              and ends (" de", "en ").  False: the tool's default ignore set
#              0x01-0x20 (space ignored), or, for a charset whose white space
#              lies outside 0x01-0x20 (EBCDIC), that charset's white-space
#              bytes.  Measured: counting spaces for Latin raises "both right"
#              on 100-byte samples (91.0 -> 93.4 %) but lowers it on 1 KB and
#              more (95.6 -> 94.0 %): the space entries favour the models
#              whose text has the shortest, most repeated words (Irish texts
#              went to Scottish Gaelic); the 100-byte target is met without
#              them, so no script counts spaces.
# threshold    /threshold in percent: a sequence enters the model only when its
#              count reaches this share of the training text's size (halved
#              for pairs, a third for triples), and the frequencies are shares
#              of what is kept.  Larger values make smaller models and a
#              faster /detect, but cut the rare letters that tell close
#              charsets apart and, cutting unevenly, shift the frequencies of
#              the charset variants of a language apart (charset right on
#              1 KB and more, with gaps: 0.02 % 95.3, 0.01 % 96.2, the tool's
#              default 0.003 % 96.6, 0.001 % 96.7; with marks: 0.003 % 96.4,
#              0.001 % 98.2).  0.001 keeps every sequence of a 150 KB text,
#              about 1.5 million entries in all, and /detect of 10 KiB still
#              takes about 30 ms with them.
# unencodable  what becomes of a character that the charset cannot encode even
#              after folding, see UNENCODABLE below.  The score is a sum of
#              frequencies, so the variant that counts fewer sequences has
#              larger frequencies everywhere and wins its neighbours' texts
#              even when they hold the letters where the two differ.  Keeping
#              the rest of the word ("gap" rather than "drop": charset right
#              on 1 KB and more 95.7 -> 96.6 %) narrows that; holding the
#              character's place with a mark, so that every variant counts
#              the same sequences, removes it ("mark": 96.7 -> 98.1 %).
#              Arabic keeps gaps: DOS-864 puts most of its letter forms at
#              the bytes where ISO-8859-6 has the letter, and with marks for
#              the letters it lacks it lost its own texts to ISO-8859-6
#              (Arabic charset right on 1 KB and more 100 -> 94 %).
Policy = collections.namedtuple("Policy", "spaces threshold unencodable")

POLICY = {
    "Latin": Policy(spaces=False, threshold=0.001, unencodable="mark"),
    "Cyrillic": Policy(spaces=False, threshold=0.001, unencodable="mark"),
    "Greek": Policy(spaces=False, threshold=0.001, unencodable="mark"),
    "Hebrew": Policy(spaces=False, threshold=0.001, unencodable="mark"),
    "Arabic": Policy(spaces=False, threshold=0.001, unencodable="gap"),
    "Thai": Policy(spaces=False, threshold=0.001, unencodable="mark"),
}


def parse_overrides(items):
    """{script: Policy} from "SCRIPT.field=value" strings (SCRIPT may be "*").

    For measuring a change without editing the table.
    """
    policy = dict(POLICY)
    for item in items or ():
        key, _, value = item.partition("=")
        script, _, field = key.partition(".")
        if field not in Policy._fields or not value:
            raise ValueError(f"bad policy override {item!r} (want SCRIPT.spaces=0|1 or SCRIPT.threshold=N)")
        if field == "spaces":
            parsed = value.lower() in ("1", "true", "yes")
        elif field == "unencodable":
            if value not in UNENCODABLE:
                raise ValueError(f"{item!r}: unencodable is one of {', '.join(UNENCODABLE)}")
            parsed = value
        else:
            parsed = float(value)
        scripts = list(policy) if script == "*" else [script]
        for name in scripts:
            if name not in policy:
                raise ValueError(f"unknown script {name!r} in {item!r}")
            policy[name] = policy[name]._replace(**{field: parsed})
    return policy


# ------------------------------------------------------------------- pairs

Pair = collections.namedtuple("Pair", "tag charset id script")


def manifest_rows(manifest=MANIFEST):
    return encode.load_manifest(manifest)


def all_pairs(manifest=MANIFEST):
    """Every (language, charset) pair of the manifest, in manifest order."""
    return [Pair(tag, row["charset"], row["id"], row["script"])
            for row in manifest_rows(manifest) for tag in row["languages"]]


def languages(manifest=MANIFEST):
    """The language tags of the manifest, in order of first appearance."""
    seen = {}
    for pair in all_pairs(manifest):
        seen.setdefault(pair.tag, None)
    return list(seen)


def dat_name(charset, tag):
    """The file name /collect writes: "<charset primary name>.<TAG>.dat"."""
    return f"{charset}.{tag[:4].upper()}.dat"


# ------------------------------------------------------------ ignore bytes

DEFAULT_IGNORED = bytes(range(0x01, 0x21))  # the tool's own default set


def ignore_bytes(charset, spaces, manifest=MANIFEST):
    """The bytes of the /ignore file for ``charset``, or None for the tool's default.

    ``spaces``: whether the space byte is to be counted.
    """
    white = encode.whitespace_bytes(charset, manifest)
    space = encode.codec_for(charset, manifest).byte(" ")[0]
    if all(0x01 <= b <= 0x20 for b in white):
        # ASCII-based: the default set already is all control bytes and space.
        return bytes(range(0x01, 0x20)) if spaces else None
    # EBCDIC and the like: the charset's own white space.
    return bytes(b for b in white if not (spaces and b == space))


# ------------------------------------------------------------ training text

# What becomes of a character that the charset cannot encode (after folding):
#   drop  the whole word is left out (encode.encode_text);
#   gap   the character becomes byte 0, which /collect never counts;
#   mark  the character becomes the charset's DEL byte, counted like a letter
#         but never met in real text.
UNENCODABLE = ("drop", "gap", "mark")


def _marked_word(word, codec, mark):
    """(bytes of a word whose unencodable characters become ``mark``, number of marks)."""
    folded = encode.fold_word(word, codec)
    if folded is not None:
        return codec.encode(folded), 0
    out = []
    marks = 0
    segment = ""
    for ch in word + "\x00":
        if ch != "\x00" and encode.fold_word(ch, codec) is not None:
            segment += ch
            continue
        if segment:
            folded = encode.fold_word(segment, codec)
            out.append(codec.encode(folded) if folded is not None else mark * len(segment))
            marks += 0 if folded is not None else len(segment)
            segment = ""
        if ch != "\x00":
            out.append(mark)
            marks += 1
    return b"".join(out), marks


def training_bytes(text, charset, unencodable="drop", manifest=MANIFEST):
    """The training text of a pair in its charset, see UNENCODABLE.

    A line is left out when more than half of its characters cannot be encoded.
    """
    codec = encode.codec_for(charset, manifest)
    if unencodable == "drop":
        return encode.encode_text(text, codec, manifest)
    mark = b"\x00" if unencodable == "gap" else codec.byte("\x7f")
    newline = codec.encode("\n")
    space = codec.encode(" ")
    out = []
    for line in text.splitlines():
        words = [w for w in line.split(" ") if w]
        if not words:
            continue
        encoded = [_marked_word(w, codec, mark) for w in words]
        if sum(n for _, n in encoded) * 2 > sum(len(w) for w in words):
            continue
        out.append(space.join(data for data, _ in encoded) + newline)
    return b"".join(out)


# ----------------------------------------------------------------- running

def threshold_text(percent):
    """A /threshold value in plain decimal notation (the tool reads no exponent)."""
    return f"{percent:.6f}".rstrip("0").rstrip(".") or "0"


def collect(tool, workdir, sample_path, pair, policy, ignore_path=None):
    """Runs ``tool /collect`` in ``workdir``; returns the path of the .dat written.

    Raises RuntimeError when the tool fails or the file does not appear.
    """
    target = os.path.join(workdir, dat_name(pair.charset, pair.tag))
    if os.path.exists(target):
        os.unlink(target)
    command = [tool, "/collect", sample_path, "/charset", pair.charset, "/language", pair.tag,
               "/threshold", threshold_text(policy.threshold)]
    if ignore_path is not None:
        command += ["/ignore", ignore_path]
    result = subprocess.run(command, cwd=workdir, capture_output=True, check=False)
    if result.returncode != 0 or not os.path.isfile(target):
        raise RuntimeError(f"{' '.join(command)} (in {workdir}): exit {result.returncode}, "
                           f"{'no ' if not os.path.isfile(target) else ''}{os.path.basename(target)}; "
                           f"output: {result.stdout.decode('utf-8', 'replace').strip()}")
    return target


def dat_entries(path):
    """The number of entries of a statistics file (from its header)."""
    with open(path, "rb") as handle:
        header = handle.read(16)
    if len(header) < 16 or header[:4] != b"STAT":
        raise ValueError(f"{path} is not a statistics file")
    return int.from_bytes(header[12:16], "little")
