#!/usr/bin/env python3
"""Writes writer-mailmerge.pdf: a mail merge made with LibreOffice Writer.

The letter writer-letter.fodt is filled once per row of
writer-mailmerge.csv ("fax;nome;condizioni"), as Writer's own mail merge
would: the letters follow one another in one flat document, each starting
a new page whose numbers start again at 1, and the "condizioni" section
is kept only where the row says "si" (a second page). The document is then
made a PDF by Writer itself (soffice --headless --convert-to pdf).

Each page's header reads "Lettera N pagina K"; the first page of letter N
carries its tag "@@FAX:fax|nome@@" in white 2 pt text after the recipient.

Needs LibreOffice Writer (libreoffice-writer-nogui) and the URW fonts
(fonts-urw-base35, with Ghostscript): Type 1 fonts, whose text survives
CUPS making the print PostScript, where a TrueType font's does not;
the test suite only reads the PDF kept beside this script.

Usage: make-writer-mailmerge.py [OUTPUT.pdf]
"""
import csv
import os
import re
import shutil
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))


def merge(template, rows):
    head, rest = template.split("<office:text>", 1)
    body, tail = rest.split("</office:text>", 1)
    section = re.compile(r'\s*<text:section text:name="condizioni">.*?</text:section>', re.S)
    letters = []
    for number, row in enumerate(rows, 1):
        letter = body if row["condizioni"] == "si" else section.sub("", body)
        fields = {"lettera": str(number), "fax": row["fax"], "nome": row["nome"]}
        letters.append(re.sub("«(\\w+)»", lambda m: escape(fields[m.group(1)]), letter))
    return head + "<office:text>" + "".join(letters) + "</office:text>" + tail


def main():
    output = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "writer-mailmerge.pdf"))
    with open(os.path.join(HERE, "writer-letter.fodt"), encoding="utf-8") as f:
        template = f.read()
    with open(os.path.join(HERE, "writer-mailmerge.csv"), encoding="utf-8", newline="") as f:
        rows = list(csv.DictReader(f, delimiter=";"))
    with tempfile.TemporaryDirectory() as work:
        document = os.path.join(work, "writer-mailmerge.fodt")
        with open(document, "w", encoding="utf-8") as f:
            f.write(merge(template, rows))
        # A private profile: the user's settings change nothing.
        subprocess.run(["soffice", "-env:UserInstallation=file://" + os.path.join(work, "profile"), "--headless",
                        "--convert-to", "pdf", "--outdir", work, document], check=True, stdout=subprocess.DEVNULL)
        shutil.copyfile(os.path.join(work, "writer-mailmerge.pdf"), output)
    print(output)


if __name__ == "__main__":
    main()
