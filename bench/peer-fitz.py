#!/usr/bin/python3
"""In-process peer on PyMuPDF: list or extract the attachments of every PDF under ROOT.

Covers the EmbeddedFiles name tree and file attachment annotations, in one process.
usage: peer-fitz.py list ROOT | peer-fitz.py extract ROOT OUT
"""
import os
import sys

import fitz


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
        doc = fitz.open(path)
        folder = None
        if out:
            folder = os.path.join(out, os.path.basename(path)[:-4])
            os.makedirs(folder, exist_ok=True)
        for name in doc.embfile_names():
            info = doc.embfile_info(name)
            count += 1
            if folder:
                with open(os.path.join(folder, os.path.basename(info["filename"])), "wb") as f:
                    f.write(doc.embfile_get(name))
            else:
                print(path, info["filename"], info["size"], info.get("modDate"))
        for page in doc:
            for annot in page.annots(types=[fitz.PDF_ANNOT_FILE_ATTACHMENT]):
                info = annot.file_info
                count += 1
                if folder:
                    with open(os.path.join(folder, os.path.basename(info["filename"])), "wb") as f:
                        f.write(annot.get_file())
                else:
                    print(path, info["filename"], info["size"], page.number + 1)
        doc.close()
    print("attachments:", count, file=sys.stderr)


if __name__ == "__main__":
    main()
