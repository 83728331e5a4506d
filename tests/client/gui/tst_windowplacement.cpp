// How the client's windows come forward and where the send window sits.

#include "ScreenTwips.h"
#include "WindowPlacement.h"

#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;
using namespace kestrel;

class TestWindowPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // However it was left, the window is shown, not minimized, and active.
    void showInFront_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("never shown") << u"hidden"_s;
        QTest::newRow("minimized") << u"minimized"_s;
        QTest::newRow("behind another") << u"behind"_s;
    }
    void showInFront()
    {
        QFETCH(QString, before);
        QWidget window;
        QWidget other;
        window.resize(200, 100);
        if (before == u"minimized"_s) {
            window.showMinimized();
            QVERIFY(window.isMinimized());
        } else if (before == u"behind"_s) {
            window.show();
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        WindowPlacement::showInFront(&window);
        QVERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

    // Its frame ends where the free area of the screen ends, right and
    // bottom.
    void toBottomRight()
    {
        QWidget window;
        window.resize(300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        WindowPlacement::toBottomRight(&window);
        const QRect area = ScreenTwips::availableArea(&window);
        const QRect frame = window.frameGeometry();
        QCOMPARE(frame.right(), area.right());
        QCOMPARE(frame.bottom(), area.bottom());
    }
};

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
