#include "Dialog.h"

#include "ClientTexts.h"
#include "DialogLoader.h"
#include "RecordingShell.h"
#include "ScreenTwips.h"
#include "ScriptedMessageBox.h"
#include "TrayMenu.h"

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace kestrel;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(kestrel::MsgAnswer)

namespace {

// Answers Yes once something has happened meanwhile, as a user who lets
// the question wait.
struct WaitingMessageBox : IMessageBox
{
    std::function<void()> meanwhile;
    MsgAnswer show(const MessageBoxRequest&) override
    {
        meanwhile();
        return MsgAnswer::Yes;
    }
};

int bottom()
{
    const QRect area = ScreenTwips::availableArea(nullptr);
    return area.y() + area.height();
}

} // namespace

class TestDialog : public QObject
{
    Q_OBJECT

    test::ScriptedMessageBox m_box;
    test::RecordingShell m_shell;

private Q_SLOTS:
    void cleanup()
    {
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
        m_box.clear();
    }

    void slidesUpFromBelowTheScreen()
    {
        TrayMenu menu(dialogLoader(m_box, m_shell, {1, 60000}));
        menu.open();
        QWidget* dialog = menu.dialog();
        const QRect area = ScreenTwips::availableArea(dialog);
        QCOMPARE(dialog->geometry(), QRect(QPoint(area.x() + area.width() - dialog->width(), bottom()),
                                           ScreenTwips::size(dialog, 2295, 2025)));
        QTRY_VERIFY(!dialog->findChild<QTimer*>(u"t1"_s)->isActive());
        QCOMPARE(dialog->y(), bottom() - dialog->height());
    }

    // Screen readers and automation find the menu by its name.
    void menuHasAName()
    {
        TrayMenu menu(dialogLoader(m_box, m_shell, {1, 60000}));
        menu.open();
        QCOMPARE(menu.dialog()->accessibleName(), texts::TrayMenuName);
        QCOMPARE(menu.dialog()->windowTitle(), texts::TrayMenuName);
    }

    // The menu that is up keeps its slide and its time; once it has gone
    // by itself, the next request brings a new one up from below.
    void oneMenuAtATime()
    {
        TrayMenu menu(dialogLoader(m_box, m_shell, {40, 2000}));
        menu.open();
        QPointer<QWidget> first = menu.dialog();
        QTest::qWait(600);
        const int top = first->y();
        QVERIFY(top < bottom());
        menu.open();
        QCOMPARE(menu.dialog(), first.data());
        QVERIFY(first->y() <= top);
        QVERIFY(first->findChild<QTimer*>(u"t2"_s)->remainingTime() <= 1600);
        QCOMPARE(QApplication::topLevelWidgets().size(), 1);

        QTRY_VERIFY(first.isNull());
        menu.open();
        QCOMPARE(menu.dialog()->y(), bottom());
    }

    void entries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("key"); // 0: a mouse click
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<bool>("stays");
        const MsgAnswer yes = MsgAnswer::Yes;
        QTest::newRow("Invia FAX") << u"lbl2"_s << 0 << yes << u"send"_s << false;
        QTest::newRow("Stato dei fax")
            << u"statusEntry"_s << int(Qt::Key_Space) << yes << u"status"_s << false;
        QTest::newRow("Setup, Return") << u"lbl3"_s << int(Qt::Key_Return) << yes << u"setup"_s << false;
        QTest::newRow("Esci, Space, Yes") << u"lbl4"_s << int(Qt::Key_Space) << yes << u"quit"_s << true;
        QTest::newRow("Esci, No") << u"lbl4"_s << 0 << MsgAnswer::No << QString() << true;
        QTest::newRow("FeedBack") << u"Label1"_s << 0 << yes << QString() << true;
    }
    void entries()
    {
        QFETCH(QString, entry);
        QFETCH(int, key);
        QFETCH(MsgAnswer, answer);
        QFETCH(QString, signal);
        QFETCH(bool, stays);
        TrayMenu menu(dialogLoader(m_box, m_shell));
        QSignalSpy send(&menu, &TrayMenu::sendWindowRequested);
        QSignalSpy status(&menu, &TrayMenu::statusWindowRequested);
        QSignalSpy setup(&menu, &TrayMenu::setupRequested);
        QSignalSpy quit(&menu, &TrayMenu::quitRequested);
        m_box.setNextAnswers({answer});
        const qsizetype opened = m_shell.opened().size();
        menu.open();
        QPointer<QWidget> dialog = menu.dialog();
        QLabel* label = dialog->findChild<QLabel*>(entry);
        QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
        if (key)
            QTest::keyClick(label, Qt::Key(key));
        else
            QTest::mouseClick(label, Qt::LeftButton);

        QCOMPARE(QList<int>({int(send.count()), int(status.count()), int(setup.count()), int(quit.count())}),
                 QList<int>({signal == "send"_L1, signal == "status"_L1, signal == "setup"_L1,
                             signal == "quit"_L1}));
        QCOMPARE(dialog && dialog->isVisible(), stays);
        QCOMPARE(m_box.shown().size(), entry == "lbl4"_L1 ? 1 : 0);
        if (entry == "lbl4"_L1) {
            const MessageBoxRequest& asked = m_box.shown().first();
            QCOMPARE(asked.text, u"Terminare l'applicazione ?"_s);
            QCOMPARE(asked.title, u"KESTREL WinClient"_s);
            QCOMPARE(asked.buttons, MsgButtons::YesNo);
        }
        QCOMPARE(m_shell.opened().size(), opened + (entry == "Label1"_L1 ? 1 : 0));
        if (entry == "Label1"_L1)
            QCOMPARE(m_shell.opened().last().toString(QUrl::FullyEncoded), texts::feedbackPageAddress());
    }

    // The menu's time can run out while "Esci" waits for its answer: it
    // hides, the answer still counts, and the menu goes afterwards.
    void quitQuestionOutlivesTheMenu()
    {
        QPointer<QWidget> dialog;
        bool hiddenMeanwhile = false;
        WaitingMessageBox box;
        box.meanwhile = [&] {
            QTest::qWait(300);
            hiddenMeanwhile = dialog && !dialog->isVisible();
        };
        TrayMenu menu(dialogLoader(box, m_shell, {5, 100}));
        QSignalSpy quit(&menu, &TrayMenu::quitRequested);
        menu.open();
        dialog = menu.dialog();
        QTest::mouseClick(dialog->findChild<QLabel*>(u"lbl4"_s), Qt::LeftButton);
        QVERIFY(hiddenMeanwhile);
        QCOMPARE(quit.count(), 1);
        QTRY_VERIFY(dialog.isNull());
    }
};

QTEST_MAIN(TestDialog)
#include "tst_dialog.moc"
