#!/usr/bin/env python3
"""Writes a document whose PAGES pages all share one /Resources dictionary of FORMS form
XObjects, the last of which holds an associated file (/AF): the shape that made the search for
associated files grow with pages x forms instead of the document's size.

    make-shared-resources.py PATH [PAGES [FORMS]]     (default 20000 pages, 4000 forms)"""
import sys

from rawpdf import RawPdf


def write(path, pages, forms):
    pdf = RawPdf()
    catalog = pdf.add(None)
    tree = pdf.add(None)
    data = b"an associated file of the last form\n"
    stream = pdf.add(b"<< /Type /EmbeddedFile /Length %d /Params << /Size %d >> >>\nstream\n%s\nendstream"
                     % (len(data), len(data), data))
    spec = pdf.add(b"<< /Type /Filespec /F (af.txt) /UF (af.txt) /AFRelationship /Data /EF << /F %d 0 R >> >>" % stream)
    entries = []
    for i in range(forms):
        extra = b" /AF [%d 0 R]" % spec if i == forms - 1 else b""
        form = pdf.add(b"<< /Type /XObject /Subtype /Form /BBox [0 0 10 10]%s /Length 0 >>\nstream\n\nendstream" % extra)
        entries.append(b"/X%d %d 0 R" % (i, form))
    xobjects = pdf.add(b"<< %s >>" % b" ".join(entries))
    resources = pdf.add(b"<< /XObject %d 0 R >>" % xobjects)
    content = pdf.add(b"<< /Length 0 >>\nstream\n\nendstream")
    kids = [pdf.add(b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 10 10] /Resources %d 0 R /Contents %d 0 R >>"
                    % (tree, resources, content)) for _ in range(pages)]
    pdf.set(tree, b"<< /Type /Pages /Count %d /Kids [%s] >>" % (pages, b" ".join(b"%d 0 R" % k for k in kids)))
    pdf.set(catalog, b"<< /Type /Catalog /Pages %d 0 R >>" % tree)
    with open(path, "wb") as f:
        f.write(pdf.bytes(catalog))


if __name__ == "__main__":
    write(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 20000,
          int(sys.argv[3]) if len(sys.argv) > 3 else 4000)
