"""Writes PDF syntax directly, for generators that need many documents fast."""


class RawPdf:
    """Objects added in order become objects 1, 2, ...; set(number, body) fills a placeholder."""

    def __init__(self):
        self.objects = []

    def add(self, body):
        self.objects.append(body)
        return len(self.objects)

    def set(self, number, body):
        self.objects[number - 1] = body

    def bytes(self, root, trailer_extra=b""):
        out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
        offsets = []
        for number, body in enumerate(self.objects, 1):
            offsets.append(len(out))
            out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
        xref = len(out)
        out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(self.objects) + 1)
        for offset in offsets:
            out += b"%010d 00000 n \n" % offset
        out += b"trailer\n<< /Size %d /Root %d 0 R %s>>\nstartxref\n%d\n%%%%EOF\n" % (
            len(self.objects) + 1, root, trailer_extra, xref)
        return bytes(out)
