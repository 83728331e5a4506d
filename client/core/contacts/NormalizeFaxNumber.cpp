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

} // namespace kestrel
