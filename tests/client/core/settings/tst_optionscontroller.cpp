#include "OptionsController.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(kestrel::OptionsAction)

class TestOptionsController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decide_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mail");
        QTest::addColumn<bool>("chop");
        QTest::addColumn<OptionsAction>("expected");
        // The address and chop setting in force: "10.0.0.1" and on.
        const auto reload = OptionsAction::ReloadSendWindowAndClose;
        const auto keep = OptionsAction::KeepOpenWithMessage;
        QTest::newRow("nothing changed") << u"10.0.0.1"_s << u"a@b"_s << true << OptionsAction::Close;
        QTest::newRow("new address") << u"10.0.0.2"_s << u"a@b"_s << true << reload;
        QTest::newRow("chop switched off") << u"10.0.0.1"_s << u"a@b"_s << false << reload;
        QTest::newRow("address none") << u"none"_s << u"a@b"_s << true << keep;
        QTest::newRow("e-mail none") << u"10.0.0.1"_s << u"none"_s << true << keep;
        QTest::newRow("e-mail none, chop changed") << u"10.0.0.1"_s << u"none"_s << false << keep;
        QTest::newRow("empty address is not none") << QString() << u"a@b"_s << true << reload;
        QTest::newRow("None is not none") << u"None"_s << u"a@b"_s << true << reload;
    }
    void decide()
    {
        QFETCH(QString, ip);
        QFETCH(QString, mail);
        QFETCH(bool, chop);
        QFETCH(OptionsAction, expected);
        SettingsValues saved;
        saved.ip = ip;
        saved.mail = mail;
        saved.chop = chop;
        QCOMPARE(OptionsController::decide(saved, u"10.0.0.1"_s, true), expected);
    }

    void incompleteSaveStoresEverything()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        OptionsController options(store);
        OptionFields fields = options.load();
        fields.password = u"nuova"_s;
        fields.mail = u"a@b"_s;
        QCOMPARE(options.save(fields), OptionsAction::KeepOpenWithMessage);
        QCOMPARE(store.values().pass, u"nuova"_s);
        QCOMPARE(store.values().mail, u"a@b"_s);
        QCOMPARE(store.values().ip, u"none"_s);
    }

    // The chop setting compared is the one the fax control has, even when
    // the file was edited since; the address is the file's.
    void loadRemembersTheValuesInForce()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"KZV.INI"_s);
        auto writeIni = [&](const QByteArray& bytes) {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        writeIni("[MAIN]\nIP=10.0.0.1\nMAIL=a@b\nCHOP=1\n");
        SettingsStore store(dir.path());
        writeIni("[MAIN]\nIP=10.0.0.2\nMAIL=a@b\nCHOP=0\n");

        OptionsController options(store);
        const OptionFields fields = options.load();
        QCOMPARE(options.previousIp(), u"10.0.0.2"_s);
        QCOMPARE(options.previousChop(), true);
        QCOMPARE(fields.chop, false);
        QCOMPARE(options.save(fields), OptionsAction::ReloadSendWindowAndClose);

        QCOMPARE(options.load().ip, u"10.0.0.2"_s);
        QCOMPARE(options.save(fields), OptionsAction::Close);
        QCOMPARE(OptionsController::maxDialsItems().size(), 15);
    }
};

QTEST_GUILESS_MAIN(TestOptionsController)
#include "tst_optionscontroller.moc"
