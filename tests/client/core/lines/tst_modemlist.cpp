#include "ModemList.h"

#include "Ports.h"

#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

namespace {

QString line(int n, const QString& identifier, const QString& name)
{
    return u"<p%1>%2</p%1><n%1>%3</n%1>"_s.arg(QString::number(n), identifier, name);
}

} // namespace

class TestModemList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void page_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<QString>("chosen"); // the selector's text at submission
        QTest::addColumn<QString>("identifier");
        const QString one = line(1, u"ttyIAX0"_s, u"Uno"_s);
        QTest::newRow("lines 1 and 2")
            << one + line(2, u"ttyIAX1"_s, u"Due"_s) << QStringList{u"Uno"_s, u"Due"_s} << true << 2
            << u"Due"_s << u"ttyIAX1"_s;
        QTest::newRow("only line 1") << one << QStringList{u"Uno"_s} << false << 1 << u"Uno"_s
                                     << u"ttyIAX0"_s;
        QTest::newRow("lines 1 and 3: 2 matches nothing")
            << one + line(3, u"c"_s, u"Tre"_s) << QStringList{u"Uno"_s, u"Tre"_s} << true << 3 << QString()
            << QString();
        QTest::newRow("blanks removed") << line(1, u" a "_s, u" Uno "_s) + line(2, u"b"_s, u"Due"_s)
                                        << QStringList{u"Uno"_s, u"Due"_s} << true << 2 << u"Uno"_s << u"a"_s;
        QTest::newRow("same name: higher line wins")
            << line(1, u"a"_s, u"Fax"_s) + line(2, u"b"_s, u"Fax"_s) << QStringList{u"Fax"_s, u"Fax"_s}
            << true << 2 << u"Fax"_s << u"b"_s;
        QTest::newRow("name without identifier")
            << one + u"<n2>Due</n2>"_s << QStringList{u"Uno"_s} << false << 1 << u"Due"_s << QString();
        QTest::newRow("line 41 ignored") << line(40, u"x"_s, u"Q"_s) + line(41, u"y"_s, u"R"_s)
                                         << QStringList{u"Q"_s} << true << 40 << u"R"_s << QString();
        QTest::newRow("last value runs to the end")
            << one + u"<p2>b"_s << QStringList{u"Uno"_s, QString()} << true << 2 << QString() << QString();
        QTest::newRow("empty page") << QString() << QStringList() << false << 0 << u"Uno"_s << QString();
        QTest::newRow("32768 characters") << one + line(2, u"b"_s, u"Due"_s) + QString(32768, u' ')
                                          << QStringList() << false << 0 << u"Uno"_s << QString();
    }
    void page()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, items);
        QFETCH(bool, visible);
        QFETCH(int, lineCount);
        QFETCH(QString, chosen);
        QFETCH(QString, identifier);
        LineTable table;
        const LineSelector selector = ModemList(table).fill(page);
        QCOMPARE(selector.items, items);
        QCOMPARE(selector.visible, visible);
        QCOMPARE(table.LineCount(), lineCount);
        QCOMPARE(table.identifierOf(chosen), identifier);
    }

    // Rows outlive a load; the row of a line missing from a later page keeps
    // its text but lies beyond LineCount.
    void rowsSurviveReloads()
    {
        LineTable table;
        ModemList lines(table);
        lines.fill(line(1, u"a"_s, u"Uno"_s) + line(2, u"b"_s, u"Due"_s));
        lines.fill(line(1, u"a2"_s, u"Uno"_s));
        QCOMPARE(table.identifierOf(u"Uno"_s), u"a2"_s);
        QCOMPARE(table.identifierOf(u"Due"_s), QString());
        QCOMPARE(table.row(2).identifier, u"b"_s);
    }

    void fetch_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("url");
        QTest::newRow("empty address: no request") << QString() << QByteArray() << true << QString();
        QTest::newRow("default port")
            << u"10.0.0.5"_s << QByteArray() << true << u"http://10.0.0.5/api/modemtxt.php"_s;
        QTest::newRow("moved port") << u"127.0.0.1"_s << QByteArray("8080") << true
                                    << u"http://127.0.0.1:8080/api/modemtxt.php"_s;
        QTest::newRow("none asked for, fails")
            << u"none"_s << QByteArray() << false << u"http://none/api/modemtxt.php"_s;
    }
    void fetch()
    {
        QFETCH(QString, ip);
        QFETCH(QByteArray, port);
        QFETCH(bool, ok);
        QFETCH(QString, url);
        qputenv(ports::AppliancePagesVariable, port);
        QStringList requests;
        LineTable table;
        ModemList lines(table, [&](const QUrl& asked, int timeoutMs) {
            requests.append(asked.toString() + u' ' + QString::number(timeoutMs));
            if (!ok)
                return Expected<QString>(Error{u"refused"_s});
            return Expected<QString>(line(1, u"a"_s, u"Uno"_s) + line(2, u"b"_s, u"Due"_s));
        });
        const LineSelector selector = lines.Listamodem(ip);
        qunsetenv(ports::AppliancePagesVariable);
        QCOMPARE(requests, url.isEmpty() ? QStringList() : QStringList{url + u" 10000"_s});
        QCOMPARE(selector.visible, !url.isEmpty() && ok);
        QCOMPARE(table.LineCount(), !url.isEmpty() && ok ? 2 : 0);
    }
};

QTEST_GUILESS_MAIN(TestModemList)
#include "tst_modemlist.moc"
