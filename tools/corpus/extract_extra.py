#!/usr/bin/env python3
"""Extract extra training prose from translated help pages and message catalogues.

Reads the Debian packages named in tools/corpus/extra_packages.txt (as .deb
files in --debs, fetched with tools/corpus/fetch_sources.sh) and writes
data/corpus/extra/<tag>.txt for every modelled language, plus
data/corpus/SOURCES.tsv with the package versions that were read.

    python3 tools/corpus/extract_extra.py --debs /tmp/corpus-debs

Sources, in this order:
  help        GNOME help pages (Mallard .page files in usr/share/help/<locale>/):
              headings, descriptions and paragraphs; code, commands, file
              names and media are left out.  A paragraph identical to one of the
              English originals of the same document is an untranslated
              fallback and is dropped; a page that loses more than a third of
              its paragraphs that way is dropped whole.
  catalogue   compiled message catalogues (.mo): translated strings that differ
              from their English original; mnemonic marks removed; one line
              per line of the string.
Every candidate line must pass textclean.is_prose (running text in the
language's script, no markup, code, addresses or format strings).  Lines are
deduplicated (first occurrence wins) and, where a source offers more than its
budget, sampled evenly across the source: each language gets at most
TOTAL_CHARS characters including its declaration, of which the help pages
take up to HELP_SHARE when the catalogues can fill the rest.

The output depends only on the package files: everything is read in sorted
order and no randomness is used.
"""

import argparse
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import debfile  # noqa: E402
import languages  # noqa: E402
import textclean  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TOTAL_CHARS = 150_000
HELP_SHARE = 0.6

_HELP_PATH = re.compile(r"^usr/share/help/([^/]+)/([^/]+)/([^/]+\.page)$")
_MO_PATH = re.compile(
    r"^usr/(?:share/locale|lib/libreoffice/program/resource)/([^/]+)/LC_MESSAGES/([^/]+)\.mo$"
)

# ---------------------------------------------------------------- help pages

_MALLARD = "{http://projectmallard.org/1.0/}"
_BLOCKS = {"p", "title", "subtitle", "desc"}
# Inline elements whose content is not prose of the language.
_SKIP = {"code", "cmd", "sys", "file", "input", "output", "var", "screen", "media", "comment", "credit",
         "name", "email", "years", "license", "revision"}


class _Incomplete(Exception):
    """Raised for a paragraph whose rendered text would be filled in by the viewer."""


def _local(tag):
    return tag.rsplit("}", 1)[-1] if isinstance(tag, str) else ""


def _inline_text(elem):
    parts = [elem.text or ""]
    for child in elem:
        name = _local(child.tag)
        if name in _SKIP:
            raise _Incomplete
        if name in ("guiseq", "keyseq"):
            sep = " " if name == "guiseq" else "+"
            parts.append(sep.join(_inline_text(c) for c in child if _local(c.tag) in ("gui", "key")))
        elif name == "link" and not "".join(child.itertext()).strip():
            raise _Incomplete  # the viewer would insert the target's title
        else:
            parts.append(_inline_text(child))
        parts.append(child.tail or "")
    return "".join(parts)


def page_paragraphs(data):
    """Normalised text blocks of a Mallard page, in document order.

    Blocks that contain skipped inline content (code, file names, an empty
    link) are left out whole: their text would be incomplete.
    """
    try:
        root = ET.fromstring(data)
    except ET.ParseError:
        return []
    out = []

    def walk(elem, in_info):
        name = _local(elem.tag)
        if name in _SKIP:
            return
        if name in _BLOCKS and (not in_info or name == "desc"):
            try:
                line = textclean.normalise(_inline_text(elem))
            except _Incomplete:
                return
            if line:
                out.append(line)
            return
        for child in elem:
            walk(child, in_info or name == "info")

    walk(root, False)
    return out


# ------------------------------------------------------- message catalogues

