#!/usr/bin/python3
"""Cuts each corpus document at several shares of its length and counts the attachments that come
back byte-exact (against the whole document's), for PyMuPDF's embfile_get and for ours, and the
files of ours that hold other bytes.

usage: truncation.py CORPUS OURS...   (OURS: a command run as `OURS... OUT FILE.pdf` that leaves the
attachments as files under OUT)
"""
import collections
import hashlib
import os
import subprocess
import sys
import tempfile

import fitz

CUTS = (50, 75, 90, 97)


def digests(folder):
    found = collections.Counter()
    for root, _, files in os.walk(folder):
        for name in files:
            if name.endswith(".json") or name.endswith(".csv"):
                continue
            with open(os.path.join(root, name), "rb") as f:
                found[hashlib.sha256(f.read()).hexdigest()] += 1
    return found


def ours(command, path, scratch):
    out = tempfile.mkdtemp(dir=scratch)
    subprocess.run(command + [out, path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=120)
    return digests(out)


def pymupdf(data):
    found = collections.Counter()
    try:
        doc = fitz.open(stream=data, filetype="pdf")
        for i in range(doc.embfile_count()):
            try:
                found[hashlib.sha256(doc.embfile_get(i)).hexdigest()] += 1
            except Exception:
                pass
    except Exception:
        pass
    return found


def main():
    corpus, command = sys.argv[1], sys.argv[2:]
    fitz.TOOLS.mupdf_display_errors(False)
    rows = {cut: collections.Counter() for cut in CUTS}
    with tempfile.TemporaryDirectory() as scratch:
        for name in sorted(os.listdir(corpus)):
            if not name.lower().endswith(".pdf"):
                continue
            path = os.path.join(corpus, name)
            data = open(path, "rb").read()
            reference = pymupdf(data) | ours(command, path, scratch)
            known = set(reference)  # whatever the whole document holds, unlisted files included
            for cut in CUTS:
                cut_path = os.path.join(scratch, "cut.pdf")
                with open(cut_path, "wb") as f:
                    f.write(data[: len(data) * cut // 100])
                theirs = pymupdf(data[: len(data) * cut // 100])
                mine = ours(command, cut_path, scratch)
                row = rows[cut]
                row["attachments"] += sum(reference.values())
                row["pymupdf"] += sum((theirs & reference).values())
                row["ours"] += sum((mine & reference).values())
                wrong = sum(n for digest, n in mine.items() if digest not in known)
                row["wrong"] += wrong
                if wrong and os.environ.get("VERBOSE"):
                    print(f"{name} at {cut}%: {wrong} wrong", file=sys.stderr)
    print("cut | attachments | PyMuPDF exact | ours exact | ours wrong")
    for cut in CUTS:
        row = rows[cut]
        print(f"{cut}% | {row['attachments']} | {row['pymupdf']} | {row['ours']} | {row['wrong']}")


if __name__ == "__main__":
    main()
