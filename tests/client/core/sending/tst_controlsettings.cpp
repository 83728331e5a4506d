// What the send window hands the fax control, at its load and before every
// submission.

#include "ControlSettings.h"
#include "RecordingControl.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::RecordingControl;

class TestControlSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void atLoad_data();
    void atLoad();
    void loginOnlyWhatChanged();
};

void TestControlSettings::atLoad_data()
{
    QTest::addColumn<bool>("debug");
    QTest::addColumn<bool>("chop");
    QTest::addColumn<QStringList>("calls");
    const QStringList login{u"NomeStampante=kestrel"_s, u"IndirizzoIP=fax.local"_s, u"NomeUtente=u"_s,
                            u"PasswordUtente=p"_s, u"XMLStatus=-1"_s};
    // DEBUG switches diagnostics on, never off.
    QTest::newRow("debug off, chop on") << false << true << login + QStringList{u"ChopOn=-1"_s};
    QTest::newRow("debug on, chop off")
        << true << false << login + QStringList{u"DebugOn=-1"_s, u"ChopOn=0"_s};
}

void TestControlSettings::atLoad()
{
    QFETCH(bool, debug);
    QFETCH(bool, chop);
    QFETCH(QStringList, calls);
    SettingsValues settings;
    settings.ip = u"fax.local"_s;
    settings.user = u"u"_s;
    settings.pass = u"p"_s;
    settings.debug = debug;
    settings.chop = chop;
    RecordingControl control;
    ControlSettings::applyAtLoad(control, settings);
    QCOMPARE(control.calls, calls);
}

void TestControlSettings::loginOnlyWhatChanged()
{
    // Each "let" makes the host store the control's properties again.
    SettingsValues settings;
    settings.ip = u"fax.local"_s;
    settings.user = u"u"_s;
    settings.pass = u"p"_s;
    RecordingControl control;
    ControlSettings::applyLogin(control, settings);
    control.calls.clear();
    settings.pass = u"nuova"_s;
    ControlSettings::applyLogin(control, settings);
    QCOMPARE(control.calls, QStringList{u"PasswordUtente=nuova"_s});
}

QTEST_GUILESS_MAIN(TestControlSettings)
#include "tst_controlsettings.moc"
