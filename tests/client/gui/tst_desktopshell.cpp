#include "DesktopShell.h"

#include <QTest>
#include <QWidget>

using namespace kestrel;

class TestDesktopShell : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void alwaysOnTop_data()
    {
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("flag");
        QTest::newRow("shown, on") << true << true;
        QTest::newRow("shown, off") << true << false;
        QTest::newRow("hidden, on") << false << true;
    }
    // Changing the hint re-creates the window hidden; it must come back
    // as it was, where it was.
    void alwaysOnTop()
    {
        QFETCH(bool, visible);
        QFETCH(bool, flag);
        QWidget window;
        window.setWindowFlag(Qt::WindowStaysOnTopHint, !flag);
        window.setGeometry(120, 80, 331, 403);
        window.setVisible(visible);
        DesktopShell().SetAlwaysOnTop(&window, flag);
        QCOMPARE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), flag);
        QCOMPARE(window.isVisible(), visible);
        QCOMPARE(window.geometry(), QRect(120, 80, 331, 403));
    }
};

QTEST_MAIN(TestDesktopShell)
#include "tst_desktopshell.moc"
