"""Tests of the model build and the evaluation helpers.

    python3 -m unittest discover -s tools/models/tests

The build test runs the real tool when a build of it exists
(build/release or build/debug); it is skipped otherwise.
"""

import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unicodedata
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))

import build_models  # noqa: E402
import decode  # noqa: E402
import evaluation  # noqa: E402
import modelset  # noqa: E402
import samples  # noqa: E402
import score  # noqa: E402
from modelset import encode  # noqa: E402

ROOT = modelset.ROOT


def built_tool():
    for preset in ("release", "debug"):
        path = os.path.join(ROOT, "build", preset, "app", "kestoanalyzer")
        if os.access(path, os.X_OK):
            return path
    return None


def dat_bytes(tables, tag=b"DEU\0", charset=0):
    """A statistics file in the documented layout (stats/stat_file.h)."""
    out = [b"STAT", tag, struct.pack("<iI", charset, sum(len(t) for t in tables))]
    for index, table in enumerate(tables):
        out.append(b"STBL" + struct.pack("<II", index << 1, len(table)))
        out += [struct.pack("<Id", key, value) for key, value in table.items()]
    return b"".join(out)


class PolicyTest(unittest.TestCase):
    def test_every_manifest_script_has_a_policy(self):
        scripts = {row["script"] for row in modelset.manifest_rows()}
        self.assertLessEqual(scripts, set(modelset.POLICY))

    def test_ascii_based_ignore_sets(self):
        self.assertIsNone(modelset.ignore_bytes("ISO-8859-1", spaces=False))
        counted = modelset.ignore_bytes("Windows-1251", spaces=True)
        self.assertEqual(counted, bytes(range(1, 0x20)))
        self.assertNotIn(0x20, counted)

    def test_ebcdic_ignore_sets_hold_its_white_space(self):
        white = set(encode.whitespace_bytes("EBCDIC-37"))
        self.assertEqual(set(modelset.ignore_bytes("EBCDIC-37", spaces=False)), white)
        with_spaces = set(modelset.ignore_bytes("EBCDIC-37", spaces=True))
        self.assertEqual(with_spaces, white - {0x40})
        self.assertIn(0x25, with_spaces)  # EBCDIC's line break

    def test_overrides(self):
        policy = modelset.parse_overrides(["*.threshold=0.5", "Latin.spaces=0",
                                           "Greek.unencodable=mark"])
        self.assertTrue(all(p.threshold == 0.5 for p in policy.values()))
        self.assertFalse(policy["Latin"].spaces)
        self.assertEqual(policy["Greek"].unencodable, "mark")
        self.assertEqual(policy["Cyrillic"].unencodable, modelset.POLICY["Cyrillic"].unencodable)
        for bad in (["Latin.colour=1"], ["Klingon.spaces=1"], ["Latin.unencodable=guess"]):
            with self.assertRaises(ValueError):
                modelset.parse_overrides(bad)

    def test_threshold_text_has_no_exponent(self):
        self.assertEqual(modelset.threshold_text(0.003), "0.003")
        self.assertEqual(modelset.threshold_text(1e-05), "0.00001")
        self.assertEqual(modelset.threshold_text(0.1), "0.1")
        self.assertEqual(modelset.threshold_text(0), "0")


class TrainingBytesTest(unittest.TestCase):
    TEXT = "le c\u0153ur dit oui \u20ac\nplain line\n"

    def test_drop_is_the_corpus_encoder(self):
        self.assertEqual(modelset.training_bytes(self.TEXT, "ISO-8859-1", "drop"),
                         encode.encode_text(self.TEXT, "ISO-8859-1"))

    def test_gap_and_mark_keep_the_rest_of_the_word(self):
        self.assertEqual(modelset.training_bytes(self.TEXT, "ISO-8859-1", "gap"),
                         b"le c\x00ur dit oui \x00\nplain line\n")
        self.assertEqual(modelset.training_bytes(self.TEXT, "ISO-8859-1", "mark"),
                         b"le c\x7fur dit oui \x7f\nplain line\n")
        self.assertEqual(modelset.training_bytes(self.TEXT, "EBCDIC-37", "mark").count(b"\x07"), 2)

    def test_mark_gives_every_charset_of_a_language_the_same_length(self):
        text = modelset.corpus.training_text("FRA")[:20000].replace("\u2026", "")
        sizes = {len(modelset.training_bytes(text, name, "mark"))
                 for name in ("ISO-8859-1", "ISO-8859-15", "Windows-1252", "DOS-437", "DOS-850")}
        self.assertEqual(len(sizes), 1)

    def test_shaped_code_page_words_stay_shaped(self):
        word = "\u0628\u0628"
        self.assertEqual(modelset.training_bytes(word, "DOS-864", "mark"),
                         encode.encode_text(word, "DOS-864"))


