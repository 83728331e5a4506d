#include "OptionsController.h"

#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;
namespace files = kestrel::testfiles;

Q_DECLARE_METATYPE(kestrel::OptionsAction)

class TestOptionsController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // In force before the save: address "10.0.0.1", chop on.
    void decide_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mail");
        QTest::addColumn<bool>("chop");
        QTest::addColumn<OptionsAction>("expected");
        const auto reload = OptionsAction::ReloadSendWindowAndClose;
        const auto keep = OptionsAction::KeepOpenWithMessage;
        QTest::newRow("no change (a new password)")
            << u"10.0.0.1"_s << u"a@b"_s << true << OptionsAction::Close;
        QTest::newRow("new address") << u"10.0.0.2"_s << u"a@b"_s << true << reload;
        QTest::newRow("chop switched off") << u"10.0.0.1"_s << u"a@b"_s << false << reload;
        QTest::newRow("address none") << u"none"_s << u"a@b"_s << true << keep;
        QTest::newRow("e-mail none, chop changed") << u"10.0.0.1"_s << u"none"_s << false << keep;
        QTest::newRow("empty address is not none") << QString() << u"a@b"_s << true << reload;
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
        fields.setText(settings::Pass, u"nuova"_s);
        fields.setText(settings::Mail, u"a@b"_s);
        QCOMPARE(options.save(fields), OptionsAction::KeepOpenWithMessage);
        QCOMPARE(store.optionFields(), fields);
    }

    // The chop setting compared is the one the fax control has, even when
    // the file was edited since; the address is the file's.
    void loadRemembersTheValuesInForce()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"KZV.INI"_s);
        QVERIFY(files::write(ini, "[MAIN]\nIP=10.0.0.1\nMAIL=a@b\nCHOP=1\n"));
        SettingsStore store(dir.path());
        QVERIFY(files::write(ini, "[MAIN]\nIP=10.0.0.2\nMAIL=a@b\nCHOP=0\n"));
        OptionsController options(store);
        const OptionFields fields = options.load();
        QCOMPARE(options.previousIp(), u"10.0.0.2"_s);
        QCOMPARE(options.previousChop(), true);
        QCOMPARE(options.save(fields), OptionsAction::ReloadSendWindowAndClose);
        options.load();
        QCOMPARE(options.save(fields), OptionsAction::Close);
    }
};

QTEST_GUILESS_MAIN(TestOptionsController)
#include "tst_optionscontroller.moc"
