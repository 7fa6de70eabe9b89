#!/usr/bin/python3
"""The zlib floor: inflates each raw Flate file given (the big attachments' stream data alone)
in 1 MB pieces and throws the result away. Nothing but zlib does any work."""
import sys
import zlib

total = 0
for path in sys.argv[1:]:
    inflater = zlib.decompressobj()
    with open(path, "rb") as raw:
        while True:
            piece = raw.read(1 << 20)
            if not piece:
                break
            total += len(inflater.decompress(piece))
    total += len(inflater.flush())
print("inflated bytes:", total, file=sys.stderr)
