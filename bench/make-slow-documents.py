#!/usr/bin/env python3
"""Writes documents that are slow to open or to extract, for the window's stall figures:
damaged.pdf (about 50 MB, its cross-reference table pointing nowhere, so that qpdf must rebuild
it by reading the whole file) and big.pdf (one 100 MB attachment of incompressible data).

    make-slow-documents.py FOLDER"""
import os
import random
import sys
import zlib

from rawpdf import RawPdf


def damaged(path):
    pdf = RawPdf()
    catalog = pdf.add(None)
    pages = pdf.add(b"<< /Type /Pages /Kids [] /Count 0 >>")
    rng = random.Random(1)
    names = []
    for i in range(50):  # 50 x 1 MB of padding streams
        data = rng.randbytes(1 << 20)
        stream = pdf.add(b"<< /Length %d >>\nstream\n%s\nendstream" % (len(data), data))
        if i < 3:
            data = b"attachment %d of a damaged document\n" % i
            embedded = pdf.add(b"<< /Type /EmbeddedFile /Length %d >>\nstream\n%s\nendstream" % (len(data), data))
            spec = pdf.add(b"<< /Type /Filespec /F (part-%d.txt) /EF << /F %d 0 R >> >>" % (i, embedded))
            names.append(b"(part-%d.txt) %d 0 R" % (i, spec))
    tree = pdf.add(b"<< /Names [%s] >>" % b" ".join(names))
    pdf.set(catalog, b"<< /Type /Catalog /Pages %d 0 R /Names << /EmbeddedFiles %d 0 R >> >>" % (pages, tree))
    body = pdf.bytes(catalog)
    cut = body.rfind(b"startxref")
    with open(path, "wb") as f:
        f.write(body[:cut] + b"startxref\n999999999\n%%EOF\n")


def big(path):
    data = random.Random(2).randbytes(100 << 20)
    packed = zlib.compress(data, 1)
    pdf = RawPdf()
    catalog = pdf.add(None)
    pages = pdf.add(b"<< /Type /Pages /Kids [] /Count 0 >>")
    stream = pdf.add(b"<< /Type /EmbeddedFile /Filter /FlateDecode /Length %d /Params << /Size %d >> >>\nstream\n%s\nendstream"
                     % (len(packed), len(data), packed))
    spec = pdf.add(b"<< /Type /Filespec /F (big.bin) /UF (big.bin) /EF << /F %d 0 R >> >>" % stream)
    tree = pdf.add(b"<< /Names [(big.bin) %d 0 R] >>" % spec)
    pdf.set(catalog, b"<< /Type /Catalog /Pages %d 0 R /Names << /EmbeddedFiles %d 0 R >> >>" % (pages, tree))
    with open(path, "wb") as f:
        f.write(pdf.bytes(catalog))


if __name__ == "__main__":
    os.makedirs(sys.argv[1], exist_ok=True)
    damaged(os.path.join(sys.argv[1], "damaged.pdf"))
    big(os.path.join(sys.argv[1], "big.pdf"))
