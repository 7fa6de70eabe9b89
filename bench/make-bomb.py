#!/usr/bin/env python3
"""Writes a document with one Flate attachment that decodes to GIGABYTES GiB of zeros (default 10)
from about a thousandth of that, compressed as it goes: bench/bomb.sh checks that extraction stops
it with little memory and leaves nothing behind.
   make-bomb.py OUTPUT.pdf [GIGABYTES]"""
import sys
import zlib

sys.path.insert(0, __import__("os").path.dirname(__file__))
from rawpdf import RawPdf  # noqa: E402

path = sys.argv[1]
gigabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 10
compressor = zlib.compressobj(9)
chunk = bytes(1 << 24)
data = bytearray()
for _ in range(gigabytes * 64):
    data += compressor.compress(chunk)
data += compressor.flush()

pdf = RawPdf()
stream = pdf.add(b"<< /Type /EmbeddedFile /Filter /FlateDecode /Length %d >>\nstream\n%s\nendstream"
                 % (len(data), bytes(data)))
spec = pdf.add(b"<< /Type /Filespec /F (zeros.bin) /UF (zeros.bin) /EF << /F %d 0 R >> >>" % stream)
names = pdf.add(b"<< /Names [(zeros.bin) %d 0 R] >>" % spec)
pages = pdf.add(b"<< /Type /Pages /Kids [] /Count 0 >>")
root = pdf.add(b"<< /Type /Catalog /Pages %d 0 R /Names << /EmbeddedFiles %d 0 R >> >>" % (pages, names))
with open(path, "wb") as out:
    out.write(pdf.bytes(root))
