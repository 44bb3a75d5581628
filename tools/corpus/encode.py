#!/usr/bin/env python3
"""Turn corpus text (UTF-8) into the bytes of a manifest charset.

Steps, for each character that the charset cannot encode as it is:
  1. fold typographic characters to a plain equivalent the charset has
     (quotes to ' or ", dashes to -, ellipsis to ..., no-break and other
     spaces to space, Romanian comma-below letters to the cedilla letters of
     the legacy charsets, the Persian/Urdu keheh and yeh to the Arabic kaf and
     yeh of the Arabic code pages, ...).  Folds are used only when the
     original cannot be encoded, and only when the whole replacement can;
  2. write a precomposed letter as base letter plus combining marks when the
     charset works that way (Windows-1258 keeps tone marks separate);
  3. write Arabic letters as presentation forms (isolated, initial, medial,
     final, lam-alef ligatures) chosen from the neighbouring letters, for the
     shaped code pages (DOS-864, CP1006) that lack the plain letters;
  4. remove invisible formatting characters (zero-width joiners, ...) the
     charset lacks.
Anything still unencodable is never replaced by something else: the whole
word (run of characters between spaces) holding it is dropped, so that no
mangled word and no false letter pair enters the n-gram statistics.  A line
that loses more than half of its words that way is dropped whole, since what
is left of it is no longer running text.  Lines end in the charset's own code
for "\\n" (0x25 in EBCDIC).  The result depends only on the input text and the
charset.

    python3 tools/corpus/encode.py --charset KOI8-R data/corpus/rus.txt > rus.koi8r
    python3 tools/corpus/encode.py --charset EBCDIC-37 --whitespace
    python3 tools/corpus/encode.py --check        # kept share of each manifest pair
"""

import argparse
import codecs
import functools
import hashlib
import itertools
import os
import subprocess
import sys
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
MANIFEST = os.path.join(ROOT, "data", "models.tsv")
CHARMAPS = os.path.join(HERE, "charmaps")

# ------------------------------------------------------------------ manifest


def load_manifest(path=MANIFEST):
    """Rows of the manifest as dicts; ``languages`` becomes a list of tags."""
    rows = []
    with open(path, encoding="utf-8") as handle:
        header = None
        for line in handle:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            cells = line.split("\t")
            if header is None:
                header = cells
                continue
            row = dict(zip(header, cells))
            row["id"] = int(row["id"])
            row["languages"] = [t for t in row.get("languages", "").split(",") if t]
            rows.append(row)
    return rows


@functools.lru_cache(maxsize=None)
def _manifest_index(path=MANIFEST):
    return {row["charset"]: row for row in load_manifest(path)}


def charset_row(name, path=MANIFEST):
    try:
        return _manifest_index(path)[name]
    except KeyError:
        raise KeyError(f"charset {name!r} is not in {path}") from None


# -------------------------------------------------------------------- codecs


class Codec:
    """One converter: a Python codec, a glibc iconv charset or a byte table.

    ``spec`` is a Python codec name, "iconv:NAME" or "table:NAME" (a file in
    tools/corpus/charmaps).  Every charset here is single-byte, so a
    character either has one byte or none.
    """

    def __init__(self, spec):
        self.spec = spec
        self._table = None
        if spec.startswith("iconv:"):
            self._table = _iconv_table(spec[6:])
        elif spec.startswith("table:"):
            self._table = _file_table(spec[6:])
        else:
            codecs.lookup(spec)  # fails early for an unknown codec name
        self._cache = {}

    def byte(self, ch):
        """The byte (as a 1-byte ``bytes``) of ``ch``, or None."""
        if ch in self._cache:
            return self._cache[ch]
        if self._table is not None:
            result = self._table.get(ch)
        else:
            try:
                result = ch.encode(self.spec)
            except UnicodeEncodeError:
                result = None
            if result is not None and (len(result) != 1 or result.decode(self.spec) != ch):
                result = None
        self._cache[ch] = result
        return result

    def can(self, text):
        return all(self.byte(ch) is not None for ch in text)

    def encode(self, text):
        """Bytes of ``text``; every character must be encodable."""
        return b"".join(self.byte(ch) for ch in text)


