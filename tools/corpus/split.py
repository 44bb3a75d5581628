"""Fixed division of every corpus file into a training part and a held-out part.

Rule: counting the lines of a file from 1, every 10th line (line 10, 20, 30,
...) is held out; all other lines are training text.  The model build uses
training_part() only and the evaluation uses heldout_part() only, so no
held-out line is ever seen in training.  Each corpus file (declaration and
extra text alike) is split on its own, so both kinds of text appear on both
sides.  The rule depends on nothing but line positions: it is deterministic.
"""

HELD_OUT_EVERY = 10


def _lines(text):
    return text.splitlines()


def is_heldout(index):
    """Whether the line at 0-based ``index`` is held out."""
    return index % HELD_OUT_EVERY == HELD_OUT_EVERY - 1


def training_lines(text):
    return [line for i, line in enumerate(_lines(text)) if not is_heldout(i)]


def heldout_lines(text):
    return [line for i, line in enumerate(_lines(text)) if is_heldout(i)]


def training_part(text):
    """Training lines of ``text``, each ended by "\\n"."""
    return "".join(line + "\n" for line in training_lines(text))


def heldout_part(text):
    """Held-out lines of ``text``, each ended by "\\n"."""
    return "".join(line + "\n" for line in heldout_lines(text))
