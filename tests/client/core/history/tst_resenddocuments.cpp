// "Reinvia" takes back only the file that was sent: the user's own regular
// file, not a link, with one name, its size and time as at the submission;
// real files in a temporary folder.

#include "ResendDocuments.h"
#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace kestrel;

class TestResendDocuments : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void onlyTheFileThatWasSent_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("stamped");
        QTest::addColumn<QString>("found");
        QTest::newRow("as sent") << u"none"_s << true << u"present"_s;
        QTest::newRow("an older record, no stamps") << u"none"_s << false << u"present"_s;
        QTest::newRow("removed") << u"remove"_s << true << u"missing"_s;
        // Refused before its stamps are looked at.
        QTest::newRow("a link to a system file in its place, no stamps")
            << u"link"_s << false << u"refused"_s;
        QTest::newRow("a second name") << u"hardlink"_s << true << u"refused"_s;
        QTest::newRow("touched since") << u"touch"_s << true << u"refused"_s;
        QTest::newRow("a FIFO in its place") << u"fifo"_s << false << u"refused"_s;
        QTest::newRow("another user's") << u"chown"_s << false << u"refused"_s;
        QTest::newRow("not stamped when sent") << u"unstamped"_s << true << u"refused"_s;
    }
    void onlyTheFileThatWasSent()
    {
        QFETCH(QString, change);
        QFETCH(bool, stamped);
        QFETCH(QString, found);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".ps"_s);
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(testfiles::write(path, "%!PS\n"));
        DocumentStamp stamp = ResendDocuments::stampOf(path);
        QCOMPARE(stamp.size, 5);
        if (change == u"remove"_s || change == u"link"_s || change == u"fifo"_s)
            QVERIFY(QFile::remove(path));
        if (change == u"link"_s)
            QVERIFY(QFile::link(u"/etc/passwd"_s, path));
        else if (change == u"fifo"_s)
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        else if (change == u"hardlink"_s)
            QCOMPARE(::link(name.constData(), QFile::encodeName(path + u".2"_s).constData()), 0);
        else if (change == u"touch"_s)
            stamp.modifiedNsecs += 1;
        else if (change == u"unstamped"_s)
            stamp = DocumentStamp();
        else if (change == u"chown"_s) {
            if (::geteuid() != 0)
                QSKIP("giving a file to another user takes root");
            QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
        }
        const ResendDocuments result =
            ResendDocuments::check({path}, stamped ? QList<DocumentStamp>{stamp} : QList<DocumentStamp>());
        QCOMPARE(result.present, found == u"present"_s ? QStringList{path} : QStringList());
        QCOMPARE(result.missing, found == u"missing"_s ? QStringList{path} : QStringList());
        QCOMPARE(result.refused, found == u"refused"_s ? QStringList{path} : QStringList());
    }
};

QTEST_GUILESS_MAIN(TestResendDocuments)
#include "tst_resenddocuments.moc"