@functools.lru_cache(maxsize=None)
def _iconv_table(name):
    table = {}
    for value in range(256):
        result = subprocess.run(["iconv", "-f", name, "-t", "UTF-8"], input=bytes([value]),
                                capture_output=True, check=False)
        text = result.stdout.decode("utf-8", "replace")
        if result.returncode == 0 and len(text) == 1 and text not in table:
            table[text] = bytes([value])
    if not table:
        raise LookupError(f"iconv does not know {name}")
    return table


@functools.lru_cache(maxsize=None)
def _file_table(name):
    table = {}
    with open(os.path.join(CHARMAPS, name + ".txt"), encoding="ascii") as handle:
        for line in handle:
            byte_text, code = line.split()
            ch = chr(int(code[2:], 16))
            table.setdefault(ch, bytes([int(byte_text, 16)]))
    return table


@functools.lru_cache(maxsize=None)
def codec_for(charset, manifest=MANIFEST):
    """The Codec of a manifest charset (by its registry primary name)."""
    return Codec(charset_row(charset, manifest)["codec"])


# --------------------------------------------------------------------- folds

# Plain equivalents, tried in order; used only when the original is unencodable.
FOLDS = {
    "\u2018": ["'"], "\u2019": ["'"], "\u201a": ["'"], "\u201b": ["'"], "\u2032": ["'"],
    "\u02bc": ["\u2019", "'"],  # modifier apostrophe (Ukrainian, Belarusian)
    "\u201c": ['"'], "\u201d": ['"'], "\u201e": ['"'], "\u201f": ['"'], "\u2033": ['"'],
    "\u00ab": ['"'], "\u00bb": ['"'], "\u2039": ["'"], "\u203a": ["'"],
    "\u2010": ["-"], "\u2011": ["-"], "\u2012": ["-"], "\u2013": ["-"], "\u2014": ["\u2013", "-"],
    "\u2015": ["\u2014", "-"], "\u2212": ["-"],
    "\u2026": ["..."],
    "\u00a0": [" "], "\u202f": ["\u00a0", " "], "\u2007": [" "], "\u2009": [" "], "\u200a": [" "],
    # Legacy charsets have Romanian s/t with cedilla, not with comma below.
    "\u0219": ["\u015f"], "\u0218": ["\u015e"], "\u021b": ["\u0163"], "\u021a": ["\u0162"],
    # Arabic code pages have the Arabic kaf and yeh in place of the Persian/Urdu shapes.
    "\u06a9": ["\u0643"], "\u06cc": ["\u064a"],
    # Arabic-script punctuation missing from some code pages.
    "\u066b": [","], "\u066c": [","], "\u06d4": ["."],
    # Hebrew maqaf, geresh and gershayim.
    "\u05be": ["-"], "\u05f3": ["'"], "\u05f4": ['"'],
}


def _presentation_forms():
    """{base letter: {form: char}} and joining types, from the Unicode data."""
    forms, joining = {}, {}
    for code in list(range(0xFB50, 0xFE00)) + list(range(0xFE70, 0xFF00)):
        ch = chr(code)
        parts = unicodedata.decomposition(ch).split()
        if len(parts) < 2 or parts[0] not in ("<isolated>", "<final>", "<initial>", "<medial>"):
            continue
        base = "".join(chr(int(p, 16)) for p in parts[1:])
        forms.setdefault(base, {}).setdefault(parts[0][1:-1], ch)
    for base, kinds in forms.items():
        if len(base) == 1:
            if "initial" in kinds or "medial" in kinds:
                joining[base] = "D"
            elif "final" in kinds:
                joining[base] = "R"
    joining["\u0640"] = "D"  # tatweel
    return forms, joining


