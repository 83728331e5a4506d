#include "ContactStatements.h"

using namespace Qt::StringLiterals;

namespace kestrel {

QString ContactStatements::listing()
{
    return u"SELECT rowid,* FROM anagrafica ORDER BY gruppo,nome"_s;
}

QString ContactStatements::insertion(const ContactRow& row)
{
    return u"INSERT INTO anagrafica values("_s + literal(row.number) + u',' + literal(row.description) +
           u',' + literal(row.group) + u')';
}

SqlStatement ContactStatements::guardedDeletion(const ContactRow& listed)
{
    // Each column as the listing reads it, compared byte for byte (the
    // columns' own collation ignores case); an empty text binds as NULL.
    QString text = u"DELETE FROM  anagrafica WHERE rowid =?"_s;
    for (const char* column : {"fax", "nome", "gruppo"})
        text += u" AND IFNULL(CAST(%1 AS TEXT),'') =IFNULL(?,'')"_s.arg(QLatin1StringView(column));
    return {text, {listed.rowid, listed.number, listed.description, listed.group}};
}

QString ContactStatements::literal(const QString& value)
{
    QString quoted = value;
    quoted.replace(u'\'', u"''"_s);
    return u'\'' + quoted + u'\'';
}

} // namespace kestrel
