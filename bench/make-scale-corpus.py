#!/usr/bin/env python3
"""Writes COUNT small PDF documents with one to three Flate-compressed attachments each into
FOLDER (1,000 per subfolder), fast enough for 100,000 documents in about a minute: every
document is the same template with its own ID, names and attachment bytes, written as plain
PDF syntax. Seeded, so every run builds the same corpus.

    make-scale-corpus.py FOLDER COUNT"""
import os
import random
import sys
import zlib

from rawpdf import RawPdf


def document(number, rng):
    pdf = RawPdf()
    catalog = pdf.add(None)
    pages = pdf.add(b"<< /Type /Pages /Kids [] /Count 0 >>")
    names = []
    for k in range(rng.randint(1, 3)):
        data = (b"<invoice number=\"%d\" part=\"%d\">" % (number, k)) + b"%016x" % rng.getrandbits(64) * rng.randint(4, 40) + b"</invoice>\n"
        packed = zlib.compress(data, 6)
        stream = pdf.add(b"<< /Type /EmbeddedFile /Filter /FlateDecode /Length %d /Params << /Size %d >> >>\nstream\n%s\nendstream"
                         % (len(packed), len(data), packed))
        name = b"part-%d.xml" % k
        spec = pdf.add(b"<< /Type /Filespec /F (%s) /UF (%s) /EF << /F %d 0 R >> >>" % (name, name, stream))
        names.append(b"(%s) %d 0 R" % (name, spec))
    tree = pdf.add(b"<< /Names [%s] >>" % b" ".join(names))
    pdf.set(catalog, b"<< /Type /Catalog /Pages %d 0 R /Names << /EmbeddedFiles %d 0 R >> >>" % (pages, tree))
    ident = b"%032x" % number
    return pdf.bytes(catalog, b"/ID [<%s> <%s>] " % (ident, ident))


def main(folder, count):
    rng = random.Random(20261207)
    for number in range(count):
        sub = os.path.join(folder, "%03d" % (number // 1000))
        if number % 1000 == 0:
            os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, "doc-%06d.pdf" % number), "wb") as f:
            f.write(document(number, rng))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
