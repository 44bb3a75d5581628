"""Decoding bytes of any manifest charset back to Unicode.

The evaluation counts a charset guess as right when the sample decodes to the
same text in the guessed charset as in the true one.  Python codecs decode
with bytes.decode; the iconv and table charsets decode through the inverse of
their byte table (every byte the converter knows, each to its character).
A byte that a charset does not define makes the decoding fail (None).
"""

import codecs
import functools
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import modelset  # noqa: E402
from modelset import encode  # noqa: E402


@functools.lru_cache(maxsize=None)
def _iconv_bytes(name):
    """{byte: character} of a glibc iconv charset."""
    table = {}
    for value in range(256):
        result = subprocess.run(["iconv", "-f", name, "-t", "UTF-8"], input=bytes([value]),
                                capture_output=True, check=False)
        text = result.stdout.decode("utf-8", "replace")
        if result.returncode == 0 and len(text) == 1:
            table[value] = text
    return table


@functools.lru_cache(maxsize=None)
def _file_bytes(name):
    """{byte: character} of a byte table in tools/corpus/charmaps."""
    table = {}
    with open(os.path.join(encode.CHARMAPS, name + ".txt"), encoding="ascii") as handle:
        for line in handle:
            byte_text, code = line.split()
            table[int(byte_text, 16)] = chr(int(code[2:], 16))
    return table


class Decoder:
    def __init__(self, spec):
        self.spec = spec
        self._table = None
        if spec.startswith("iconv:"):
            self._table = _iconv_bytes(spec[6:])
        elif spec.startswith("table:"):
            self._table = _file_bytes(spec[6:])
        else:
            codecs.lookup(spec)

    def decode(self, data):
        """The text of ``data``, or None when a byte is undefined in the charset."""
        if self._table is None:
            try:
                return data.decode(self.spec)
            except UnicodeDecodeError:
                return None
        try:
            return "".join(self._table[b] for b in data)
        except KeyError:
            return None


@functools.lru_cache(maxsize=None)
def decoder_for(charset, manifest=modelset.MANIFEST):
    return Decoder(encode.charset_row(charset, manifest)["codec"])
