#!/usr/bin/python3
"""In-process peer on pikepdf: list or extract the attachments of every PDF under ROOT.

Covers the EmbeddedFiles name tree and file attachment annotations, in one process.
usage: peer-pikepdf.py list ROOT | peer-pikepdf.py extract ROOT OUT
"""
import os
import sys

import pikepdf


def documents(root):
    for folder, _, files in os.walk(root):
        for name in files:
            if name.strip().lower().endswith(".pdf"):
                yield os.path.join(folder, name)


def main():
    mode, root = sys.argv[1], sys.argv[2]
    out = sys.argv[3] if mode == "extract" else None
    count = 0
    for path in documents(root):
        with pikepdf.open(path) as pdf:
            folder = None
            if out:
                folder = os.path.join(out, os.path.basename(path)[:-4])
                os.makedirs(folder, exist_ok=True)
            specs = [(spec.filename, spec.obj) for spec in pdf.attachments.values()]
            for number, page in enumerate(pdf.pages, 1):
                for annot in page.obj.get("/Annots", []):
                    if annot.get("/Subtype") == "/FileAttachment" and "/EF" in annot.FS:
                        specs.append((str(annot.FS.get("/UF", annot.FS.get("/F"))), annot.FS))
            for name, spec in specs:
                count += 1
                stream = spec.EF.F
                if folder:
                    with open(os.path.join(folder, os.path.basename(name)), "wb") as f:
                        f.write(stream.read_bytes())
                else:
                    params = stream.get("/Params", {})
                    print(path, name, params.get("/Size"), params.get("/ModDate"))
    print("attachments:", count, file=sys.stderr)


if __name__ == "__main__":
    main()