_FORMS, _JOINING = _presentation_forms()
_LAM = "\u0644"
# Shaped code pages have two forms of most letters (isolated-final and
# initial-medial) and a single form of some; a missing form is written with
# the closest one the code page has.
_FALLBACK = {"isolated": ["isolated", "final"], "final": ["final", "isolated"],
             "initial": ["initial", "medial", "isolated", "final"],
             "medial": ["medial", "initial", "final", "isolated"]}


def _neighbour(word, i, step):
    """Joining type of the nearest non-mark character before/after ``i``."""
    j = i + step
    while 0 <= j < len(word) and unicodedata.category(word[j]) == "Mn":
        j += step
    return _JOINING.get(word[j], "U") if 0 <= j < len(word) else "U", j


def _shape(word, i, codec):
    """(replacement, characters consumed) for the Arabic letter at ``i``, or None."""
    ch = word[i]
    if ch not in _FORMS:
        return None
    own = _JOINING.get(ch, "U")
    before, _ = _neighbour(word, i, -1)
    joins_prev = before == "D"
    after, j = _neighbour(word, i, +1)
    # Lam followed by alef: one ligature where the charset has it.
    if ch == _LAM and j == i + 1 and after == "R" and (_LAM + word[j]) in _FORMS:
        kinds = _FORMS[_LAM + word[j]]
        for kind in _FALLBACK["final" if joins_prev else "isolated"]:
            if kind in kinds and codec.can(kinds[kind]):
                return kinds[kind], 2
    joins_next = own == "D" and after in ("D", "R")
    form = {(False, False): "isolated", (True, False): "final",
            (False, True): "initial", (True, True): "medial"}[(joins_prev, joins_next)]
    kinds = _FORMS.get(ch, {})
    for kind in _FALLBACK[form]:
        if kind in kinds and codec.can(kinds[kind]):
            return kinds[kind], 1
    return None


def _decomposed(ch, codec):
    """``ch`` as an encodable precomposed letter plus combining marks, or None.

    The result is canonically equivalent to ``ch``: the base letter is
    composed with as many of its marks as the charset has a letter for (e.g.
    "\u1ec7" becomes "\u00ea" + U+0323 in Windows-1258), the other marks follow.
    """
    nfd = unicodedata.normalize("NFD", ch)
    if len(nfd) < 2:
        return None
    base, marks = nfd[0], nfd[1:]
    subsets = sorted(itertools.chain.from_iterable(
        itertools.combinations(range(len(marks)), k) for k in range(len(marks), -1, -1)),
        key=lambda s: (-len(s), s))
    for subset in subsets:
        head = unicodedata.normalize("NFC", base + "".join(marks[i] for i in subset))
        rest = "".join(m for i, m in enumerate(marks) if i not in subset)
        if len(head) == 1 and codec.can(head + rest):
            return head + rest
    return None


def fold_word(word, codec):
    """The word as encodable text, or None when it holds an unencodable character."""
    out = []
    i = 0
    while i < len(word):
        ch = word[i]
        if codec.byte(ch) is not None:
            out.append(ch)
            i += 1
            continue
        alternatives = FOLDS.get(ch, ())
        replacement = next((alt for alt in alternatives if codec.can(alt)), None)
        used = 1
        if replacement is None and alternatives and alternatives[0] in _FORMS and ch in _FORMS:
            # An Arabic letter folded to another that the code page has only in shaped forms.
            word = word[:i] + alternatives[0] + word[i + 1:]
            continue
        if replacement is None:
            replacement = _decomposed(ch, codec)
        if replacement is None:
            shaped = _shape(word, i, codec)
            if shaped:
                replacement, used = shaped
        if replacement is None and unicodedata.category(ch) == "Cf":
            replacement = ""
        if replacement is None:
            return None
        out.append(replacement)
        i += used
    return "".join(out)


