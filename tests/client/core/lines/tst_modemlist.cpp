#include "ModemList.h"

#include "Ports.h"

#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

namespace {

QString line(int n, const QString& identifier, const QString& name)
{
    const QString number = QString::number(n);
    return u"<p%1>%2</p%1><n%1>%3</n%1>"_s.arg(number, identifier, name);
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
        // Selector text -> identifier the submission passes.
        QTest::addColumn<QStringList>("lookups");
        QTest::addColumn<QStringList>("identifiers");

        QTest::newRow("lines 1 and 2")
            << line(1, u"ttyIAX0"_s, u"Linea 1"_s) + line(2, u"ttyIAX1"_s, u"Linea 2"_s)
            << QStringList{u"Linea 1"_s, u"Linea 2"_s} << true << 2 << QStringList{u"Linea 1"_s, u"Linea 2"_s}
            << QStringList{u"ttyIAX0"_s, u"ttyIAX1"_s};
        QTest::newRow("only line 1") << line(1, u"ttyIAX0"_s, u"Linea 1"_s) << QStringList{u"Linea 1"_s}
                                     << false << 1 << QStringList{u"Linea 1"_s} << QStringList{u"ttyIAX0"_s};
        QTest::newRow("lines 1 and 3")
            << line(1, u"a"_s, u"Uno"_s) + line(3, u"c"_s, u"Tre"_s) << QStringList{u"Uno"_s, u"Tre"_s}
            << true << 3 << QStringList{u"Tre"_s, u"Due"_s} << QStringList{u"c"_s, QString()};
        QTest::newRow("only line 2 shows the selector")
            << line(2, u"b"_s, u"Due"_s) << QStringList{u"Due"_s} << true << 2 << QStringList{u"Due"_s}
            << QStringList{u"b"_s};
        QTest::newRow("blanks removed")
            << line(1, u"  a "_s, u" Uno  "_s) + line(2, u"b"_s, u"Due"_s) << QStringList{u"Uno"_s, u"Due"_s}
            << true << 2 << QStringList{u"Uno"_s, u" Uno  "_s} << QStringList{u"a"_s, QString()};
        QTest::newRow("same name: higher line wins")
            << line(1, u"a"_s, u"Fax"_s) + line(2, u"b"_s, u"Fax"_s) << QStringList{u"Fax"_s, u"Fax"_s}
            << true << 2 << QStringList{u"Fax"_s} << QStringList{u"b"_s};
        QTest::newRow("name without identifier adds nothing")
            << line(1, u"a"_s, u"Uno"_s) + u"<n2>Due</n2>"_s << QStringList{u"Uno"_s} << false << 1
            << QStringList{u"Due"_s} << QStringList{QString()};
        QTest::newRow("identifier without name") << u"<p1>a</p1>"_s << QStringList{QString()} << false << 1
                                                 << QStringList{QString()} << QStringList{QString()};
        QTest::newRow("line 41 ignored")
            << line(40, u"x"_s, u"Quaranta"_s) + line(41, u"y"_s, u"Quarantuno"_s)
            << QStringList{u"Quaranta"_s} << true << 40 << QStringList{u"Quarantuno"_s}
            << QStringList{QString()};
        QTest::newRow("empty page") << QString() << QStringList() << false << 0 << QStringList{u"Uno"_s}
                                    << QStringList{QString()};
        QTest::newRow("no p-entry") << u"<n1>Uno</n1>"_s << QStringList() << false << 0 << QStringList()
                                    << QStringList();
        QTest::newRow("32768 characters")
            << line(1, u"a"_s, u"Uno"_s) + line(2, u"b"_s, u"Due"_s) + QString(32768, u' ') << QStringList()
            << false << 0 << QStringList{u"Uno"_s} << QStringList{QString()};
    }
    void page()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, items);
        QFETCH(bool, visible);
        QFETCH(int, lineCount);
        QFETCH(QStringList, lookups);
        QFETCH(QStringList, identifiers);
        LineTable table;
        const LineSelector selector = ModemList(table).fill(page);
        QCOMPARE(selector.items, items);
        QCOMPARE(selector.visible, visible);
        QCOMPARE(table.LineCount(), lineCount);
        for (qsizetype i = 0; i < lookups.size(); ++i)
            QCOMPARE(table.identifierOf(lookups[i]), identifiers[i]);
        QCOMPARE(table.identifierOf(QString()), QString());
    }

    // Rows outlive a load; a row of a line the new page lacks keeps its old
    // text but lies beyond LineCount or is never named by the selector.
    void rowsSurviveReloads()
    {
        LineTable table;
        ModemList lines(table);
        lines.fill(line(1, u"a"_s, u"Uno"_s) + line(2, u"b"_s, u"Due"_s) + line(3, u"c"_s, u"Tre"_s));
        table.setLineCount(0); // the send window's reload
        lines.fill(line(1, u"a2"_s, u"Uno"_s) + line(3, u"c2"_s, u"Tre"_s));
        QCOMPARE(table.row(2).identifier, u"b"_s);
        QCOMPARE(table.identifierOf(u"Uno"_s), u"a2"_s);
        QCOMPARE(table.identifierOf(u"Tre"_s), u"c2"_s);

        lines.fill(line(1, u"a3"_s, u"Uno"_s));
        QCOMPARE(table.LineCount(), 1);
        QCOMPARE(table.identifierOf(u"Tre"_s), QString());
        QCOMPARE(table.row(3).identifier, u"c2"_s);
    }

    void fetch_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("expectedUrl");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("empty address: no request")
            << QString() << QByteArray() << true << QString() << QStringList();
        QTest::newRow("default port")
            << u"10.0.0.5"_s << QByteArray() << true << u"http://10.0.0.5/api/modemtxt.php"_s
            << QStringList{u"Uno"_s, u"Due"_s};
        QTest::newRow("moved port") << u"127.0.0.1"_s << QByteArray("8080") << true
                                    << u"http://127.0.0.1:8080/api/modemtxt.php"_s
                                    << QStringList{u"Uno"_s, u"Due"_s};
        QTest::newRow("none is asked for and fails")
            << u"none"_s << QByteArray() << false << u"http://none/api/modemtxt.php"_s << QStringList();
    }
    void fetch()
    {
        QFETCH(QString, ip);
        QFETCH(QByteArray, port);
        QFETCH(bool, ok);
        QFETCH(QString, expectedUrl);
        QFETCH(QStringList, items);
        if (port.isEmpty())
            qunsetenv(ports::AppliancePagesVariable);
        else
            qputenv(ports::AppliancePagesVariable, port);
        QStringList requests;
        LineTable table;
        ModemList lines(table, [&](const QUrl& url, int timeoutMs) {
            requests.append(url.toString());
            HttpResult result;
            result.ok = ok;
            // A failed request's error page must not be read as a line list.
            result.body = line(1, u"a"_s, u"Uno"_s) + line(2, u"b"_s, u"Due"_s);
            result.error = ok ? QString() : u"host not found"_s;
            return timeoutMs == ModemList::PageTimeoutMs ? result : HttpResult();
        });
        const LineSelector selector = lines.Listamodem(ip);
        qunsetenv(ports::AppliancePagesVariable);
        QCOMPARE(requests, expectedUrl.isEmpty() ? QStringList() : QStringList{expectedUrl});
        QCOMPARE(selector.items, items);
        QCOMPARE(selector.visible, !items.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestModemList)
#include "tst_modemlist.moc"
