#pragma once

#include "FaxRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel::faxSearch {

// Finding a fax of the history by what the user remembers of it: a part of
// the name (case and accents aside), of the number (its digits, however
// either is written: "06 123-45" finds 0612345) or of the job number.
//
// Each fax has a key, made once: the name folded, the number's digits and
// the job number, apart, so that a query never matches across two of them.

// A fax's key.
QString keyOf(const FaxRecord& record);
// The keys of faxes, in their order.
QStringList keysOf(const QList<FaxRecord>& records);

// What the user typed, as keys are searched for it.
struct Query
{
    QString text;   // folded as names are
    QString digits; // its digits, when it has no letters: it may be a number

    // An empty query finds every fax.
    bool isEmpty() const { return text.isEmpty(); }
};
Query queryOf(const QString& typed);

bool matches(const QString& key, const Query& query);
// For each key, whether the query finds it.
QList<bool> matchesOf(const QStringList& keys, const Query& query);

} // namespace kestrel::faxSearch
