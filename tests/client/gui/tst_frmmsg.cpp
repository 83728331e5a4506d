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
        QTRY_VERIFY(window.isNull());
    }

    // A later notice waits for its turn and then shows for its own time:
    // each is seen (the capture port's notice came while another showed).
    void laterNoticeWaitsItsTurn()
    {
        FrmMsg::setCloseInterval(200);
        FrmMsg::ShowNotice(u"Appliance KESTREL Offline"_s);
        QPointer<FrmMsg> window = FrmMsg::loaded();
        QLabel* label = window->findChild<QLabel*>(u"Label1"_s);
        FrmMsg::ShowNotice(u"porta 9100 occupata"_s);
        FrmMsg::ShowNotice(u"porta 9100 occupata"_s); // said once
        QCOMPARE(label->text(), u"Appliance KESTREL Offline"_s);
        QCOMPARE(window->waitingNotices(), QStringList{u"porta 9100 occupata"_s});
        QTRY_COMPARE(label->text(), u"porta 9100 occupata"_s);
        QVERIFY(window->isVisible());
        QVERIFY(window->findChild<QTimer*>(u"Timer1"_s)->isActive());
        QTRY_VERIFY(window.isNull());
    }

    // Behind the desktop contacts' notice, which stays until their load
    // closes it: a notice that came meanwhile shows then, for its time.
    void noticeBehindAHeldOne()
    {
        FrmMsg::setCloseInterval(100);
        FrmMsg::ShowNotice(u"Caricamento contatti"_s);
        FrmMsg::load().setTimerEnabled(false);
        QPointer<FrmMsg> held = FrmMsg::loaded();
        FrmMsg::ShowNotice(u"porta 9100 occupata"_s);
        QTest::qWait(300);
        QCOMPARE(held->findChild<QLabel*>(u"Label1"_s)->text(), u"Caricamento contatti"_s);
        held->close();
        FrmMsg* next = FrmMsg::loaded();
        QVERIFY(next && next != held.data() && next->isVisible());
        QCOMPARE(next->findChild<QLabel*>(u"Label1"_s)->text(), u"porta 9100 occupata"_s);
        QVERIFY(next->findChild<QTimer*>(u"Timer1"_s)->isActive());
    }

    // The desktop contacts' notice came while another showed for its time:
    // their load closing it takes away theirs only.
    void heldNoticeBehindATimedOne()
    {
        FrmMsg::setCloseInterval(60000);
        FrmMsg::ShowNotice(u"Appliance KESTREL Offline"_s);
        FrmMsg::ShowNotice(u"Caricamento contatti"_s);
        FrmMsg::load().setTimerEnabled(false);
        FrmMsg* window = FrmMsg::loaded();
        QVERIFY(window->findChild<QTimer*>(u"Timer1"_s)->isActive());
        QVERIFY(!window->close());
        QCOMPARE(FrmMsg::loaded(), window);
        QCOMPARE(window->findChild<QLabel*>(u"Label1"_s)->text(), u"Appliance KESTREL Offline"_s);
        QVERIFY(window->waitingNotices().isEmpty());
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
