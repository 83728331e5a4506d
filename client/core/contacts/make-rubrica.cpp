// Build-time tool: writes the empty contact database that ships with the
// program. Usage: kestrel-make-rubrica OUTPUT
//
// Three text columns in the order the insertion statement fills them (it
// names no columns). TEXT keeps leading zeros and "+" of a number; NOCASE
// makes "bianchi" list next to "Bianchi" and lets a deletion match a number
// whatever its case, as users of the address book expect.

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int fail(const QString& what)
{
    std::fprintf(stderr, "kestrel-make-rubrica: %s\n", qPrintable(what));
    return 1;
}

bool create(const QString& path, QString* error)
{
    const QString name = u"make-rubrica"_s;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            ok = query.exec(u"CREATE TABLE anagrafica (fax TEXT COLLATE NOCASE, nome TEXT COLLATE NOCASE, "
                            u"gruppo TEXT COLLATE NOCASE)"_s);
            if (!ok)
                *error = query.lastError().text();
        } else {
            *error = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2)
        return fail(u"usage: kestrel-make-rubrica OUTPUT"_s);
    const QString& output = args.at(1);
    const QString partial = output + u".partial"_s;
    QFile::remove(partial);
    QString error;
    if (!create(partial, &error)) {
        QFile::remove(partial);
        return fail(error);
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output))
        return fail(u"cannot write "_s + output);
    return 0;
}
