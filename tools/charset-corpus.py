#!/usr/bin/env python3
"""Writes pages that declare no encoding, in the encodings of many languages.

Their text is real: the browser's own translated messages (the .pak files of
Qt WebEngine's locales). Each page holds a random number of messages, so
that short and long pages both occur. Run tools/compare-fetchers.py over the
folder to measure how often the direct fetch reads such a page as the
browser does:

    tools/charset-corpus.py /tmp/charsets && \\
        tools/compare-fetchers.py --run build/src/cli/kelvane-run --out /tmp/cmp-charsets /tmp/charsets

Page names are LANGUAGE.ENCODING.N.html.
"""
import os
import random
import struct
import sys

PAKS = "/usr/share/qt6/translations/qtwebengine_locales"

# (locale, encodings its pages are written in)
CORPUS = [
    ("ja", ["shift_jis", "euc_jp", "iso2022_jp", "utf-8", "utf-16-be", "utf-16-le"]),
    ("zh-CN", ["gbk"]),
    ("zh-TW", ["big5"]),
    ("ko", ["euc_kr"]),
    ("pl", ["cp1250", "iso8859_2"]),
    ("cs", ["cp1250", "iso8859_2"]),
    ("hu", ["cp1250"]),
    ("de", ["cp1252"]),
    ("fr", ["cp1252"]),
    ("es", ["cp1252"]),
    ("ru", ["cp1251", "koi8_r"]),
    ("el", ["cp1253"]),
    ("tr", ["cp1254"]),
    ("he", ["cp1255"]),
    ("ar", ["cp1256"]),
]
PAGES_EACH = 4


def messages(locale):
    data = open(os.path.join(PAKS, locale + ".pak"), "rb").read()
    count = struct.unpack("<H", data[8:10])[0]
    entries = [struct.unpack("<HI", data[12 + i * 6:18 + i * 6]) for i in range(count + 1)]
    texts = []
    for i in range(count):
        text = data[entries[i][1]:entries[i + 1][1]].decode("utf-8", "ignore")
        if len(text) > 8 and "<" not in text and "&" not in text:
            texts.append(text)
    return texts


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rng = random.Random(16)
    for locale, encodings in CORPUS:
        texts = messages(locale)
        for encoding in encodings:
            for n in range(PAGES_EACH):
                chosen = rng.sample(texts, rng.choice([2, 5, 15, 40]))
                body = "\n".join("<p>%s</p>" % t for t in chosen)
                page = ("<!DOCTYPE html>\n<html><head><title>%s</title></head>\n<body>\n%s\n</body></html>\n"
                        % (chosen[0][:20], body))
                name = "%s.%s.%d.html" % (locale, encoding, n)
                with open(os.path.join(out, name), "wb") as f:
                    f.write(page.encode(encoding, "replace"))


if __name__ == "__main__":
    main()
