// The status window on the offscreen platform: newest first, states in
// words and colour, the filter, the search box, rows a screen reader reads
// whole, and "Reinvia" on the faxes that did not go.

#include "ClientTexts.h"
#include "FaxHistory.h"
#include "FaxHistoryModel.h"
#include "FaxStatusWindow.h"
#include "ManualTimer.h"
#include "MockClock.h"
#include "OtherProgram.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kestrel;

class TestFaxStatusWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    MockClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 15))};
    std::unique_ptr<FaxHistory> m_history;
    std::unique_ptr<FaxStatusWindow> m_window;

    // Adds a fax of each state, in this order: 1 queued ... 6 to check.
    void addOneOfEach()
    {
        const FaxState states[] = {FaxState::Queued, FaxState::Sending,   FaxState::Sent,
                                   FaxState::Failed, FaxState::Cancelled, FaxState::ToCheck};
        int job = 0;
        for (const FaxState state : states) {
            FaxRecord record;
            record.job = QString::number(++job);
            record.appliance = u"fax.local"_s;
            record.number = u"061234"_s + record.job;
            record.name = job == 4 ? u"Studio Rossi"_s : QString();
            record.state = state;
            record.reason = job == 4 ? u"Busy signal detected"_s : QString();
            m_history->add(record);
        }
    }
    QStringList listedJobs() const
    {
        QStringList jobs;
        const QAbstractItemModel* model = m_window->view()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            jobs << model->index(row, FaxHistoryModel::JobColumn).data().toString();
        return jobs;
    }
    void selectJob(const QString& job)
    {
        const QAbstractItemModel* model = m_window->view()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, FaxHistoryModel::JobColumn).data().toString() == job)
                m_window->view()->setCurrentIndex(model->index(row, 0));
        }
    }

