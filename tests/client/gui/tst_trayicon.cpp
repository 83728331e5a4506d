#include "TrayIcon.h"

#include "ClientTexts.h"

#include <QSignalSpy>
#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestTrayIcon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void activations_data()
    {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::addColumn<int>("menus");
        QTest::addColumn<bool>("reAdded");
        QTest::newRow("left click: the mouse over the icon") << QSystemTrayIcon::Trigger << 1 << false;
        QTest::newRow("context click: the right button") << QSystemTrayIcon::Context << 0 << true;
        QTest::newRow("double click") << QSystemTrayIcon::DoubleClick << 0 << false;
        QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick << 0 << false;
        QTest::newRow("unknown") << QSystemTrayIcon::Unknown << 0 << false;
    }
    // A lost or stale icon (hidden, another tip) comes back only through
    // the right button.
    void activations()
    {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        QFETCH(int, menus);
        QFETCH(bool, reAdded);
        TrayIcon tray(nullptr, [] { return false; });
        QSignalSpy menu(&tray, &TrayIcon::menuRequested);
        tray.AddTrayIcon();
        QVERIFY(tray.isShown());
        QCOMPARE(tray.tip(), texts::trayTip());
        auto* icon = tray.findChild<QSystemTrayIcon*>();
        QVERIFY(!icon->icon().pixmap(16).isNull());
        icon->hide();
        icon->setToolTip(u"stale"_s);
        Q_EMIT icon->activated(reason);
        QCOMPARE(menu.count(), menus);
        QCOMPARE(tray.isShown(), reAdded);
        QCOMPARE(tray.tip(), reAdded ? texts::trayTip() : u"stale"_s);
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
