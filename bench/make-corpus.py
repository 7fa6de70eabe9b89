#!/usr/bin/python3
"""Writes the benchmark corpus, reproducibly (fixed seed), with pikepdf.

small/: N small documents of 1 to 3 pages with 0 to 5 small attachments each, some of them on
        page annotations, spread over a nested folder tree.
big/:   M documents with one large, compressible attachment each; big-raw/ holds each one's
        Flate data alone, for the zlib floor.
"""
import argparse
import hashlib
import os
import random
import zlib

import pikepdf
from pikepdf import Array, Dictionary, Name, String

WORDS = ("invoice total amount net gross tax rate customer supplier order line item quantity "
         "price currency date due payment account reference delivery address street city "
         "postcode country note remark").split()
MOD_DATE = "D:20240501100000Z"


def text_data(rng, size):
    out = []
    length = 0
    while length < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 12))) + "\n"
        out.append(line)
        length += len(line)
    return "".join(out).encode()[:size]


def file_spec(pdf, name, data, compressed=None, mime="text/plain"):
    stream = pikepdf.Stream(pdf, compressed if compressed is not None else zlib.compress(data))
    stream.Filter = Name.FlateDecode
    stream.Type = Name.EmbeddedFile
    stream.Subtype = Name("/" + mime)
    stream.Params = Dictionary(Size=len(data), ModDate=String(MOD_DATE),
                               CheckSum=String(hashlib.md5(data).digest()))
    return pdf.make_indirect(Dictionary(Type=Name.Filespec, F=String(name), UF=String(name),
                                        EF=Dictionary(F=stream)))


def new_pdf(pages):
    pdf = pikepdf.new()
    for _ in range(pages):
        pdf.add_blank_page(page_size=(595, 842))
    return pdf


def attach(pdf, entries):
    """entries: (name, filespec, page or 0). Name-tree entries go into one sorted flat tree."""
    tree = []
    for name, spec, page in entries:
        if page:
            annot = pdf.make_indirect(Dictionary(Type=Name.Annot, Subtype=Name.FileAttachment,
                                                 Rect=Array([20, 20, 40, 40]), FS=spec,
                                                 Contents=String(name)))
            page_obj = pdf.pages[page - 1].obj
            if "/Annots" not in page_obj:
                page_obj.Annots = Array()
            page_obj.Annots.append(annot)
        else:
            tree.append((name, spec))
    if tree:
        tree.sort(key=lambda item: item[0])
        names = Array()
        for name, spec in tree:
            names.append(String(name))
            names.append(spec)
        pdf.Root.Names = Dictionary(EmbeddedFiles=Dictionary(Names=names))


def save(pdf, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    pdf.save(path, static_id=True, stream_decode_level=pikepdf.StreamDecodeLevel.none,
             compress_streams=False)


def small_corpus(root, count, rng):
    attachments = 0
    for i in range(count):
        depth = rng.choice([0, 1, 1, 2, 2, 3])
        parts = ["small"] + ["%s%d" % ("abcd"[level], rng.randint(0, 4)) for level in range(depth)]
        path = os.path.join(root, *parts, "doc%04d.pdf" % i)
        pages = rng.randint(1, 3)
        pdf = new_pdf(pages)
        entries = []
        for k in range(rng.randint(0, 5)):
            ext, mime = rng.choice([("txt", "text/plain"), ("xml", "text/xml"), ("csv", "text/csv")])
            name = "file%d-%04d.%s" % (k, rng.randint(0, 9999), ext)
            data = text_data(rng, rng.randint(200, 8000))
            page = rng.randint(1, pages) if rng.random() < 0.3 else 0
            entries.append((name, file_spec(pdf, name, data, mime=mime), page))
        attach(pdf, entries)
        save(pdf, path)
        attachments += len(entries)
    return attachments


def big_corpus(root, count, megabytes, rng):
    block = text_data(rng, 1 << 20)
    os.makedirs(os.path.join(root, "big-raw"), exist_ok=True)
    for i in range(count):
        # Each megabyte differs in its first line, so no two documents are alike.
        data = b"".join(b"block %d of document %d\n" % (m, i) + block for m in range(megabytes))
        compressed = zlib.compress(data, 6)
        with open(os.path.join(root, "big-raw", "big%d.zz" % i), "wb") as raw:
            raw.write(compressed)
        pdf = new_pdf(1)
        name = "big%d-data.txt" % i
        attach(pdf, [(name, file_spec(pdf, name, data, compressed), 0)])
        save(pdf, os.path.join(root, "big", "big%d.pdf" % i))
        del data, compressed


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("root")
    parser.add_argument("--documents", type=int, default=2000)
    parser.add_argument("--big", type=int, default=5)
    parser.add_argument("--big-mb", type=int, default=100)
    parser.add_argument("--seed", type=int, default=20240501)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    attachments = small_corpus(args.root, args.documents, rng)
    big_corpus(args.root, args.big, args.big_mb, rng)
    print("corpus: %d small documents with %d attachments, %d x %d MB" %
          (args.documents, attachments, args.big, args.big_mb))


if __name__ == "__main__":
    main()
