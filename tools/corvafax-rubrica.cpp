// corvafax-rubrica: moves a desk's address book into the office's shared one.
//
//   corvafax-rubrica import FILE URI
//
// Copies the contacts of the SQLite file FILE (a desk's rubrica.db) into the
// address book on the PostgreSQL server that URI names. A contact whose three
// texts the shared book already holds is skipped, as many times as it holds
// them: running the import twice adds nothing the second time. Prints how
// many contacts were added and skipped.

#include "ClientTexts.h"
#include "ServerContactStore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace kestrel;

namespace {

void printLine(FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

QString keyOf(const ContactRow& row)
{
    return QStringList{row.number, row.description, row.group}.join(QChar(u'\x1f'));
}

// The contacts of the desk's file, opened read-only.
Expected<QList<ContactRow>> readFile(const QString& path)
{
    const QString name = u"corvafax-rubrica-import"_s;
    Expected<QList<ContactRow>> result = Error{};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        QSqlQuery query(db);
        if (!db.open() || !query.exec(u"SELECT fax, nome, gruppo FROM anagrafica ORDER BY rowid"_s)) {
            const QSqlError error = db.isOpen() ? query.lastError() : db.lastError();
            result = Error{path + u": "_s + error.text()};
        } else {
            QList<ContactRow> rows;
            while (query.next())
                rows.append(
                    {query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
            result = rows;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

Expected<QList<ContactRow>> listing(ContactStore& store)
{
    Expected<QList<ContactRow>> result = Error{};
    QEventLoop loop;
    QObject::connect(&store, &ContactStore::listed, &loop, [&](int, const Expected<QList<ContactRow>>& rows) {
        result = rows;
        loop.quit();
    });
    (void)store.list();
    loop.exec();
    return result;
}

ContactStore::ChangeResult added(ContactStore& store, const ContactRow& row)
{
    ContactStore::ChangeResult result;
    QEventLoop loop;
    int ticket = 0;
    QObject::connect(&store, &ContactStore::changeFinished, &loop,
                     [&](int finished, const ContactStore::ChangeResult& answer) {
                         if (finished != ticket)
                             return;
                         result = answer;
                         loop.quit();
                     });
    ticket = store.add(row);
    loop.exec();
    return result;
}

int import(const QString& file, const QString& uri)
{
    const Expected<QList<ContactRow>> rows = readFile(file);
    if (!rows) {
        printLine(stderr, u"corvafax-rubrica: "_s + rows.error().message);
        return 1;
    }
    ServerContactStore store(uri);
    const Expected<QList<ContactRow>> present = listing(store);
    if (!present) {
        printLine(stderr, u"corvafax-rubrica: "_s + present.error().message);
        return 1;
    }
    QHash<QString, int> held;
    for (const ContactRow& row : *present)
        ++held[keyOf(row)];
    int added = 0;
    int skipped = 0;
    for (const ContactRow& row : *rows) {
        int& count = held[keyOf(row)];
        if (count > 0) {
            --count;
            ++skipped;
            continue;
        }
        const ContactStore::ChangeResult result = ::added(store, row);
        if (result.outcome != ContactStore::Outcome::Done) {
            printLine(stdout, texts::sharedbook::importSummary(added, skipped));
            printLine(stderr, u"corvafax-rubrica: "_s + result.message);
            return 1;
        }
        ++added;
    }
    printLine(stdout, texts::sharedbook::importSummary(added, skipped));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() != 3 || arguments.first() != "import"_L1) {
        printLine(stderr, texts::sharedbook::ImportUsage);
        return 2;
    }
    return import(arguments.at(1), arguments.at(2));
}