class SampleTest(unittest.TestCase):
    LINES = ["alpha beta gamma delta", "epsilon zeta", "eta theta iota kappa lambda"] * 20

    def test_cut_stays_within_the_length_at_word_boundaries(self):
        words = set(" ".join(self.LINES).split())
        for length in (40, 57, 100, 333):
            for start in range(0, 6):
                piece = samples.cut(self.LINES, start, length)
                self.assertLessEqual(len(piece), length)
                self.assertGreater(len(piece), length - 12)
                self.assertLessEqual(set(piece.split()), words)

    def test_long_runs_are_cut_but_never_before_a_mark(self):
        thai = "\u0e2a\u0e48\u0e07\u0e40\u0e21\u0e25\u0e15\u0e2d\u0e1a" * 10
        for length in range(5, 40):
            piece = samples.cut([thai], 0, length)
            self.assertLessEqual(len(piece), length)
            self.assertTrue(piece)
            self.assertNotEqual(unicodedata.category(thai[len(piece)])[0], "M")

    def test_starts_are_spread_and_leave_room(self):
        lines = [f"line {i:03d} " + "x" * 40 for i in range(100)]
        first = samples.starts(lines, 1000, 4)
        self.assertEqual(first[0], 0)
        self.assertEqual(first, sorted(first))
        self.assertEqual(len(set(first)), 4)
        for start in first:
            self.assertGreater(len(samples.cut(lines, start, 1000)), 950)

    def test_samples_of_a_pair_are_deterministic_and_decode(self):
        pair = next(p for p in modelset.all_pairs() if p.tag == "DEU" and p.charset == "EBCDIC-37")
        text = modelset.corpus.heldout_text("DEU")
        one = samples.samples_for(pair, text)
        self.assertEqual(one, samples.samples_for(pair, text))
        self.assertEqual(len(one), sum(samples.CLASSES.values()))
        for sample in one:
            self.assertLessEqual(len(sample.data), sample.length)
            self.assertGreater(len(sample.data), sample.length * 0.8)
            decoded = decode.decoder_for("EBCDIC-37").decode(sample.data)
            lines = samples.encodable_lines(text, encode.codec_for("EBCDIC-37"))
            first = decoded.split("\n")[0]
            self.assertTrue(any(line.startswith(first) for line in lines), first)
            self.assertTrue(set(decoded.split()) <= set(" ".join(lines).split()), decoded[:80])


class DecodeTest(unittest.TestCase):
    def test_every_encodable_character_decodes_back(self):
        for row in modelset.manifest_rows():
            codec = encode.codec_for(row["charset"])
            decoder = decode.decoder_for(row["charset"])
            for code in range(0x20, 0x2200):
                data = codec.byte(chr(code))
                if data is not None:
                    self.assertEqual(decoder.decode(data), chr(code), (row["charset"], hex(code)))

    def test_undefined_bytes_do_not_decode(self):
        self.assertIsNone(decode.decoder_for("Windows-874").decode(b"\xdb"))
        self.assertEqual(decode.decoder_for("ISO-8859-1").decode(b"\xbd"), "\u00bd")
        self.assertEqual(decode.decoder_for("ISO-8859-15").decode(b"\xbd"), "\u0153")


class ScoreAndJudgeTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, name, tables, tag=b"DEU\0"):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as handle:
            handle.write(dat_bytes(tables, tag))
        return path

    def test_score_of_the_model_of_its_own_text(self):
        # The model of "abababab": single bytes 1/2 each, pairs 1/4, triples 2/12.
        tables = [{0x61: 0.5, 0x62: 0.5}, {0x6261: 0.25, 0x6162: 0.25},
                  {0x616261: 2 / 12, 0x626162: 2 / 12}]
        path = self.write("X.DEU.dat", tables)
        self.assertEqual(score.load(path), tables)
        expected = (1 * 2.0 + 50 * 1.0) + 500 * (4 * 2 / 12)
        self.assertAlmostEqual(score.score(tables, b"abababab"), expected, places=9)
        self.assertEqual(score.score(tables, b"abab"), 0.0)

    def test_exact_and_near_ties(self):
        same = [{0x61: 0.5}, {}, {}]
        a = self.write("ISO-8859-1.DEU.dat", same)
        b = self.write("Windows-1252.DEU.dat", same)
        c = self.write("ISO-8859-15.FRA.dat", [{0x61: 0.5 - 1e-12}, {}, {}])
        judge = evaluation.Judge({("ISO-8859-1", "DEU"): a, ("Windows-1252", "DEU"): b,
                                  ("ISO-8859-15", "FRA"): c})
        report = ("Found 3 dat files...\nUsing ./a.dat...\n"
                  "Detected:      ISO-8859-1 (DEU) with 100.0000%\n"
                  "Detected:    Windows-1252 (DEU) with 100.0000%\n"
                  "Detected:     ISO-8859-15 (FRA) with 100.0000%\n")
        guesses = evaluation.parse_report(report)
        self.assertEqual([g.charset for g in guesses], ["ISO-8859-1", "Windows-1252", "ISO-8859-15"])
        answer, exact, near, fallback = judge.answer(guesses, b"aaaaaaaa")
        self.assertEqual({g.charset for g in answer}, {"ISO-8859-1", "Windows-1252"})
        self.assertTrue(exact)
        self.assertFalse(near or fallback)
        answer, exact, near, _ = judge.answer(guesses[1:], b"aaaaaaaa")
        self.assertEqual([g.charset for g in answer], ["Windows-1252"])
        self.assertTrue(near)
        self.assertFalse(exact)

    def test_a_tie_is_right_only_when_every_tied_model_is(self):
        pair = modelset.Pair("FRA", "ISO-8859-15", 14, "Latin")
        sample = samples.Sample(pair, 100, 0, "le c\u0153ur".encode("iso8859_15"))
        a = self.write("ISO-8859-15.FRA.dat", [{0x65: 0.5}, {}, {}], b"FRA\0")
        b = self.write("ISO-8859-1.FRA.dat", [{0x65: 0.5}, {}, {}], b"FRA\0")
        judge = evaluation.Judge({("ISO-8859-15", "FRA"): a, ("ISO-8859-1", "FRA"): b})
        guesses = evaluation.parse_report("Detected:     ISO-8859-15 (FRA) with 100.0000%\n"
                                          "Detected:      ISO-8859-1 (FRA) with 100.0000%\n")
        result = judge.judge(sample, guesses)
        self.assertTrue(result.exact_tie)
        self.assertTrue(result.language_ok)
        self.assertFalse(result.charset_ok)  # ISO-8859-1 reads the byte of oe as one half
        # Without the oe, both read the same text: right.
        plain = samples.Sample(pair, 100, 0, b"le coeur est")
        self.assertTrue(judge.judge(plain, guesses).both_ok)

    def test_fallback_line(self):
        judge = evaluation.Judge({})
        guesses = evaluation.parse_report("Detected:     ISO-8859-15 (ENG) with 100.0000%\n"
                                          "Detected:      ISO-8859-1 (DEU) with   0.0000%\n")
        self.assertTrue(judge.answer(guesses, b"ab")[3])


@unittest.skipIf(built_tool() is None, "no build of kestoanalyzer")
class BuildTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.manifest = os.path.join(self.dir, "models.tsv")
        with open(self.manifest, "w", encoding="utf-8") as handle:
            handle.write("charset\tid\tcodec\tscript\tlanguages\tnotes\n"
                         "ISO-8859-1\t0\tlatin_1\tLatin\tISL\t\n"
                         "ISO-8859-15\t14\tiso8859_15\tLatin\tISL\t\n"
                         "EBCDIC-37\t56\tcp037\tLatin\tISL\t\n")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def digest(self, out):
        names = sorted(n for n in os.listdir(out) if n.endswith(".dat"))
        h = hashlib.sha256()
        for name in names:
            with open(os.path.join(out, name), "rb") as handle:
                h.update(name.encode() + handle.read())
        return names, h.hexdigest()

    def test_build_is_complete_deduplicated_and_reproducible(self):
        out = os.path.join(self.dir, "out")
        os.makedirs(out)
        stale = os.path.join(out, "Old.XXX.dat")
        with open(stale, "wb") as handle:
            handle.write(b"STAT")
        rows = build_models.build(built_tool(), out, self.manifest, jobs=1, quiet=True)
        self.assertFalse(os.path.exists(stale))
        names, first = self.digest(out)
        # Icelandic has no letter where ISO-8859-1 and -15 differ: one model for both.
        self.assertEqual(names, ["EBCDIC-37.ISL.dat", "ISO-8859-1.ISL.dat"])
        dropped = {r[0].charset: r[3] for r in rows if r[3]}
        self.assertEqual(dropped, {"ISO-8859-15": "ISO-8859-1"})
        for name in names:
            tables = score.load(os.path.join(out, name))
            self.assertTrue(all(tables), name)
        ebcdic = score.load(os.path.join(out, "EBCDIC-37.ISL.dat"))
        newline = 0x25
        self.assertNotIn(newline, ebcdic[0])  # EBCDIC line breaks are ignored
        build_models.build(built_tool(), out, self.manifest, jobs=2, quiet=True)
        self.assertEqual(self.digest(out), (names, first))

    def test_a_failing_tool_stops_the_build(self):
        fake = os.path.join(self.dir, "fake-tool")
        with open(fake, "w", encoding="ascii") as handle:
            handle.write("#!/bin/sh\nexit 0\n")
        os.chmod(fake, 0o755)
        with self.assertRaises(RuntimeError):
            build_models.build(fake, os.path.join(self.dir, "out2"), self.manifest, jobs=1,
                               quiet=True)


if __name__ == "__main__":
    unittest.main()
