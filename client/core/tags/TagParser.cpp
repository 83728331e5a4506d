#include "TagParser.h"

#include "ClientTexts.h"
#include "NormalizeFaxNumber.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace kestrel {

namespace {

// Between the opening marker and the closing "@@" at most this much text.
constexpr qsizetype MostTagText = 300;

bool isDroppedInNumber(QChar c)
{
    if (c.isSpace())
        return true;
    switch (c.unicode()) {
    case u'.':
    case u'-':
    case u'/':
    case u'(':
    case u')':
    case u'[':
    case u']':
    case 0x2010: // hyphens and dashes, as fonts map "-"
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2212: // minus sign
        return true;
    default:
        return false;
    }
}

// Ghostscript 10.0 gives each UTF-16 unit of a character mapped to several
// (a ligature as a PDF's ToUnicode maps it: "fi" to "f" "i") byte-swapped,
// "f" coming out as U+6600; and of three units, the last two summed in one
// ("ffi" as U+6600 U+CF00). Writer's PDFs set "ff", "fi", "ffi" as
// ligatures. Only pairs are taken back, so a lone CJK character stays.
// Ligatures read as such (U+FB00-U+FB06, through glyph names) become their
// letters.
QString readLigatures(QStringView text)
{
    const auto swapped = [](QChar c) {
        const char16_t u = c.unicode();
        return (u & 0xff) == 0 && (u >> 8) > 0x20 && (u >> 8) < 0x7f ? char16_t(u >> 8) : char16_t(0);
    };
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t first = swapped(text[i]);
        if (first && i + 1 < text.size()) {
            const char16_t u = text[i + 1].unicode();
            if (const char16_t second = swapped(text[i + 1])) {
                kept += QChar(first);
                kept += QChar(second);
                ++i;
                continue;
            }
            // "ffi", "ffl": the second "f" and the last letter summed.
            const int last = (u >> 8) - u'f';
            if (first == u'f' && (u & 0xff) == 0 && (u >> 8) >= 0x80 && last >= u'a' && last <= u'z') {
                kept += u"ff"_s;
                kept += QChar(char16_t(last));
                ++i;
                continue;
            }
        }
        if (text[i].unicode() >= 0xfb00 && text[i].unicode() <= 0xfb06) {
            kept += text.mid(i, 1).toString().normalized(QString::NormalizationForm_KC);
            continue;
        }
        kept += text[i];
    }
    return kept;
}

struct Tag
{
    QString number;
    QString name;
};

// A tag's text between "@@FAX:" and "@@": its destination, or why not.
QString readTag(QStringView tagText, int page, Tag& tag)
{
    const QString repaired = readLigatures(tagText);
    const QStringView text(repaired);
    const qsizetype bar = text.indexOf(u'|');
    const QStringView number = bar < 0 ? text : text.left(bar);
    QString kept;
    for (const QChar c : number) {
        if (c == u'+' || (c >= u'0' && c <= u'9'))
            kept += c;
        else if (!isDroppedInNumber(c))
            return texts::tags::badNumber(page, number.toString().simplified());
    }
    tag.number = FaxNumberDigits(kept);
    if (tag.number.isEmpty())
        return texts::tags::noDigits(page);
    if (tag.number.size() > MostTagNumberDigits)
        return texts::tags::numberTooLong(page, MostTagNumberDigits);
    if (bar >= 0)
        tag.name = text.mid(bar + 1).toString().simplified();
    return {};
}

} // namespace

PageTags readPageTags(QStringView text, int page)
{
    // One per thread: pages are read off the caller's thread.
    static thread_local const QRegularExpression opening(u"@\\s*@\\s*F\\s*A\\s*X\\s*:"_s,
                                                         QRegularExpression::CaseInsensitiveOption);
    static thread_local const QRegularExpression closing(u"@\\s*@"_s);
    PageTags found;
    // Glyphs Ghostscript finds no text for come out as their codes in the
    // font, mostly control characters: the text of a TrueType font once
    // CUPS made the print PostScript.
    for (const QChar c : text) {
        if (!c.isSpace())
            found.hasText = true;
        if (c.unicode() < 0x20 && !c.isSpace()) {
            found.unreadable = true;
            break;
        }
    }
    qsizetype from = 0;
    while (true) {
        const QRegularExpressionMatch open = opening.match(text, from);
        if (!open.hasMatch())
            break;
        const qsizetype start = open.capturedEnd();
        const QRegularExpressionMatch close = closing.match(text.left(start + MostTagText), start);
        if (!close.hasMatch()) {
            found.problem = texts::tags::unclosedTag(page);
            return found;
        }
        from = close.capturedEnd();
        Tag tag;
        if (QString problem = readTag(text.mid(start, close.capturedStart() - start), page, tag);
            !problem.isEmpty()) {
            found.problem = problem;
            return found;
        }
        if (found.number.isEmpty()) {
            found.number = tag.number;
            found.name = tag.name;
            continue;
        }
        const bool sameName = tag.name.isEmpty() || found.name.isEmpty() || tag.name == found.name;
        if (tag.number != found.number || !sameName) {
            const auto shown = [](const QString& number, const QString& name) {
                return name.isEmpty() ? number : number + u' ' + name;
            };
            found.problem = texts::tags::twoDestinations(page, shown(found.number, found.name),
                                                         shown(tag.number, tag.name));
            return found;
        }
        if (found.name.isEmpty())
            found.name = tag.name;
    }
    return found;
}

TagReading gatherLetters(const QList<PageTags>& pages, bool dropCommonPages)
{
    TagReading reading;
    reading.pages = int(pages.size());
    const bool tagged = std::any_of(pages.cbegin(), pages.cend(), [](const PageTags& page) {
        return !page.number.isEmpty() || !page.problem.isEmpty();
    });
    if (!tagged)
        return reading;
    const auto refuse = [&reading](const QString& problem) {
        reading.outcome = TagReading::Outcome::Refused;
        reading.letters.clear();
        reading.commonPages = 0;
        reading.problem = texts::tags::refused(problem);
        return reading;
    };
    for (int index = 0; index < pages.size(); ++index) {
        const PageTags& page = pages.at(index);
        const int number = index + 1;
        if (!page.problem.isEmpty())
            return refuse(page.problem);
        if (page.number.isEmpty() && !page.hasText)
            return refuse(texts::tags::noText(number));
        if (page.number.isEmpty() && page.unreadable)
            return refuse(texts::tags::unreadableText(number));
        if (page.number.isEmpty()) {
            if (reading.letters.isEmpty())
                reading.commonPages = number;
            else
                reading.letters.last().lastPage = number;
            continue;
        }
        if (reading.letters.size() == MostTaggedLetters)
            return refuse(texts::tags::tooManyLetters(number, MostTaggedLetters));
        TaggedLetter letter;
        letter.number = page.number;
        letter.name = page.name;
        letter.firstPage = letter.lastPage = number;
        reading.letters << letter;
    }
    for (TaggedLetter& letter : reading.letters) {
        letter.documentPages =
            letter.lastPage - letter.firstPage + 1 + (dropCommonPages ? 0 : reading.commonPages);
    }
    reading.outcome = TagReading::Outcome::Tagged;
    return reading;
}

TagReading readPrintTags(const QStringList& pageTexts, bool dropCommonPages)
{
    QList<PageTags> pages;
    pages.reserve(pageTexts.size());
    for (qsizetype index = 0; index < pageTexts.size(); ++index)
        pages << readPageTags(pageTexts.at(index), int(index + 1));
    return gatherLetters(pages, dropCommonPages);
}

} // namespace kestrel
