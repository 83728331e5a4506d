#include "QtFileFilter.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

QStringList patternsOf(const QString& text)
{
    QStringList patterns;
    for (const QString& part : text.split(u';', Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        if (pattern.isEmpty())
            continue;
        // Everywhere but in Qt's dialog "*.*" means every file, with or
        // without an extension.
        patterns.append(pattern == u"*.*"_s ? u"*"_s : pattern);
    }
    return patterns;
}

// "Documento PDF - PS (*.pdf;*.ps)" loses its "(*.pdf;*.ps)": Qt reads the
// patterns from the last parentheses and would take "*.pdf;*.ps" as one.
QString descriptionOf(const QString& text)
{
    QString description = text.trimmed();
    if (description.endsWith(u')')) {
        const qsizetype open = description.lastIndexOf(u'(');
        if (open >= 0 && (description.indexOf(u'*', open) >= 0 || description.indexOf(u'?', open) >= 0))
            description = description.left(open).trimmed();
    }
    return description;
}

} // namespace

QString qtFileFilter(const QString& classicFilter)
{
    const QStringList parts = classicFilter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = patternsOf(parts.at(i + 1));
        if (patterns.isEmpty())
            continue;
        QString description = descriptionOf(parts.at(i));
        if (description.isEmpty())
            description = patterns.join(u' ');
        entries.append(description + u" ("_s + patterns.join(u' ') + u')');
    }
    return entries.join(u";;"_s);
}

} // namespace kestrel
