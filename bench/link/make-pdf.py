#!/usr/bin/env python3
"""A valid one-page PDF of about SIZE bytes whose bulk is an image of random
samples: it does not compress, as the images in most PDFs do not.

    make-pdf.py FILE SIZE
"""
import os
import sys


def main():
    path, size = sys.argv[1], int(sys.argv[2])
    side = int(((size - 2000) / 3) ** 0.5)
    samples = os.urandom(side * side * 3)
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /XObject << /Im1 5 0 R >> >> "
        b"/Contents 4 0 R >>",
    ]
    content = b"q 595 0 0 842 0 0 cm /Im1 Do Q"
    objects.append(b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream")
    objects.append(b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB "
                   b"/BitsPerComponent 8 /Length %d >>\nstream\n" % (side, side, len(samples))
                   + samples + b"\nendstream")
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
