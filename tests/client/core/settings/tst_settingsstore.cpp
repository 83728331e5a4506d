#include "SettingsStore.h"

#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kestrel;
using namespace Qt::StringLiterals;
namespace files = kestrel::testfiles;

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
        OptionFields fields;
        for (const QString& key : {settings::Ip, settings::Cover, settings::Mail, settings::Prefix})
            fields.setText(key, u"none"_s);
        fields.setText(settings::User, u"test"_s);
        fields.setText(settings::Pass, u"brio"_s);
        fields.setText(settings::MaxDials, u"3"_s);
        fields.setFlag(settings::Debug, false);
        fields.setFlag(settings::Chop, true);
        fields.setFlag(settings::GroupSend, true);
        // Every fax as ever: three hours, the server's tries, fine resolution.
        fields.setText(settings::KillAfter, u"0"_s);
        fields.setText(settings::MaxTries, u"0"_s);
        fields.setFlag(settings::Standard, false);
        // A print naming its destinations waits in the send window, whole.
        fields.setFlag(settings::TagSend, false);
        fields.setFlag(settings::TagSkipFirst, false);
        QCOMPARE(store.optionFields(), fields);
        const SettingsValues& values = store.values();
        QCOMPARE((QStringList{values.ip, values.user, values.pass, values.cover, values.mail, values.prefix}),
                 (QStringList{u"none"_s, u"test"_s, u"brio"_s, u"none"_s, u"none"_s, u"none"_s}));
        QCOMPARE(values.maxDials, 3);
        QCOMPARE(values.debug, false);
        QCOMPARE(values.chop, true);
        QCOMPARE(values.rubrica, m_dir->path() + u"/rubrica.db"_s);
        QCOMPARE(values.vcard, m_dir->path() + u"/contatti.vcf"_s);
        QVERIFY(!QFile::exists(m_ini));
    }

    // Hand-edited numbers: what does not convert counts as the default.
    void numbersAndFlags_data()
    {
        QTest::addColumn<QByteArray>("maxDials");
        QTest::addColumn<QByteArray>("debug");
        QTest::addColumn<QByteArray>("chop");
        QTest::addColumn<int>("expectedMaxDials");
        QTest::addColumn<bool>("expectedDebug");
        QTest::addColumn<bool>("expectedChop");
        QTest::newRow("as saved") << QByteArray("7") << QByteArray("1") << QByteArray("0") << 7 << true
                                  << false;
        QTest::newRow("words") << QByteArray("tre") << QByteArray("si") << QByteArray("no") << 3 << false
                               << true;
        QTest::newRow("beyond 16 bits")
            << QByteArray("32768") << QByteArray("70000") << QByteArray("-40000") << 3 << false << true;
        QTest::newRow("16-bit, blanks, dials kept in range")
            << QByteArray(" -32768 ") << QByteArray("2 ") << QByteArray(" 0") << 1 << true << false;
        QTest::newRow("no dial") << QByteArray("0") << QByteArray("0") << QByteArray("1") << 1 << false
                                 << true;
        QTest::newRow("minus one dial")
            << QByteArray("-1") << QByteArray("0") << QByteArray("1") << 1 << false << true;
        QTest::newRow("most dials") << QByteArray("99") << QByteArray("0") << QByteArray("1") << 99 << false
                                    << true;
        QTest::newRow("too many dials")
            << QByteArray("100") << QByteArray("0") << QByteArray("1") << 99 << false << true;
        QTest::newRow("Boolean words")
            << QByteArray("2.5") << QByteArray("True") << QByteArray("false") << 3 << true << false;
    }
    void numbersAndFlags()
    {
        QFETCH(QByteArray, maxDials);
        QFETCH(QByteArray, debug);
        QFETCH(QByteArray, chop);
        QFETCH(int, expectedMaxDials);
        QFETCH(bool, expectedDebug);
        QFETCH(bool, expectedChop);
        QVERIFY(files::write(m_ini, "[MAIN]\nMAXDIALS=" + maxDials + "\nDEBUG=" + debug + "\nCHOP=" + chop));
        const SettingsStore store(m_dir->path());
        QCOMPARE(store.values().maxDials, expectedMaxDials);
        QCOMPARE(store.values().debug, expectedDebug);
        QCOMPARE(store.values().chop, expectedChop);
        const OptionFields fields = store.optionFields();
        QCOMPARE(fields.text(settings::MaxDials), QString::number(expectedMaxDials));
        QCOMPARE(fields.flag(settings::Debug), expectedDebug);
        QCOMPARE(fields.flag(settings::Chop), expectedChop);
    }

    // The send options' defaults: a count out of range, or no count, is not set.
    void sendOptionDefaults_data()
    {
        QTest::addColumn<QByteArray>("killAfter");
        QTest::addColumn<QByteArray>("maxTries");
        QTest::addColumn<QString>("expectedKillAfter");
        QTest::addColumn<QString>("expectedMaxTries");
        QTest::newRow("as saved") << QByteArray("24") << QByteArray("4") << u"24"_s << u"4"_s;
        QTest::newRow("most") << QByteArray("2376") << QByteArray("99") << u"2376"_s << u"99"_s;
        QTest::newRow("beyond") << QByteArray("2377") << QByteArray("100") << u"0"_s << u"0"_s;
        QTest::newRow("negative") << QByteArray("-1") << QByteArray("-5") << u"0"_s << u"0"_s;
        QTest::newRow("words") << QByteArray("tre") << QByteArray("") << u"0"_s << u"0"_s;
    }
    void sendOptionDefaults()
    {
        QFETCH(QByteArray, killAfter);
        QFETCH(QByteArray, maxTries);
        QFETCH(QString, expectedKillAfter);
        QFETCH(QString, expectedMaxTries);
        QVERIFY(files::write(m_ini, "[MAIN]\nKILLAFTER=" + killAfter + "\nMAXTRIES=" + maxTries));
        SettingsStore store(m_dir->path());
        QCOMPARE(store.values().text(settings::KillAfter), expectedKillAfter);
        QCOMPARE(store.values().text(settings::MaxTries), expectedMaxTries);
        QCOMPARE(store.optionFields().text(settings::KillAfter), expectedKillAfter);
    }

    // The file lets the password go only while it still holds the one the
    // keyring stored: one saved in between is never lost.
    void clearFilePassword_data()
    {
        QTest::addColumn<QString>("moved");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("the one stored") << u"vecchia"_s << QByteArray("[MAIN]\r\nIP=fax\r\nPASS=\r\n");
        QTest::newRow("another saved meanwhile")
            << u"precedente"_s << QByteArray("[MAIN]\r\nIP=fax\r\nPASS=vecchia\r\n");
    }
    void clearFilePassword()
    {
        QFETCH(QString, moved);
        QFETCH(QByteArray, expected);
        QVERIFY(files::write(m_ini, "[MAIN]\r\nIP=fax\r\nPASS=vecchia\r\n"));
        SettingsStore store(m_dir->path());
        QVERIFY(store.clearFilePassword(moved));
        QCOMPARE(files::read(m_ini), expected);
    }

    void salvaImpostazioniWritesInOrderAndReloads()
    {
        SettingsStore store(m_dir->path());
        OptionFields fields;
        fields.setText(settings::Ip, QString());
        fields.setText(settings::User, u"mario"_s);
        fields.setText(settings::Pass, u"p w"_s);
        fields.setText(settings::Mail, u"a@b"_s);
        fields.setText(settings::Prefix, u"0"_s);
        fields.setText(settings::MaxDials, u"12"_s);
        fields.setText(settings::Cover, u"/c.pdf"_s);
        fields.setFlag(settings::Debug, true);
        fields.setFlag(settings::Chop, false);
        fields.setFlag(settings::GroupSend, true);
        fields.setText(settings::KillAfter, u"5"_s);
        fields.setText(settings::MaxTries, u"0"_s);
        fields.setFlag(settings::Standard, true);
        fields.setFlag(settings::TagSend, true);
        fields.setFlag(settings::TagSkipFirst, false);
        QVERIFY(store.SalvaImpostazioni(fields));
        QCOMPARE(files::read(m_ini),
                 QByteArray("[MAIN]\nIP=\nUSER=mario\nPASS=p w\nCOVER=/c.pdf\nMAIL=a@b\n"
                            "MAXDIALS=12\nPREFIX=0\nDEBUG=1\nCHOP=0\nGROUPSEND=1\n"
                            "KILLAFTER=5\nMAXTRIES=0\nSTANDARD=1\nTAGSEND=1\nTAGSKIPFIRST=0\n"));
        QCOMPARE(files::mode(m_ini), 0600);
        QCOMPARE(store.optionFields(), fields);
        QCOMPARE(store.values().maxDials, 12);
        QVERIFY(store.values().isComplete()); // empty is not "none"
    }

    void failedSaveReportedAndValuesShowTheFile()
    {
        SettingsStore store(m_dir->filePath(u"gone"_s));
        OptionFields fields = store.optionFields();
        fields.setText(settings::Ip, u"10.0.0.9"_s);
        QVERIFY(!store.SalvaImpostazioni(fields));
        QCOMPARE(store.values().ip, u"none"_s);
    }

    // It holds the password.
    void readableByOthersClosedAtStart()
    {
        QVERIFY(files::write(m_ini, "[MAIN]\nPASS=secret\n"));
        QVERIFY(::chmod(QFile::encodeName(m_ini).constData(), 0644) == 0);
        const SettingsStore store(m_dir->path());
        QCOMPARE(files::mode(m_ini), 0600);
        QCOMPARE(files::read(m_ini), QByteArray("[MAIN]\nPASS=secret\n"));
        QCOMPARE(store.values().pass, u"secret"_s);
    }

    // The program runs on the defaults and can say why; saving fails
    // rather than replacing the file.
    void oversizedFileRefused()
    {
        const QByteArray bytes = "[MAIN]\nIP=10.0.0.1\n;" + QByteArray(PrivateProfile::MaxFileSize, ' ');
        QVERIFY(files::write(m_ini, bytes));
        SettingsStore store(m_dir->path());
        QCOMPARE(store.values().ip, u"none"_s);
        QVERIFY(!store.fileStatus());
        QVERIFY(store.fileStatus().error().message.contains(u"1 MiB"_s));
        OptionFields fields = store.optionFields();
        fields.setText(settings::Ip, u"10.0.0.2"_s);
        QVERIFY(!store.SalvaImpostazioni(fields));
        QCOMPARE(files::read(m_ini), bytes);
        QVERIFY(!store.fileStatus());
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
