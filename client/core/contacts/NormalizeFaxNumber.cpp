#include "NormalizeFaxNumber.h"

namespace kestrel {

QString NormalizeFaxNumber(const QString& text)
{
    // Removing every character outside "/" and "0"-"9" in one pass gives the
    // same text as removing each offending character's occurrences in turn,
    // and the blanks the trim would take are removed as well.
    QString result;
    result.reserve(text.size() + 2);
    for (const QChar c : text) {
        if (c == u'+')
            result += u"00";
        else if (c > u'.' && c < u':')
            result += c;
    }
    return result;
}

QString FaxNumberDigits(const QString& text)
{
    QString digits = NormalizeFaxNumber(text);
    digits.remove(u'/');
    return digits;
}

std::optional<QString> NumberFieldText(const QString& before, const QString& after, int* cursor)
{
    // The text put in lies between what the edit left alone at both ends.
    qsizetype prefix = 0;
    const qsizetype shorter = qMin(before.size(), after.size());
    while (prefix < shorter && before.at(prefix) == after.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before.at(before.size() - 1 - suffix) == after.at(after.size() - 1 - suffix))
        ++suffix;
    const QString inserted = after.mid(prefix, after.size() - prefix - suffix);
    if (!inserted.isEmpty() && FaxNumberDigits(inserted).isEmpty())
        return std::nullopt;
    if (cursor)
        *cursor = int(FaxNumberDigits(after.left(*cursor)).size());
    return FaxNumberDigits(after);
}

} // namespace kestrel