private Q_SLOTS:
    void init()
    {
        m_window.reset();
        m_history = std::make_unique<FaxHistory>(m_dir.filePath(u"storico.db"_s), m_clock);
        addOneOfEach();
        m_window = std::make_unique<FaxStatusWindow>(*m_history);
        m_window->showInFront();
    }

    void namedAndNewestFirst()
    {
        QCOMPARE(m_window->windowTitle(), u"Stato dei fax"_s);
        QCOMPARE(m_window->accessibleName(), u"Stato dei fax"_s);
        QCOMPARE(listedJobs(), (QStringList{u"6"_s, u"5"_s, u"4"_s, u"3"_s, u"2"_s, u"1"_s}));
        // A fax added while the window is open goes on top.
        FaxRecord record;
        record.job = u"7"_s;
        m_history->add(record);
        QCOMPARE(listedJobs().first(), u"7"_s);
    }

    // Each state its words and its own colour (the words carry the meaning).
    void statesInWordsAndColour()
    {
        const QStringList words{texts::history::ToCheck, texts::history::Cancelled, texts::history::Failed,
                                texts::history::Sent,    texts::history::Sending,   texts::history::Queued};
        QSet<QRgb> colours;
        for (int row = 0; row < words.size(); ++row) {
            const QModelIndex state = m_window->view()->model()->index(row, FaxHistoryModel::StateColumn);
            QCOMPARE(state.data().toString(), words.at(row));
            colours.insert(state.data(Qt::ForegroundRole).value<QColor>().rgb());
        }
        QCOMPARE(colours.size(), words.size());
    }

    // A fax for later tells when it is to go, on its date and its state.
    void plannedTimeInTheTooltip()
    {
        FaxRecord later;
        later.job = u"7"_s;
        later.planned = QDateTime(QDate(2026, 12, 9), QTime(21, 30)).toUTC();
        m_history->add(later);
        const QAbstractItemModel* model = m_window->view()->model();
        const QString tip = texts::sendoptions::plannedTip(u"09/12/2026 21:30"_s);
        QCOMPARE(model->index(0, FaxHistoryModel::DateColumn).data(Qt::ToolTipRole).toString(), tip);
        QCOMPARE(model->index(0, FaxHistoryModel::StateColumn).data(Qt::ToolTipRole).toString(), tip);
        QVERIFY(model->index(1, FaxHistoryModel::DateColumn).data(Qt::ToolTipRole).toString() != tip);
    }

    void filter_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("all") << 0 << QStringList{u"6"_s, u"5"_s, u"4"_s, u"3"_s, u"2"_s, u"1"_s};
        QTest::newRow("unfinished or failed") << 1 << QStringList{u"6"_s, u"4"_s, u"2"_s, u"1"_s};
        QTest::newRow("unfinished") << 2 << QStringList{u"6"_s, u"2"_s, u"1"_s};
        QTest::newRow("failed") << 3 << QStringList{u"4"_s};
    }
    void filter()
    {
        QFETCH(int, entry);
        QFETCH(QStringList, listed);
        m_window->filter()->setCurrentIndex(entry);
        QCOMPARE(listedJobs(), listed);
    }

    // A fax that ends leaves the list of unfinished ones by itself.
    void filterFollowsChanges()
    {
        m_window->filter()->setCurrentIndex(2);
        JobUpdate sent;
        sent.state = FaxState::Sent;
        m_history->update(u"fax.local"_s, u"2"_s, sent, {});
        QCOMPARE(listedJobs(), (QStringList{u"6"_s, u"1"_s}));
    }

    // Why the states are from an older answer of the server, while they are.
    void serverNote()
    {
        QLabel* note = m_window->serverNote();
        QVERIFY(!note->isVisible());
        const QString away = texts::history::serverAway(u"Il server fax non risponde"_s, 2);
        m_window->setServerNote(away);
        QVERIFY(note->isVisible());
        QCOMPARE(note->text(), away);
        QCOMPARE(note->accessibleName(), away);
        m_window->setServerNote(QString());
        QVERIFY(!note->isVisible());
    }

    void rowSpokenWhole()
    {
        selectJob(u"4"_s);
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(m_window->view());
        QVERIFY(table && table->tableInterface());
        QAccessibleInterface* cell = table->tableInterface()->cellAt(2, FaxHistoryModel::StateColumn);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), texts::history::Failed);
        QCOMPARE(cell->text(QAccessible::Description),
                 texts::history::rowSpoken(u"08/12/2026 10:15"_s, u"Studio Rossi"_s, texts::history::Failed,
                                           u"Numero occupato"_s));
    }

    // The server's reason in Italian, its own words in the tooltip and in
    // the history; a reason the table does not know as it came.
    void reasonInItalian_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("shown");
        QTest::newRow("known") << u"Busy signal detected"_s << u"Numero occupato"_s;
        QTest::newRow("unknown") << u"Modem wedged"_s << u"Modem wedged"_s;
    }
    void reasonInItalian()
    {
        QFETCH(QString, reason);
        QFETCH(QString, shown);
        JobUpdate failed;
        failed.state = FaxState::Failed;
        failed.reason = reason;
        m_history->update(u"fax.local"_s, u"1"_s, failed, {});
        const QModelIndex cell = m_window->view()->model()->index(5, FaxHistoryModel::ReasonColumn);
        QCOMPARE(cell.data().toString(), shown);
        QCOMPARE(cell.data(Qt::ToolTipRole).toString(), reason);
        QCOMPARE(m_history->records().at(0).reason, reason);
    }

    // Ctrl+F, then typing: the list narrows to the faxes found.
    void searchByKeyboard_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("a name, case aside") << u"ROSSI"_s << QStringList{u"4"_s};
        QTest::newRow("a number, written otherwise") << u"06 1234-5"_s << QStringList{u"5"_s};
        QTest::newRow("part of every number")
            << u"1234"_s << QStringList{u"6"_s, u"5"_s, u"4"_s, u"3"_s, u"2"_s, u"1"_s};
        QTest::newRow("nothing") << u"Bianchi"_s << QStringList{};
    }
    void searchByKeyboard()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, listed);
        QLineEdit* search = m_window->searchBox();
        QCOMPARE(search->accessibleName(), u"Cerca fax"_s);
        QCOMPARE(search->placeholderText(), u"Cerca per numero, nome o N. fax"_s);
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keySequence(m_window.get(), QKeySequence::Find);
        QCOMPARE(QApplication::focusWidget(), search);
        QTest::keyClicks(search, typed);
        QTRY_COMPARE(listedJobs(), listed);
        // Escape lists every fax again.
        QTest::keyClick(search, Qt::Key_Escape);
        QCOMPARE(listedJobs().size(), 6);
    }

    // The search and the filter together; a fax they hide, shown from a
    // notice, clears both.
    void searchWithinTheFilter()
    {
        m_window->filter()->setCurrentIndex(2); // unfinished: 6, 2, 1
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keySequence(m_window.get(), QKeySequence::Find);
        QTest::keyClicks(m_window->searchBox(), u"0612342"_s);
        QTRY_COMPARE(listedJobs(), QStringList{u"2"_s});
        m_window->showFax(3);
        QCOMPARE(m_window->searchBox()->text(), QString());
        QCOMPARE(listedJobs().size(), 6);
        QCOMPARE(m_window->selectedFax(), 3);
    }

    // A fax found is acted on from its row: Down goes to the list, the
    // row's fax is the history's, not the row's number.
    void foundFaxKeepsItsActions()
    {
        QSignalSpy resend(m_window.get(), &FaxStatusWindow::resendRequested);
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keySequence(m_window.get(), QKeySequence::Find);
        QTest::keyClicks(m_window->searchBox(), u"rossi"_s);
        QTest::keyClick(m_window->searchBox(), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), m_window->view());
        QCOMPARE(listedJobs(), QStringList{u"4"_s});
        QCOMPARE(m_window->selectedFax(), 3);
        QVERIFY(m_window->resendButton()->isEnabled());
        QTest::mouseClick(m_window->resendButton(), Qt::LeftButton);
        QCOMPARE(resend.size(), 1);
        QCOMPARE(resend.at(0).at(0).toInt(), 3);
    }

    // On the worker: only the last search's result is used, and a fax
    // added meanwhile is matched too.
    void searchOnTheWorker()
    {
        auto* shown = qobject_cast<FaxHistoryFilter*>(m_window->view()->model());
        QVERIFY(shown);
        shown->setBackgroundFrom(1);
        shown->setSearch(u"0612343"_s);
        shown->setSearch(u"rossi"_s);
        QVERIFY(!shown->isSearchSettled());
        FaxRecord record;
        record.job = u"7"_s;
        record.name = u"Rossi e figli"_s;
        m_history->add(record);
        QTRY_VERIFY(shown->isSearchSettled());
        QCOMPARE(listedJobs(), (QStringList{u"7"_s, u"4"_s}));
        // Whatever the worker still had to say about the first search.
        QTest::qWait(50);
        QCOMPARE(listedJobs(), (QStringList{u"7"_s, u"4"_s}));
    }

    void resendOnlyWhatDidNotGo_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<bool>("offered");
        QTest::newRow("failed") << u"4"_s << true;
        QTest::newRow("cancelled") << u"5"_s << true;
        QTest::newRow("sent") << u"3"_s << false;
        // It may have gone: sending it again could send it twice.
        QTest::newRow("to check") << u"6"_s << false;
    }
    void resendOnlyWhatDidNotGo()
    {
        QFETCH(QString, job);
        QFETCH(bool, offered);
        QSignalSpy resend(m_window.get(), &FaxStatusWindow::resendRequested);
        selectJob(job);
        QCOMPARE(m_window->resendButton()->isEnabled(), offered);
        QTest::mouseClick(m_window->resendButton(), Qt::LeftButton);
        QCOMPARE(resend.size(), offered ? 1 : 0);
        if (offered)
            QCOMPARE(resend.at(0).at(0).toInt(), job.toInt() - 1);
    }

    // While the list is not the file's, the window says so in a line of its
    // own; the faxes of a file held at the start come in, below, when read.
    void saysWhenTheListIsNotSaved()
    {
        const QString path = m_dir.filePath(u"held.db"_s);
        {
            FaxHistory earlier(path, m_clock);
            FaxRecord record;
            record.job = u"1"_s;
            earlier.add(record);
        }
        test::ManualTimer timer;
        FaxHistory history(path, m_clock);
        history.setBusyTimeout(20);
        history.setRetryTimer(timer);
        {
            test::OtherProgram other(path);
            QVERIFY(other.exec(u"BEGIN EXCLUSIVE"_s));
            (void)history.open(); // fails under the lock: the window is what is looked at
            m_window = std::make_unique<FaxStatusWindow>(history);
            m_window->showInFront();
            QVERIFY(m_window->unsavedLine()->isVisible());
            QVERIFY(m_window->unsavedLine()->text().startsWith(texts::history::NotRead));
            QVERIFY(other.exec(u"ROLLBACK"_s));
            // Read now; a reader's lock keeps the new fax from the file.
            QVERIFY(other.holdReadLock());
            FaxRecord record;
            record.job = u"2"_s;
            history.add(record);
            QCOMPARE(listedJobs(), (QStringList{u"2"_s, u"1"_s}));
            QCOMPARE(m_window->unsavedLine()->text(), texts::history::NotSaved + history.fileProblem());
            QVERIFY(other.exec(u"ROLLBACK"_s));
        }
        timer.fire();
        QVERIFY(!m_window->unsavedLine()->isVisible());
        m_window.reset();
    }

    // The fax a notice was about, even when the filter hid it.
    void showFax()
    {
        m_window->filter()->setCurrentIndex(3);
        m_window->showFax(2);
        QCOMPARE(m_window->currentFax(), 2);
        QCOMPARE(m_window->filter()->currentIndex(), 0);
    }
};

QTEST_MAIN(TestFaxStatusWindow)
#include "tst_faxstatuswindow.moc"
