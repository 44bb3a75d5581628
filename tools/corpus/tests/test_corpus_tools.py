"""Unit tests of the corpus tools: folding, dropping, white space, split, extraction helpers."""

import os
import shutil
import struct
import sys
import tempfile
import unicodedata
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import corpus  # noqa: E402
import encode  # noqa: E402
import extract_extra  # noqa: E402
import languages  # noqa: E402
import split  # noqa: E402
import textclean  # noqa: E402
from encode import Codec  # noqa: E402

LATIN1 = Codec("latin_1")
CP1252 = Codec("cp1252")


class FoldTest(unittest.TestCase):
    def test_typographic_characters_fold_when_missing(self):
        line = "\u201cQuoted\u201d text \u2014 and \u2018more\u2019\u2026 done"
        self.assertEqual(encode.encode_text(line, LATIN1), b"\"Quoted\" text - and 'more'... done\n")

    def test_no_fold_when_charset_has_the_character(self):
        line = "\u201cQuoted\u201d text \u2014 and more\u2026"
        self.assertEqual(encode.encode_text(line, CP1252),
                         b"\x93Quoted\x94 text \x97 and more\x85\n")
        # Latin-1 has guillemets: they stay.
        self.assertEqual(encode.encode_text("\u00abOui\u00bb dit-il", LATIN1), b"\xabOui\xbb dit-il\n")

    def test_guillemets_and_no_break_space_fold_in_koi8(self):
        koi = Codec("koi8_r")
        got = encode.encode_text("\u00ab\u0414\u0430\u00bb\u00a0\u043d\u0435\u0442", koi)
        self.assertEqual(got.decode("koi8_r"), "\"\u0414\u0430\" \u043d\u0435\u0442\n")

    def test_romanian_comma_below_folds_to_cedilla_only_where_missing(self):
        word = "\u0219tiin\u021b\u0103"
        self.assertEqual(encode.encode_text(word, Codec("cp1250")).decode("cp1250"),
                         "\u015ftiin\u0163\u0103\n")
        self.assertEqual(encode.encode_text(word, Codec("iso8859_16")).decode("iso8859_16"), word + "\n")

    def test_windows_1258_writes_tone_marks_as_combining_characters(self):
        text = "Ti\u1ebfng Vi\u1ec7t"
        data = encode.encode_text(text, Codec("cp1258"))
        decoded = data.decode("cp1258")
        self.assertNotEqual(decoded, text + "\n")  # not precomposed
        self.assertEqual(unicodedata.normalize("NFC", decoded), text + "\n")
        self.assertIn("\u00ea", decoded)  # e with circumflex stays one byte

    def test_arabic_letters_are_shaped_for_shaped_code_pages(self):
        data = encode.encode_text("\u0628\u0628 \u0628", Codec("cp864"))
        decoded = data.decode("cp864").rstrip("\n")
        first, second = decoded.split(" ")
        self.assertEqual(unicodedata.decomposition(first[0]).split()[0], "<initial>")
        self.assertIn(unicodedata.decomposition(second).split()[0], ("<isolated>", "<final>"))
        self.assertEqual(unicodedata.normalize("NFKC", decoded), "\u0628\u0628 \u0628")

    def test_urdu_keheh_and_yeh_use_the_arabic_letters_of_cp1006(self):
        decoded = encode.encode_text("\u06a9\u06cc", Codec("cp1006")).decode("cp1006").rstrip("\n")
        self.assertEqual(unicodedata.normalize("NFKC", decoded), "\u0643\u064a")

    def test_encoding_is_deterministic(self):
        text = corpus.training_text("RON")[:20000]
        self.assertEqual(encode.encode_text(text, "ISO-8859-2"), encode.encode_text(text, "ISO-8859-2"))


