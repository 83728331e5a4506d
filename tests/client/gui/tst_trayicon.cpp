#include "TrayIcon.h"

#include "ClientTexts.h"
#include "ManualTimer.h"

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

    // Faxes that end together each get their message: one shows, the others
    // wait their turn (its time, or a click on it), none hides another.
    void messagesTakeTurns()
    {
        TrayIcon tray(nullptr, [] { return true; });
        test::ManualTimer timer;
        tray.setMessageTimer(&timer);
        QSignalSpy clicked(&tray, &TrayIcon::messageClicked);
        QVERIFY(!tray.showMessage(u"KESTREL"_s, u"prima"_s, false, 1)); // no icon yet to carry it
        tray.AddTrayIcon();
        for (int fax = 1; fax <= 3; ++fax)
            QVERIFY(tray.showMessage(u"KESTREL"_s, u"fax %1"_s.arg(fax), fax == 2, fax));
        QCOMPARE(tray.shownMessage(), u"fax 1"_s);
        QCOMPARE(tray.waitingMessages(), 2);
        QCOMPARE(timer.interval, TrayIcon::MessageMs);
        timer.fire();
        QCOMPARE(tray.shownMessage(), u"fax 2"_s);
        Q_EMIT tray.findChild<QSystemTrayIcon*>()->messageClicked();
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), 2); // the one clicked, not the last one given
        QCOMPARE(tray.shownMessage(), u"fax 3"_s);
        timer.fire();
        QCOMPARE(tray.shownMessage(), QString());
        QVERIFY(!timer.isActive());
        QVERIFY(tray.showMessage(u"KESTREL"_s, u"fax 4"_s, false, 4)); // shows at once
        QCOMPARE(tray.shownMessage(), u"fax 4"_s);
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
