// Times the address book on generated data: the start-up load of 10,000
// vCards (budget 150 ms), the listing of 10,000 database contacts with the
// rows of the address book list built from both, and the window itself:
// `ListaNumeri` with 10,000 desktop and 10,000 database contacts, grid filled
// and painted (budget 250 ms), and one mark toggled and painted (well within
// a 16 ms frame).
//
// Usage: bench-addressbook [RUNS]   (default 7; medians are printed)
// The window runs on the offscreen platform unless QT_QPA_PLATFORM says
// otherwise (xvfb-run -a with QT_QPA_PLATFORM=xcb paints through X).

#include "AddressBookList.h"
#include "ContactDatabase.h"
#include "DesktopContacts.h"
#include "FileContactStore.h"
#include "FrmRubrica.h"
#include "ListGrid.h"
#include "PlainTextMessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;
using namespace kestrel;

namespace {

constexpr int Contacts = 10000;

// Three dialects in turn, each with the properties real address books carry
// besides the ones read: addresses, mail, notes, a folded line.
QByteArray card(int i)
{
    const QByteArray n = QByteArray::number(i);
    switch (i % 3) {
    case 0:
        return "BEGIN:VCARD\r\nVERSION:2.1\r\n"
               "N;CHARSET=Windows-1252;ENCODING=QUOTED-PRINTABLE:Citt=E0 " +
               n + ";Nicol=F2\r\nFN:Nicolo Citta " + n +
               "\r\nORG:Caff=E8 & C. S.p.A.;Vendite\r\nTEL;WORK;VOICE:+39 02 111" + n +
               "\r\nTEL;WORK;FAX:+39 (02) 123-" + n +
               "\r\nADR;WORK;ENCODING=QUOTED-PRINTABLE:;;Via Roma 1=0D=0A=\r\nMilano;MI;20100;Italia\r\n"
               "EMAIL;PREF;INTERNET:nicola" +
               n + "@example.it\r\nREV:20240101T120000Z\r\nEND:VCARD\r\n";
    case 1:
        return "BEGIN:VCARD\nVERSION:3.0\nUID:urn:uuid:" + n + "-4a1b-9c2d\nFN:Giovanni Rossi " + n +
               "\nN:Rossi " + n +
               ";Giovanni;;Dott.;\nORG:Rossi\\, Verdi & Associati;Ufficio legale\n"
               "TEL;TYPE=WORK,VOICE:02 5550000\nTEL;TYPE=WORK,FAX:02 555\n " +
               n +
               "\nEMAIL;TYPE=INTERNET,WORK:g.rossi@example.com\n"
               "NOTE:Prima riga\\nseconda riga che va avanti per un bel po' e viene piegata dal\n programma\n"
               "ADR;TYPE=WORK:;;Corso Italia 10;Torino;TO;10100;Italia\nEND:VCARD\n";
    default:
        return "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zoë Ørsted " + n + "\r\nN:Ørsted " + n +
               ";Zoë;;;\r\nORG:Nordisk Fax A/S\r\nTEL;VALUE=uri;TYPE=\"work,fax\":tel:+45-3333-" + n +
               ";ext=12\r\nTEL;VALUE=uri;TYPE=\"work,voice\";PREF=1:tel:+45-3333-5555\r\n"
               "EMAIL;TYPE=work:zoe@example.dk\r\nEND:VCARD\r\n";
    }
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool fillDatabase(const QString& path)
{
    if (!QFile::copy(QString::fromUtf8(KESTREL_SHIPPED_RUBRICA), path))
        return false;
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"fill"_s);
        db.setDatabaseName(path);
        ok = db.open() && db.transaction();
        QSqlQuery insert(db);
        ok = ok && insert.prepare(u"INSERT INTO anagrafica VALUES (?, ?, ?)"_s);
        for (int i = 0; ok && i < Contacts; ++i) {
            insert.bindValue(0, u"+39 02 %1"_s.arg(1000000 + i));
            insert.bindValue(1, (i % 2 ? u"cliente %1"_s : u"Fornitore %1"_s).arg((i * 7919) % Contacts));
            insert.bindValue(2, QString::number(1 + i % 20));
            ok = insert.exec();
        }
        insert.finish();
        ok = ok && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(u"fill"_s);
    return ok;
}

double medianMs(int runs, const std::function<void()>& work)
{
    QList<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

void report(const char* what, double ms, const char* budget)
{
    std::printf("%-58s %8.1f ms  %s\n", what, ms, budget);
}

// What the user waits for after a change of the list: the store's listing,
// the pending layout and a paint of the grid.
void settle(FrmRubrica& window)
{
    QCoreApplication::processEvents();
    while (window.isWaiting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    window.msfgRubrica()->viewport()->repaint();
}

// The window with both lists: the rebuild, and marks toggled by clicks on
// rows spread over the list (each brought into view first, as a user's
// click is on a visible row).
int benchWindow(int runs, const QString& database, const DesktopContacts& desktop)
{
    FileContactStore store(database);
    PlainTextMessageBox boxes;
    GridRows destinations(3);
    FrmRubrica window(FrmRubrica::Services{&store, &desktop, &boxes, {}}, destinations);
    window.load();
    window.show();
    settle(window);
    report("address book window: ListaNumeri, grid filled and painted",
           medianMs(runs,
                    [&] {
                        window.ListaNumeri();
                        settle(window);
                    }),
           "(budget 250 ms)");
    const int listed = window.rows().rows() - 1;
    ListGrid* grid = window.msfgRubrica();
    QList<double> toggles;
    for (int i = 0; i < 101; ++i) {
        const int row = 1 + int((qint64(i) * 7919) % listed);
        grid->scrollTo(grid->model()->index(row - 1, AddressBookGrid::Select));
        settle(window);
        QElapsedTimer timer;
        timer.start();
        window.gridClick(row, AddressBookGrid::Number);
        settle(window);
        toggles.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(toggles.begin(), toggles.end());
    report("  one mark toggled and painted, median of 101", toggles.at(toggles.size() / 2),
           "(within a 16 ms frame)");
    report("  one mark toggled and painted, slowest of 101", toggles.last(), "");
    if (listed != 2 * Contacts) {
        std::fprintf(stderr, "bench-addressbook: the window listed %d rows, expected %d\n", listed,
                     2 * Contacts);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 7;
    QTemporaryDir dir;
    const QString file = dir.filePath(u"contatti.vcf"_s);
    const QString folder = dir.filePath(u"contatti"_s);
    const QString database = dir.filePath(u"rubrica.db"_s);

    QByteArray all;
    QDir().mkpath(folder);
    for (int i = 1; i <= Contacts; ++i) {
        const QByteArray one = card(i);
        all += one;
        if (!writeFile(folder + u"/%1.vcf"_s.arg(i, 5, 10, QChar(u'0')), one))
            return 1;
    }
    if (!writeFile(file, all) || !fillDatabase(database)) {
        std::fprintf(stderr, "bench-addressbook: cannot write the data in %s\n", qPrintable(dir.path()));
        return 1;
    }
    std::printf("%d runs each, medians; %d vCards (%.1f MiB), %d database rows\n", runs, Contacts,
                all.size() / 1048576.0, Contacts);

    DesktopContacts desktop;
    report("vCard start-up load, one file",
           medianMs(runs, [&] { desktop = DesktopContacts::LoadOutlookContacts(file); }), "(budget 150 ms)");
    report("vCard start-up load, folder of one file per card",
           medianMs(runs, [&] { DesktopContacts::LoadOutlookContacts(folder); }), "(budget 150 ms)");

    // What the folder case cannot go below: opening, reading and closing each
    // file, with no parsing.
    const QStringList files = QDir(folder).entryList(QDir::Files);
    report("  floor for the folder: open, read, close each file",
           medianMs(runs,
                    [&] {
                        for (const QString& name : files) {
                            QFile one(folder + u'/' + name);
                            if (one.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                                one.readAll();
                        }
                    }),
           "");

    PlainTextMessageBox boxes;
    ContactDatabase store(database, boxes);
    QList<ContactRow> rows;
    report("database listing (ExecuteSql, 10,000 rows read)",
           medianMs(runs, [&] { rows = *store.listContacts(); }), "");
    report("list rows built from both (normalised numbers)",
           medianMs(runs, [&] { AddressBookList::rows(desktop, rows); }), "");
    report("address book list without the grid: listing + rows",
           medianMs(runs, [&] { AddressBookList::rows(desktop, *store.listContacts()); }),
           "(budget for the whole window list 250 ms)");
    if (desktop.listed().size() != Contacts || rows.size() != Contacts) {
        std::fprintf(stderr, "bench-addressbook: read %lld vCards and %lld rows, expected %d each\n",
                     static_cast<long long>(desktop.listed().size()), static_cast<long long>(rows.size()),
                     Contacts);
        return 1;
    }
    return benchWindow(runs, database, desktop);
}