def fold_line(line, codec):
    """An encodable version of one line, or None when the line is to be dropped."""
    words = line.split(" ")
    kept = []
    for word in words:
        if not word:
            continue
        folded = fold_word(word, codec)
        if folded is not None and folded.strip(" "):
            kept.append(folded)
    real = [w for w in words if w]
    if not kept or len(kept) * 2 < len(real):
        return None
    return " ".join(" ".join(kept).split())  # a folded no-break space may leave doubles


def encode_text(text, codec, manifest=MANIFEST):
    """Bytes of ``text`` (lines separated by "\\n") in the charset of ``codec``.

    ``codec`` is a Codec or a manifest charset name.
    """
    if isinstance(codec, str):
        codec = codec_for(codec, manifest)
    newline = codec.encode("\n")
    out = []
    for line in text.splitlines():
        folded = fold_line(line, codec)
        if folded is not None:
            out.append(codec.encode(folded) + newline)
    return b"".join(out)


def whitespace_bytes(codec, manifest=MANIFEST):
    """Sorted distinct bytes of space, "\\n", "\\t" and "\\r" in the charset."""
    if isinstance(codec, str):
        codec = codec_for(codec, manifest)
    return sorted({codec.byte(ch)[0] for ch in " \n\t\r" if codec.byte(ch) is not None})


# ------------------------------------------------------------ duplicates

def same_training_bytes(text, charset_a, charset_b, manifest=MANIFEST):
    """Whether two charsets turn ``text`` into exactly the same bytes."""
    return encode_text(text, charset_a, manifest) == encode_text(text, charset_b, manifest)


def redundant_charsets(tag, text, manifest=MANIFEST, encoded=None, encoder=None):
    """{dropped charset: kept charset} among the manifest charsets of language ``tag``.

    Charsets whose training bytes for ``text`` are identical would yield
    identical statistics; only the one with the lowest registry id is kept.
    When ``encoded`` is a dict, it receives {charset: bytes of ``text``} for
    every charset of the language, so that a caller need not encode again.
    ``encoder(text, charset)`` replaces encode_text when given.
    """
    groups = {}
    for row in sorted(load_manifest(manifest), key=lambda r: r["id"]):
        if tag not in row["languages"]:
            continue
        if encoder is None:
            data = encode_text(text, row["charset"], manifest)
        else:
            data = encoder(text, row["charset"])
        if encoded is not None:
            encoded[row["charset"]] = data
        digest = hashlib.sha256(data).hexdigest()
        groups.setdefault(digest, []).append(row["charset"])
    return {name: names[0] for names in groups.values() for name in names[1:]}


# ----------------------------------------------------------------------- CLI

def _check(manifest):
    sys.path.insert(0, HERE)
    import corpus  # noqa: E402

    cache = {}
    for row in load_manifest(manifest):
        for tag in row["languages"]:
            if tag not in cache:
                cache[tag] = corpus.training_text(tag)
            text = cache[tag]
            data = encode_text(text, row["charset"], manifest)
            kept = len(data) / max(1, sum(1 for _ in text))
            print(f"{row['charset']}\t{tag}\t{len(data)}\t{kept:.3f}")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--charset", help="registry primary name of a manifest charset")
    parser.add_argument("--manifest", default=MANIFEST)
    parser.add_argument("--whitespace", action="store_true",
                        help="print the charset's white-space bytes (hex, one a line)")
    parser.add_argument("--check", action="store_true",
                        help="print, per manifest pair, bytes written and share of characters kept")
    parser.add_argument("input", nargs="?", help="UTF-8 text (default: standard input)")
    args = parser.parse_args(argv)
    if args.check:
        _check(args.manifest)
        return 0
    if not args.charset:
        parser.error("--charset is required")
    codec = codec_for(args.charset, args.manifest)
    if args.whitespace:
        sys.stdout.write("".join(f"0x{b:02X}\n" for b in whitespace_bytes(codec)))
        return 0
    if args.input:
        with open(args.input, encoding="utf-8") as handle:
            text = handle.read()
    else:
        text = sys.stdin.read()
    sys.stdout.buffer.write(encode_text(text, codec))
    return 0


if __name__ == "__main__":
    sys.exit(main())
