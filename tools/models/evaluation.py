"""Running /detect on the evaluation samples and judging its answers.

See tools/evaluate for the command.  A report line of /detect reads
"Detected: <charset> (<TAG>) with <percent>%"; the answer is the first line,
unless several lines print 100.0000 %: then the scores of those models are
recomputed (score.py) and the answer is the set of models sharing the exact
maximum.  An answer of several models (an exact tie, whose order the tool does
not define) counts as right only when every one of them is right.
"""

import collections
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import decode  # noqa: E402
import modelset  # noqa: E402
import samples  # noqa: E402
import score  # noqa: E402

LINE = re.compile(r"^Detected: +(\S+) \(([^)]*)\) with +(\S+)%$")
TOP = "100.0000"

Guess = collections.namedtuple("Guess", "charset tag percent")
Result = collections.namedtuple(
    "Result", "tag charset length index size answer first charset_ok language_ok both_ok "
              "exact_tie near_tie fallback")


def parse_report(output):
    """The "Detected:" lines of a /detect run, as Guesses in report order."""
    guesses = []
    for line in output.splitlines():
        match = LINE.match(line)
        if match:
            guesses.append(Guess(match.group(1), match.group(2), match.group(3)))
    return guesses


def dat_index(directory):
    """{(charset name, TAG): path} of the statistics files in ``directory``."""
    index = {}
    for name in sorted(os.listdir(directory)):
        if name.lower().endswith(".dat"):
            charset, tag = name[:-4].rsplit(".", 1)
            index[(charset, tag)] = os.path.join(directory, name)
    return index


class Judge:
    """Decides what a report answered and whether that is right."""

    def __init__(self, dat_files, manifest=modelset.MANIFEST):
        self.dat_files = dat_files
        self.manifest = manifest
        self._models = {}
        self.disagreements = []

    def _tables(self, key):
        if key not in self._models:
            self._models[key] = score.load(self.dat_files[key])
        return self._models[key]

    def answer(self, guesses, data):
        """(answer guesses, exact tie, near tie, fallback) for one report."""
        if not guesses:
            raise RuntimeError("no report lines")
        fallback = (guesses[0].charset, guesses[0].tag) == ("ISO-8859-15", "ENG") and all(
            float(g.percent) == 0.0 for g in guesses[1:])
        top = [g for g in guesses if g.percent == TOP]
        if fallback or len(top) < 2:
            return [guesses[0]], False, False, fallback
        exact = {g: score.score(self._tables((g.charset, g.tag)), data) for g in top}
        best = max(exact.values())
        winners = [g for g in top if exact[g] == best]
        if exact[guesses[0]] != best:
            self.disagreements.append((guesses[0], winners))
        return winners, len(winners) > 1, len(winners) == 1, False

    def judge(self, sample, guesses):
        pair = sample.pair
        answer, exact_tie, near_tie, fallback = self.answer(guesses, sample.data)
        truth = decode.decoder_for(pair.charset, self.manifest).decode(sample.data)
        charset_ok = [decode.decoder_for(g.charset, self.manifest).decode(sample.data) == truth
                      for g in answer]
        language_ok = [g.tag == pair.tag for g in answer]
        return Result(pair.tag, pair.charset, sample.length, sample.index, len(sample.data),
                      tuple((g.charset, g.tag) for g in answer), (guesses[0].charset, guesses[0].tag),
                      all(charset_ok), all(language_ok),
                      all(c and l for c, l in zip(charset_ok, language_ok)),
                      exact_tie, near_tie, fallback)


def all_samples(manifest=modelset.MANIFEST, classes=samples.CLASSES):
    result = []
    texts = {}
    for pair in modelset.all_pairs(manifest):
        if pair.tag not in texts:
            texts[pair.tag] = modelset.corpus.heldout_text(pair.tag)
        result.extend(samples.samples_for(pair, texts[pair.tag], classes, manifest))
    return result


def run(tool, models, sample_list, jobs=2, manifest=modelset.MANIFEST, progress=None):
    """Runs /detect on every sample; returns (results, judge).

    ``models``: a directory whose .dat files are copied into the working
    directory of the runs, or None to run in an empty directory, so that the
    tool uses the statistics files of its installation.
    """
    scratch = tempfile.mkdtemp(prefix="kesto-eval-")
    try:
        work = os.path.join(scratch, "run")
        texts = os.path.join(scratch, "samples")
        os.makedirs(work)
        os.makedirs(texts)
        if models is not None:
            for path in dat_index(models).values():
                shutil.copyfile(path, os.path.join(work, os.path.basename(path)))
            dat_files = dat_index(work)
        else:
            dat_files = dat_index(installed_share(tool))
        paths = []
        for number, sample in enumerate(sample_list):
            path = os.path.join(texts, f"{number:05d}.txt")
            with open(path, "wb") as handle:
                handle.write(sample.data)
            paths.append(path)

        def detect(path):
            result = subprocess.run([tool, "/detect", path], cwd=work, capture_output=True,
                                    check=False)
            if result.returncode != 0:
                raise RuntimeError(f"{tool} /detect {path}: exit {result.returncode}")
            return result.stdout.decode("utf-8", "replace")

        judge = Judge(dat_files, manifest)
        results = []
        with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
            for number, output in enumerate(pool.map(detect, paths)):
                results.append(judge.judge(sample_list[number], parse_report(output)))
                if progress and (number + 1) % 500 == 0:
                    progress(number + 1, len(paths))
        return results, judge
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def installed_share(tool):
    """<prefix>/share/kesto of an installed tool at <prefix>/bin/kestoanalyzer."""
    prefix = os.path.dirname(os.path.dirname(os.path.abspath(tool)))
    return os.path.join(prefix, "share", "kesto")
