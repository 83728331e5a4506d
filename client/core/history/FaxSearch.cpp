#include "FaxSearch.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestrel::faxSearch {
namespace {

// Between the parts of a key; nobody types it.
constexpr QChar Separator = u'\x1f';

// Lower case, accents away ("Società" and "SOCIETA" are one), blanks
// simplified.
QString folded(const QString& text)
{
    QString decomposed = text.simplified().toLower();
    bool plain = true;
    for (const QChar c : std::as_const(decomposed)) {
        if (c.unicode() >= 0x80) {
            plain = false;
            break;
        }
    }
    if (plain)
        return decomposed;
    decomposed = decomposed.normalized(QString::NormalizationForm_KD);
    decomposed.removeIf([](QChar c) { return c.category() == QChar::Mark_NonSpacing; });
    return decomposed;
}

QString digitsOf(const QString& text)
{
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9')
            digits += c;
    }
    return digits;
}

} // namespace

QString keyOf(const FaxRecord& record)
{
    return folded(record.name) + Separator + digitsOf(record.number) + Separator + folded(record.job);
}

QStringList keysOf(const QList<FaxRecord>& records)
{
    QStringList keys;
    keys.reserve(records.size());
    for (const FaxRecord& record : records)
        keys << keyOf(record);
    return keys;
}

Query queryOf(const QString& typed)
{
    Query query;
    query.text = folded(typed);
    const bool letters =
        std::any_of(query.text.cbegin(), query.text.cend(), [](QChar c) { return c.isLetter(); });
    if (!letters)
        query.digits = digitsOf(query.text);
    return query;
}

bool matches(const QString& key, const Query& query)
{
    if (query.isEmpty())
        return true;
    return key.contains(query.text) || (!query.digits.isEmpty() && key.contains(query.digits));
}

QList<bool> matchesOf(const QStringList& keys, const Query& query)
{
    QList<bool> found;
    found.reserve(keys.size());
    for (const QString& key : keys)
        found << matches(key, query);
    return found;
}

} // namespace kestrel::faxSearch
