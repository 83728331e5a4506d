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

QString ContactStatements::deletion(qint64 rowid)
{
    return u"DELETE FROM  anagrafica WHERE rowid ="_s + QString::number(rowid);
}

QString ContactStatements::literal(const QString& value)
{
    QString quoted = value;
    quoted.replace(u'\'', u"''"_s);
    return u'\'' + quoted + u'\'';
}

} // namespace kestrel
