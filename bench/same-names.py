#!/usr/bin/env python3
"""Writes a PDF whose N attachments all carry one name, to show that the clash rule
("same.txt", "same (2).txt", ...) costs linear time:

    bench/same-names.sh [N]   (default 200000; also runs N/10 for the ratio)

The document is written as plain PDF syntax: a two-level EmbeddedFiles name tree with 1,000
leaves per kid, one tiny uncompressed stream per attachment."""
import sys

def main(path, count):
    objects = []  # 1-based object bodies

    def add(body):
        objects.append(body)
        return len(objects)

    catalog = add(None)
    pages = add(b"<< /Type /Pages /Kids [] /Count 0 >>")
    kids = []
    for start in range(0, count, 1000):
        names = []
        for i in range(start, min(start + 1000, count)):
            data = b"attachment %d\n" % i
            stream = add(b"<< /Type /EmbeddedFile /Length %d >>\nstream\n%s\nendstream" % (len(data), data))
            spec = add(b"<< /Type /Filespec /F (same.txt) /UF (same.txt) /EF << /F %d 0 R >> >>" % stream)
            names.append(b"(k%09d) %d 0 R" % (i, spec))
        first, last = start, min(start + 1000, count) - 1
        kids.append(add(b"<< /Names [%s] /Limits [(k%09d) (k%09d)] >>" % (b" ".join(names), first, last)))
    root = add(b"<< /Kids [%s] >>" % b" ".join(b"%d 0 R" % k for k in kids))
    objects[catalog - 1] = b"<< /Type /Catalog /Pages %d 0 R /Names << /EmbeddedFiles %d 0 R >> >>" % (pages, root)

    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, catalog, xref)
    with open(path, "wb") as f:
        f.write(out)

if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
