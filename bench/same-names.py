#!/usr/bin/env python3
"""Writes a PDF whose N attachments all carry one name, to show that the clash rule
("same.txt", "same (2).txt", ...) costs linear time:

    bench/same-names.sh [N]   (default 200000; also runs N/10 for the ratio)

The document is written as plain PDF syntax: a two-level EmbeddedFiles name tree with 1,000
leaves per kid, one tiny uncompressed stream per attachment."""
import sys

from rawpdf import RawPdf

def main(path, count):
    pdf = RawPdf()
    catalog = pdf.add(None)
    pages = pdf.add(b"<< /Type /Pages /Kids [] /Count 0 >>")
    kids = []
    for start in range(0, count, 1000):
        names = []
        for i in range(start, min(start + 1000, count)):
            data = b"attachment %d\n" % i
            stream = pdf.add(b"<< /Type /EmbeddedFile /Length %d >>\nstream\n%s\nendstream" % (len(data), data))
            spec = pdf.add(b"<< /Type /Filespec /F (same.txt) /UF (same.txt) /EF << /F %d 0 R >> >>" % stream)
            names.append(b"(k%09d) %d 0 R" % (i, spec))
        first, last = start, min(start + 1000, count) - 1
        kids.append(pdf.add(b"<< /Names [%s] /Limits [(k%09d) (k%09d)] >>" % (b" ".join(names), first, last)))
    root = pdf.add(b"<< /Kids [%s] >>" % b" ".join(b"%d 0 R" % k for k in kids))
    pdf.set(catalog, b"<< /Type /Catalog /Pages %d 0 R /Names << /EmbeddedFiles %d 0 R >> >>" % (pages, root))
    with open(path, "wb") as f:
        f.write(pdf.bytes(catalog))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