class DropTest(unittest.TestCase):
    def test_word_with_unencodable_letter_is_dropped_whole(self):
        self.assertEqual(encode.fold_line("Gr\u00fc\u00dfe aus \u0141\u00f3d\u017a und K\u00f6ln", LATIN1),
                         "Gr\u00fc\u00dfe aus und K\u00f6ln")

    def test_nothing_is_transliterated(self):
        # The euro sign has no Latin-1 byte and no plain equivalent: its word goes.
        self.assertEqual(encode.fold_line("Es kostet 5\u20ac heute", LATIN1), "Es kostet heute")

    def test_line_losing_most_words_is_dropped(self):
        self.assertIsNone(encode.fold_line("\u0416\u0436 \u0416\u0436 \u0416\u0436 ok", LATIN1))
        self.assertEqual(encode.encode_text("\u0416\u0436 \u0416\u0436 \u0416\u0436 ok\nfine line\n", LATIN1),
                         b"fine line\n")

    def test_encoded_text_decodes_to_encodable_characters_only(self):
        text = corpus.training_text("POL")[:30000]
        data = encode.encode_text(text, "ISO-8859-2")
        decoded = data.decode("iso8859_2")
        self.assertNotIn("\ufffd", decoded)
        self.assertGreater(len(data), len(text) * 0.95)


class WhitespaceTest(unittest.TestCase):
    def test_ebcdic_white_space_bytes(self):
        self.assertEqual(encode.whitespace_bytes(Codec("cp037")), [0x05, 0x0D, 0x25, 0x40])
        self.assertTrue(encode.encode_text("a b", Codec("cp500")).endswith(b"\x40\x82\x25"))

    def test_ascii_based_white_space_bytes(self):
        self.assertEqual(encode.whitespace_bytes("KOI8-R"), [0x09, 0x0A, 0x0D, 0x20])


class ConverterTest(unittest.TestCase):
    def test_byte_tables(self):
        self.assertEqual(Codec("table:AtariST").byte("\u00df"), b"\x9e")
        self.assertEqual(Codec("table:NeXT").byte("\u00c0"), b"\x81")

    @unittest.skipUnless(shutil.which("iconv"), "glibc iconv not installed")
    def test_iconv_table(self):
        mac = Codec("iconv:MS-MAC-CYRILLIC")
        self.assertEqual(mac.byte("\u00a2"), b"\xa2")
        self.assertIsNone(mac.byte("\u0490"))

    def test_manifest_is_consistent(self):
        rows = encode.load_manifest()
        self.assertEqual(sorted(r["id"] for r in rows), list(range(60)))
        self.assertEqual(len({r["charset"] for r in rows}), 60)
        tags = set(languages.tags())
        for row in rows:
            Codec(row["codec"])
            self.assertTrue(row["languages"], row["charset"])
            self.assertLessEqual(set(row["languages"]), tags, row["charset"])
        used = {t for r in rows for t in r["languages"]}
        self.assertEqual(used, tags)


class DuplicateTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.manifest = os.path.join(self.dir, "models.tsv")
        with open(self.manifest, "w", encoding="utf-8") as handle:
            handle.write("charset\tid\tcodec\tlanguages\n")
            handle.write("B-1252\t18\tcp1252\tFRA\nA-15\t14\tiso8859_15\tFRA\nZ-1\t0\tlatin_1\tFRA\n")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def test_identical_bytes_keep_the_lowest_id(self):
        plain = "une phrase simple sans signes particuliers\n"
        self.assertTrue(encode.same_training_bytes(plain, "Z-1", "A-15", self.manifest))
        self.assertEqual(encode.redundant_charsets("FRA", plain, self.manifest), {"A-15": "Z-1", "B-1252": "Z-1"})

    def test_different_bytes_are_kept(self):
        text = "le c\u0153ur \u201cdit\u201d oui\n"
        self.assertFalse(encode.same_training_bytes(text, "Z-1", "A-15", self.manifest))
        self.assertEqual(encode.redundant_charsets("FRA", text, self.manifest), {})

    def test_encoded_bytes_are_handed_back(self):
        text = "le c\u0153ur \u201cdit\u201d oui\n"
        encoded = {}
        encode.redundant_charsets("FRA", text, self.manifest, encoded)
        self.assertEqual(sorted(encoded), ["A-15", "B-1252", "Z-1"])
        for name, data in encoded.items():
            self.assertEqual(data, encode.encode_text(text, name, self.manifest))
        self.assertNotEqual(encoded["Z-1"], encoded["B-1252"])


