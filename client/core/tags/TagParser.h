#pragma once

#include "PrintTags.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace kestrel {

// The longest number a tag may give, in digits after normalising. hfaxd
// takes any length; a modem is only bound to take a command line of 40
// characters, and an international number with its prefix has at most 17.
inline constexpr int MostTagNumberDigits = 40;
// Letters one print may open.
inline constexpr int MostTaggedLetters = 1000;
// The longest text of one page that is read.
inline constexpr qsizetype MostPageTextBytes = 16 * 1024 * 1024;

// What one page's text says about its destination.
struct PageTags
{
    bool hasText = false;    // anything but blanks
    bool unreadable = false; // characters without their text (control codes)
    QString number;          // the page's tag, normalised; empty: no tag
    QString name;
    QString problem; // a tag in doubt (Italian, naming the page)
};

// Reads the tags of one page (counted from 1): "@@FAX:number@@" or
// "@@FAX:number|name@@", "FAX" in any case, blanks allowed anywhere inside
// the markers (text extraction may break words apart). The number keeps only
// what the number box keeps; blanks, dots, dashes, slashes and brackets are
// dropped, any other character is refused. Tags repeating the same
// destination are one. Ligatures in a tag are read as their letters.
PageTags readPageTags(QStringView text, int page);

// Gathers the pages' tags into letters: each tagged page opens a letter that
// runs to the page before the next tagged page; the pages before the first
// tag are common. Refused at the first page in doubt (among them a page
// without a tag whose text is missing or holds unreadable characters: it
// may hold a tag); Untagged when no page has a tag. Documents are not set
// here.
TagReading gatherLetters(const QList<PageTags>& pages, bool dropCommonPages);

// Both steps on whole page texts.
TagReading readPrintTags(const QStringList& pageTexts, bool dropCommonPages);

} // namespace kestrel