def read_mo(data):
    """(msgid, msgstr) pairs of a compiled catalogue, as text.

    The context (msgctxt) is removed from msgid; of plural forms only the
    first is kept.  The header entry (empty msgid) is skipped.
    """
    if len(data) < 20:
        return []
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic == 0x950412DE else ">"
    _, count, ids_at, strs_at = struct.unpack(order + "4I", data[4:20])
    entries = []
    charset = "utf-8"
    for i in range(count):
        id_len, id_pos = struct.unpack(order + "2I", data[ids_at + 8 * i:ids_at + 8 * i + 8])
        str_len, str_pos = struct.unpack(order + "2I", data[strs_at + 8 * i:strs_at + 8 * i + 8])
        msgid = data[id_pos:id_pos + id_len]
        msgstr = data[str_pos:str_pos + str_len]
        if not msgid:
            found = re.search(rb"charset=([-\w]+)", msgstr)
            if found:
                charset = found.group(1).decode("ascii")
            continue
        entries.append((msgid, msgstr))
    out = []
    for msgid, msgstr in entries:
        try:
            ident = msgid.split(b"\x04", 1)[-1].split(b"\0", 1)[0].decode(charset)
            text = msgstr.split(b"\0", 1)[0].decode(charset)
        except (LookupError, UnicodeDecodeError):
            continue
        out.append((ident, text))
    return out


_MNEMONIC = re.compile(r"(?<![\w_])_(?=\w)|~|&(?=\w)(?!\w+;)")
_SIMPLE_TAGS = re.compile(r"</?(?:b|i|u|em|small|big|tt|sub|sup)>")


def catalogue_lines(text):
    """Candidate lines of one catalogue string: mnemonics and simple tags removed."""
    text = _SIMPLE_TAGS.sub("", _MNEMONIC.sub("", text))
    return [line for line in (textclean.normalise(part) for part in text.split("\n")) if line]


# ------------------------------------------------------------- selection

