"""Access to the committed corpus: data/corpus/<tag>.txt and data/corpus/extra/<tag>.txt."""

import os

import split

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
CORPUS_DIR = os.path.join(ROOT, "data", "corpus")


def files(tag, corpus_dir=CORPUS_DIR):
    """The corpus files of a language, declaration first."""
    name = tag.lower() + ".txt"
    paths = [os.path.join(corpus_dir, name), os.path.join(corpus_dir, "extra", name)]
    return [p for p in paths if os.path.exists(p)]


def _read(path):
    with open(path, encoding="utf-8") as handle:
        return handle.read()


def training_text(tag, corpus_dir=CORPUS_DIR):
    """All training text of a language (each file split on its own)."""
    return "".join(split.training_part(_read(p)) for p in files(tag, corpus_dir))


def heldout_text(tag, corpus_dir=CORPUS_DIR):
    """All held-out text of a language."""
    return "".join(split.heldout_part(_read(p)) for p in files(tag, corpus_dir))