class SplitTest(unittest.TestCase):
    TEXT = "".join(f"line {i}\n" for i in range(1, 26))

    def test_every_tenth_line_is_held_out(self):
        self.assertEqual(split.heldout_lines(self.TEXT), ["line 10", "line 20"])
        self.assertEqual(len(split.training_lines(self.TEXT)), 23)

    def test_parts_are_disjoint_complete_and_deterministic(self):
        train, held = split.training_lines(self.TEXT), split.heldout_lines(self.TEXT)
        self.assertFalse(set(train) & set(held))
        self.assertEqual(sorted(train + held), sorted(self.TEXT.splitlines()))
        self.assertEqual(split.training_part(self.TEXT), split.training_part(self.TEXT))
        self.assertEqual(split.heldout_part(self.TEXT), "line 10\nline 20\n")

    def test_every_language_has_enough_held_out_text(self):
        for tag in languages.tags():
            held = corpus.heldout_text(tag)
            self.assertGreater(len(held), 10_000, tag)
            share = len(held) / (len(held) + len(corpus.training_text(tag)))
            self.assertTrue(0.07 < share < 0.13, (tag, share))


class CleanTest(unittest.TestCase):
    def test_prose_filter(self):
        self.assertTrue(textclean.is_prose("Die Datei wird auf der Festplatte gespeichert.", "Latin"))
        for bad in ("See http://example.org for the whole story here",
                    "Die Datei <b>wird</b> auf der Platte gespeichert",
                    "Kann %s nicht auf der Platte finden und speichern",
                    "Open the file and then you can see the text of it"):  # English in German
            self.assertFalse(textclean.is_prose(bad, "Latin"), bad)
        self.assertFalse(textclean.is_prose("Нажмите кнопку Save the file to the disk now", "Cyrillic"))

    def test_mallard_page_text(self):
        page = (b'<page xmlns="http://projectmallard.org/1.0/"><info><desc>Kurz gesagt.</desc>'
                b'<credit><name>Jemand</name></credit></info><title>Titel</title>'
                b'<p>Klicken Sie auf <gui>Speichern</gui> jetzt.</p><p>Tippen Sie <cmd>ls</cmd> ein.</p>'
                b'<p>Siehe <link xref="other"/>.</p><screen>code here</screen></page>')
        self.assertEqual(extract_extra.page_paragraphs(page),
                         ["Kurz gesagt.", "Titel", "Klicken Sie auf Speichern jetzt."])

    def test_message_catalogue_reader(self):
        entries = [(b"", b"Content-Type: text/plain; charset=UTF-8\n"),
                   (b"ctx\x04_Open file", "_Datei \u00f6ffnen".encode()),
                   (b"one\x00many", b"eins\x00viele")]
        ids = b"".join(e[0] + b"\0" for e in entries)
        strs = b"".join(e[1] + b"\0" for e in entries)
        n = len(entries)
        head = 28 + 16 * n
        id_table, pos = b"", head
        for e in entries:
            id_table += struct.pack("<2I", len(e[0]), pos)
            pos += len(e[0]) + 1
        str_table = b""
        for e in entries:
            str_table += struct.pack("<2I", len(e[1]), pos)
            pos += len(e[1]) + 1
        data = struct.pack("<7I", 0x950412DE, 0, n, 28, 28 + 8 * n, 0, 0) + id_table + str_table + ids + strs
        self.assertEqual(extract_extra.read_mo(data), [("_Open file", "_Datei \u00f6ffnen"), ("one", "eins")])
        self.assertEqual(extract_extra.catalogue_lines("_Datei \u00f6ffnen\n~Neu"), ["Datei \u00f6ffnen", "Neu"])

    def test_sample_spreads_and_respects_budget(self):
        lines = [f"{i:03d}" for i in range(100)]
        chosen = extract_extra.sample(lines, 60)
        self.assertEqual(len(chosen), 20)
        self.assertEqual(chosen[:3], ["000", "005", "010"])
        self.assertEqual(extract_extra.sample(lines, 1000), lines)


if __name__ == "__main__":
    unittest.main()