def sample(lines, budget):
    """Lines spread evenly over ``lines`` totalling at most ``budget`` characters.

    Takes every k-th line (k chosen so that one pass roughly fills the budget),
    then the lines after those, and so on, and returns them in their original
    order.  All lines are returned when they fit.
    """
    total = sum(len(line) for line in lines)
    if total <= budget:
        return list(lines)
    step = -(-total // budget)
    order = sorted(range(len(lines)), key=lambda i: (i % step, i))
    chosen, used = [], 0
    for i in order:
        if used + len(lines[i]) > budget:
            break
        chosen.append(i)
        used += len(lines[i])
    return [lines[i] for i in sorted(chosen)]


def _dedup(lines, seen):
    out = []
    for line in lines:
        if line not in seen:
            seen.add(line)
            out.append(line)
    return out


def read_packages(debs_dir, names):
    """Help pages and catalogues of the named packages, keyed for sorted access."""
    pages = {}  # (package, document, page) -> {locale: bytes}
    catalogues = []  # (package, locale, domain, bytes)
    versions = []
    for name in names:
        candidates = sorted(f for f in os.listdir(debs_dir) if f.startswith(name + "_") and f.endswith(".deb"))
        if not candidates:
            raise SystemExit(f"{name}: no .deb in {debs_dir} (run tools/corpus/fetch_sources.sh)")
        deb = debfile.DebPackage(os.path.join(debs_dir, candidates[-1]))
        versions.append((deb.package, deb.version))
        wanted = lambda p: bool(_HELP_PATH.match(p) or _MO_PATH.match(p))  # noqa: E731
        for path, data in deb.files(wanted):
            help_match = _HELP_PATH.match(path)
            if help_match:
                locale, document, page = help_match.groups()
                pages.setdefault((deb.package, document, page), {})[locale] = data
            else:
                locale, domain = _MO_PATH.match(path).groups()
                catalogues.append((deb.package, locale, domain, data))
    catalogues.sort(key=lambda c: c[:3])
    return pages, catalogues, versions


def help_pool(lang, pages, english_by_doc):
    english = lang.tag == "ENG"
    pool = []
    for key in sorted(pages):
        for locale in lang.locales:
            data = pages[key].get(locale)
            if data is None:
                continue
            paragraphs = page_paragraphs(data)
            if not english:
                known = english_by_doc.get(key[:2], set())
                kept = [p for p in paragraphs if p not in known]
                if len(kept) * 3 < len(paragraphs) * 2:
                    continue
                paragraphs = kept
            pool.extend(p for p in paragraphs if textclean.is_prose(p, lang.script, english))
    return pool


def catalogue_pool(lang, catalogues):
    english = lang.tag == "ENG"
    pool = []
    if english:
        # The English originals are the msgids; each catalogue domain is read once.
        done = set()
        for package, _locale, domain, data in catalogues:
            if (package, domain) in done:
                continue
            done.add((package, domain))
            for msgid, _msgstr in read_mo(data):
                pool.extend(l for l in catalogue_lines(msgid) if textclean.is_prose(l, "Latin", True))
        return pool
    for package, locale, domain, data in catalogues:
        if locale not in lang.locales:
            continue
        for msgid, msgstr in read_mo(data):
            if not msgstr or textclean.normalise(msgstr) == textclean.normalise(msgid):
                continue
            source = set(catalogue_lines(msgid))
            pool.extend(l for l in catalogue_lines(msgstr)
                        if l not in source and textclean.is_prose(l, lang.script))
    return pool


def package_names(path):
    with open(path, encoding="utf-8") as handle:
        return [line.split("#", 1)[0].strip() for line in handle if line.split("#", 1)[0].strip()]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--debs", required=True, help="directory with the downloaded .deb files")
    parser.add_argument("--packages", default=os.path.join(HERE, "extra_packages.txt"))
    parser.add_argument("--corpus", default=os.path.join("data", "corpus"),
                        help="corpus directory (declarations are read from it, extra/ is written)")
    parser.add_argument("--only", help="comma-separated tags to regenerate (default: all)")
    args = parser.parse_args(argv)

    pages, catalogues, versions = read_packages(args.debs, package_names(args.packages))
    english_by_doc = {}
    for (package, document, page), by_locale in sorted(pages.items()):
        if "C" in by_locale:
            english_by_doc.setdefault((package, document), set()).update(page_paragraphs(by_locale["C"]))

    out_dir = os.path.join(args.corpus, "extra")
    os.makedirs(out_dir, exist_ok=True)
    only = set(args.only.upper().split(",")) if args.only else None
    for lang in languages.LANGUAGES:
        if only and lang.tag not in only:
            continue
        with open(os.path.join(args.corpus, lang.tag.lower() + ".txt"), encoding="utf-8") as handle:
            declaration = handle.read().splitlines()
        seen = set(declaration)
        helps = _dedup(help_pool(lang, pages, english_by_doc), seen)
        cats = _dedup(catalogue_pool(lang, catalogues), seen)
        extra = TOTAL_CHARS - sum(map(len, declaration))
        help_total = sum(map(len, helps))
        cat_total = sum(map(len, cats))
        help_budget = min(help_total, max(int(extra * HELP_SHARE), extra - cat_total))
        chosen = sample(helps, help_budget)
        chosen += sample(cats, extra - sum(map(len, chosen)))
        path = os.path.join(out_dir, lang.tag.lower() + ".txt")
        with open(path, "w", encoding="utf-8", newline="\n") as handle:
            handle.write("".join(line + "\n" for line in chosen))
        print(f"{lang.tag}: help {help_total} catalogue {cat_total} available; "
              f"wrote {len(chosen)} lines, {sum(map(len, chosen))} characters")

    with open(os.path.join(args.corpus, "SOURCES.tsv"), "w", encoding="utf-8", newline="\n") as handle:
        handle.write("package\tversion\n")
        for package, version in versions:
            handle.write(f"{package}\t{version}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
