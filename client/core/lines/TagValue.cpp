#include "TagValue.h"

namespace kestrel {

QString TagValue(const QString& tag, QChar delimiter, const QString& text)
{
    if (text.size() > TagValueMaxText)
        return {};
    const qsizetype at = text.indexOf(tag);
    if (at < 0)
        return {};
    const qsizetype from = at + tag.size();
    const qsizetype end = text.indexOf(delimiter, from);
    return text.mid(from, end < 0 ? -1 : end - from);
}

} // namespace kestrel
