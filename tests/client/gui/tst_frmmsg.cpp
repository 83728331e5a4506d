#include "FrmMsg.h"

#include "ClientTexts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestFrmMsg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        if (FrmMsg* window = FrmMsg::loaded())
            window->close();
        QTRY_VERIFY(!FrmMsg::loaded());
        FrmMsg::setCloseInterval(FrmMsg::DefaultCloseInterval);
    }

    void showsTheNoticeAndGoesByItself()
    {
        FrmMsg::setCloseInterval(2000);
        FrmMsg::ShowNotice(u"uno"_s);
        QPointer<FrmMsg> window = FrmMsg::loaded();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(),
                 texts::noticeCaption(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
        QCOMPARE(window->grab().toImage().pixelColor(2, 2), QColor(0xFF, 0xFF, 0xC0));
        QTest::qWait(600);
        // A second notice replaces the first; the time still runs from the load.
        FrmMsg::ShowNotice(u"Appliance KESTREL Offline"_s);
        QCOMPARE(FrmMsg::loaded(), window.data());
        QCOMPARE(window->findChild<QLabel*>(u"Label1"_s)->text(), u"Appliance KESTREL Offline"_s);
        QVERIFY(window->findChild<QTimer*>(u"Timer1"_s)->remainingTime() <= 1500);
        QTRY_VERIFY(window.isNull());
    }

    // The desktop contacts' load keeps it up as long as it needs, and closes
    // it itself; the next notice then gets a window of its own.
    void timerSwitchedOffKeepsItOpen()
    {
        FrmMsg::setCloseInterval(100);
        FrmMsg& window = FrmMsg::load();
        window.setNotice(u"Caricamento contatti"_s);
        window.show();
        window.setTimerEnabled(false);
        QTest::qWait(300);
        QCOMPARE(FrmMsg::loaded(), &window);
        QVERIFY(window.isVisible());
        QPointer<FrmMsg> closed = &window;
        window.close();
        QVERIFY(!FrmMsg::loaded());
        FrmMsg::ShowNotice(u"dopo"_s);
        QVERIFY(FrmMsg::loaded() != closed.data());
        QTRY_VERIFY(closed.isNull());
        QVERIFY(FrmMsg::loaded()->isVisible());
    }
};

QTEST_MAIN(TestFrmMsg)
#include "tst_frmmsg.moc"
