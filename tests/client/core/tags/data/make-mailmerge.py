#!/usr/bin/env python3
"""Writes mailmerge.ps and mailmerge.pdf: 20 letters of a mail merge, one or
two pages each, the first page of each naming its destination with a tag
"@@FAX:number|name@@" in a different font and size. Each page says which
letter and page it is ("Lettera 7 pagina 2 di 2"), so a split can be checked
page by page. Needs Ghostscript (ps2pdf) for the PDF.

Usage: make-mailmerge.py [FOLDER] [LETTERS] [--pages-per-letter N]
"""
import os
import subprocess
import sys

FONTS = ["Helvetica", "Times-Roman", "Courier", "Helvetica-Bold", "Times-Italic"]


def ps_string(text):
    return "(" + text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") + ")"


def number(letter):
    # Dressed as people write numbers: blanks, brackets, dashes, dots, "+".
    styles = ["06 123 45{:02d}", "+39 (06) 123-45{:02d}", "06.123.45.{:02d}", "06/12345{:02d}",
              "[06] 12345{:02d}"]
    return styles[letter % len(styles)].format(letter)


def digits(letter):
    text = number(letter).replace("+", "00")
    return "".join(c for c in text if c.isdigit())


def pages_of(letter, fixed):
    if fixed:
        return fixed
    return 2 if letter % 3 == 0 else 1


def write(folder, letters, fixed=None):
    ps = os.path.join(folder, "mailmerge.ps")
    lines = ["%!PS-Adobe-3.0", "%%Pages: (atend)", "%%EndComments"]
    page = 0
    for letter in range(1, letters + 1):
        count = pages_of(letter, fixed)
        for k in range(1, count + 1):
            page += 1
            lines.append("%%Page: {0} {0}".format(page))
            lines.append("/Helvetica findfont 11 scalefont setfont")
            lines.append("72 760 moveto " + ps_string("Lettera {} pagina {} di {}".format(letter, k, count)) + " show")
            if k == 1:
                font = FONTS[letter % len(FONTS)]
                size = 6 + (letter * 3) % 15
                tag = "@@FAX:{}|Cliente {}@@".format(number(letter), letter)
                lines.append("/{} findfont {} scalefont setfont".format(font, size))
                lines.append("72 700 moveto " + ps_string(tag) + " show")
            lines.append("/Times-Roman findfont 12 scalefont setfont")
            lines.append("72 640 moveto " + ps_string("Gentile cliente, le scriviamo in merito alla sua pratica.") + " show")
            lines.append("showpage")
    lines += ["%%Trailer", "%%Pages: {}".format(page), "%%EOF", ""]
    with open(ps, "w") as out:
        out.write("\n".join(lines))
    subprocess.run(["ps2pdf", ps, os.path.join(folder, "mailmerge.pdf")], check=True)
    return page


if __name__ == "__main__":
    import argparse

    parser = argparse.ArgumentParser(description="Writes a tagged mail merge as PostScript and PDF.")
    parser.add_argument("folder", nargs="?", default=os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("letters", nargs="?", type=int, default=20)
    parser.add_argument("--pages-per-letter", type=int, default=None)
    args = parser.parse_args()
    print(write(args.folder, args.letters, args.pages_per_letter))
