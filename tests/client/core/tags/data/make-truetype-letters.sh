#!/usr/bin/env bash
# Writes truetype-letters.pdf: two one-page letters as the word processor
# prints plain text, in its default TrueType font (DejaVu Sans Mono), each
# with its tag in the text. CUPS's PostScript of such fonts loses their
# text unless the queue renders PDF with Cairo. Needs LibreOffice (soffice)
# and poppler's pdfunite; the suite uses the PDF kept beside this script.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'Spett.le Rossi Srl\n@@FAX:06 123 4501|Rossi Srl@@\nLettera 1: offerta di fornitura.\n' >"$work/lettera1.txt"
printf "Spett.le Bianchi & Figli\n@@FAX:(02) 555-1234|Bianchi & Figli@@\nLettera 2: conferma d'ordine.\n" >"$work/lettera2.txt"
(cd "$work" && soffice -env:UserInstallation="file://$work/profile" --headless --convert-to pdf lettera1.txt lettera2.txt >/dev/null)
pdfunite "$work/lettera1.pdf" "$work/lettera2.pdf" "$here/truetype-letters.pdf"
