#include "FileExists.h"
#include "SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kestrel;
using namespace Qt::StringLiterals;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The permission bits as ls shows them in octal.
int mode(const QString& path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_ini;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_ini = m_dir->filePath(u"KZV.INI"_s);
    }

    void defaultsWithoutFile()
    {
        const SettingsStore store(m_dir->path());
        QCOMPARE(store.settingsPath(), m_ini);

        const OptionFields fields = store.optionFields();
        QCOMPARE(fields.ip, u"none"_s);
        QCOMPARE(fields.cover, u"none"_s);
        QCOMPARE(fields.mail, u"none"_s);
        QCOMPARE(fields.prefix, u"none"_s);
        QCOMPARE(fields.user, u"test"_s);
        QCOMPARE(fields.password, u"brio"_s);
        QCOMPARE(fields.maxDials, u"3"_s);
        QCOMPARE(fields.debug, false);
        QCOMPARE(fields.chop, true);

        const SettingsValues& values = store.values();
        QCOMPARE(values.ip, u"none"_s);
        QCOMPARE(values.user, u"test"_s);
        QCOMPARE(values.pass, u"brio"_s);
        QCOMPARE(values.maxDials, qint16(3));
        QCOMPARE(values.debug, false);
        QCOMPARE(values.chop, true);
        QCOMPARE(values.rubrica, m_dir->path() + u"/rubrica.db"_s);
        QCOMPARE(values.vcard, m_dir->path() + u"/contatti.vcf"_s);
        QVERIFY(!values.isComplete());
        QVERIFY(!QFile::exists(m_ini));
    }

    void readOnlyKeysTakenFromTheFile()
    {
        writeBytes(m_ini, "[MAIN]\nRUBRICA=/data/r.db\nVCARD=/data/cards\n");
        const SettingsStore store(m_dir->path());
        QCOMPARE(store.values().rubrica, u"/data/r.db"_s);
        QCOMPARE(store.values().vcard, u"/data/cards"_s);
    }

    // Hand-edited numbers: what does not convert counts as the default.
    void numbersAndFlags_data()
    {
        QTest::addColumn<QByteArray>("maxDials");
        QTest::addColumn<QByteArray>("debug");
        QTest::addColumn<QByteArray>("chop");
        QTest::addColumn<qint16>("expectedMaxDials");
        QTest::addColumn<bool>("expectedDebug");
        QTest::addColumn<bool>("expectedChop");

        QTest::newRow("as saved") << QByteArray("7") << QByteArray("1") << QByteArray("0") << qint16(7)
                                  << true << false;
        QTest::newRow("words") << QByteArray("three") << QByteArray("yes") << QByteArray("no") << qint16(3)
                               << false << true;
        QTest::newRow("empty") << QByteArray("") << QByteArray("") << QByteArray("") << qint16(3) << false
                               << true;
        QTest::newRow("beyond 16 bits") << QByteArray("32768") << QByteArray("70000") << QByteArray("-40000")
                                        << qint16(3) << false << true;
        QTest::newRow("16-bit limits") << QByteArray("-32768") << QByteArray("32767") << QByteArray("-1")
                                       << qint16(-32768) << true << true;
        QTest::newRow("blanks around")
            << QByteArray(" 12 ") << QByteArray(" 2") << QByteArray("0 ") << qint16(12) << true << false;
        QTest::newRow("fractions") << QByteArray("2.5") << QByteArray("0.5") << QByteArray("1.0") << qint16(3)
                                   << false << true;
        QTest::newRow("Boolean words")
            << QByteArray("4") << QByteArray("True") << QByteArray("false") << qint16(4) << true << false;
    }
    void numbersAndFlags()
    {
        QFETCH(QByteArray, maxDials);
        QFETCH(QByteArray, debug);
        QFETCH(QByteArray, chop);
        QFETCH(qint16, expectedMaxDials);
        QFETCH(bool, expectedDebug);
        QFETCH(bool, expectedChop);
        writeBytes(m_ini, "[MAIN]\nMAXDIALS=" + maxDials + "\nDEBUG=" + debug + "\nCHOP=" + chop + '\n');
        const SettingsStore store(m_dir->path());
        QCOMPARE(store.values().maxDials, expectedMaxDials);
        QCOMPARE(store.values().debug, expectedDebug);
        QCOMPARE(store.values().chop, expectedChop);
        const OptionFields fields = store.optionFields();
        QCOMPARE(fields.maxDials, QString::number(expectedMaxDials));
        QCOMPARE(fields.debug, expectedDebug);
        QCOMPARE(fields.chop, expectedChop);
    }

    void salvaImpostazioniWritesInOrderAndReloads()
    {
        SettingsStore store(m_dir->path());
        OptionFields fields;
        fields.ip = QString(); // an emptied field is stored empty
        fields.user = u"mario"_s;
        fields.password = u"p w"_s;
        fields.cover = u"/home/mario/cover.pdf"_s;
        fields.mail = u"mario@example.org"_s;
        fields.maxDials = u"12"_s;
        fields.prefix = u"0"_s;
        fields.debug = true;
        fields.chop = false;
        QVERIFY(store.SalvaImpostazioni(fields));

        QCOMPARE(readBytes(m_ini),
                 QByteArray("[MAIN]\nIP=\nUSER=mario\nPASS=p w\nCOVER=/home/mario/cover.pdf\n"
                            "MAIL=mario@example.org\nMAXDIALS=12\nPREFIX=0\nDEBUG=1\nCHOP=0\n"));
        QCOMPARE(mode(m_ini), 0600);
        const SettingsValues& values = store.values();
        QCOMPARE(values.ip, QString());
        QCOMPARE(values.user, u"mario"_s);
        QCOMPARE(values.pass, u"p w"_s);
        QCOMPARE(values.cover, u"/home/mario/cover.pdf"_s);
        QCOMPARE(values.mail, u"mario@example.org"_s);
        QCOMPARE(values.maxDials, qint16(12));
        QCOMPARE(values.prefix, u"0"_s);
        QCOMPARE(values.debug, true);
        QCOMPARE(values.chop, false);
        QVERIFY(values.isComplete());
    }

    void failedSaveReportedAndValuesShowTheFile()
    {
        SettingsStore store(m_dir->filePath(u"missing"_s));
        OptionFields fields = store.optionFields();
        fields.ip = u"10.0.0.9"_s;
        QVERIFY(!store.SalvaImpostazioni(fields));
        QCOMPARE(store.values().ip, u"none"_s);
    }

    void fileExists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("expected");
        QTest::newRow("file") << u"refresher"_s << true;
        QTest::newRow("folder") << u"folder"_s << false;
        QTest::newRow("missing") << u"absent"_s << false;
    }
    void fileExists()
    {
        QFETCH(QString, name);
        QFETCH(bool, expected);
        writeBytes(m_dir->filePath(u"refresher"_s), "#!/bin/sh\n");
        QVERIFY(QDir(m_dir->path()).mkdir(u"folder"_s));
        QCOMPARE(kestrel::fileExists(m_dir->filePath(name)), expected);
        QVERIFY(!kestrel::fileExists(QString()));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
