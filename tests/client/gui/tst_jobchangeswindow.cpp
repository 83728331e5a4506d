// Stopping and moving a fax from the status window, on the offscreen
// platform, as a user does it: the row, the button, the question, the
// server's answer (a stand-in for the control library's status class), and
// what the history and the window then say.

#include "ClientTexts.h"
#include "FaxHistory.h"
#include "FaxHistoryModel.h"
#include "FaxStatusHost.h"
#include "FaxStatusWindow.h"
#include "JobChanges.h"
#include "ManualTimer.h"
#include "MockClock.h"
#include "RecordingFaxStatus.h"
#include "ScriptedMessageBox.h"

#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kestrel;

using Outcome = JobActionReport::Outcome;

Q_DECLARE_METATYPE(kestrel::MsgAnswer)
Q_DECLARE_METATYPE(QList<kestrel::JobActionReport>)

class TestJobChangesWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    MockClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 15))};
    std::unique_ptr<FaxHistory> m_history;
    FaxStatusHost m_host;
    test::RecordingFaxStatus* m_query = nullptr;
    test::ManualTimer m_timer;
    std::unique_ptr<StatusTracker> m_tracker;
    std::unique_ptr<JobChanges> m_changes;
    test::ScriptedMessageBox m_box;
    std::unique_ptr<FaxStatusWindow> m_window;

    // Job 7 queued, 8 being sent, 9 sent, 10 lost (to be checked).
    void addFaxes()
    {
        const std::pair<FaxState, bool> faxes[] = {{FaxState::Queued, false},
                                                   {FaxState::Sending, false},
                                                   {FaxState::Sent, false},
                                                   {FaxState::Queued, true}};
        int job = 6;
        for (const auto& [state, lost] : faxes) {
            FaxRecord record;
            record.job = QString::number(++job);
            record.appliance = u"fax.local"_s;
            record.number = u"061234"_s + record.job;
            record.name = job == 7 ? u"Studio Rossi"_s : QString();
            record.state = state;
            record.lost = lost;
            m_history->add(record);
        }
    }
    void selectJob(const QString& job)
    {
        const QAbstractItemModel* model = m_window->view()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, FaxHistoryModel::JobColumn).data().toString() == job)
                m_window->view()->setCurrentIndex(model->index(row, 0));
        }
    }
    QString stateShown(const QString& job) const
    {
        const QAbstractItemModel* model = m_window->view()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, FaxHistoryModel::JobColumn).data().toString() == job)
                return model->index(row, FaxHistoryModel::StateColumn).data().toString();
        }
        return {};
    }
    const FaxRecord& record(const QString& job) const
    {
        return m_history->records().at(m_history->indexOf(u"fax.local"_s, job));
    }

private Q_SLOTS:
    void init()
    {
        m_window.reset();
        m_changes.reset();
        m_tracker.reset();
        QFile::remove(m_dir.filePath(u"storico.db"_s));
        m_history = std::make_unique<FaxHistory>(m_dir.filePath(u"storico.db"_s), m_clock);
        QVERIFY(m_history->open());
        addFaxes();
        auto query = std::make_unique<test::RecordingFaxStatus>();
        m_query = query.get();
        m_host.adopt(std::move(query));
        m_tracker = std::make_unique<StatusTracker>(*m_history, m_host, m_timer);
        m_tracker->setServer([] {
            return StatusTracker::Server{u"fax.local"_s, u"ufficio"_s, u"segreta"_s};
        });
        m_changes = std::make_unique<JobChanges>(*m_history, m_host, *m_tracker);
        m_box = test::ScriptedMessageBox();
        m_window = std::make_unique<FaxStatusWindow>(*m_history);
        m_window->setJobChanges(m_changes.get(), &m_box);
        m_window->showInFront();
    }

    // Which faxes the buttons are for; a screen reader names them.
    void enabledFor_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("move");
        QTest::newRow("queued") << u"7"_s << true << true;
        QTest::newRow("being sent") << u"8"_s << true << false;
        QTest::newRow("sent") << u"9"_s << false << false;
        QTest::newRow("lost") << u"10"_s << false << false;
    }
    void enabledFor()
    {
        QFETCH(QString, job);
        QFETCH(bool, cancel);
        QFETCH(bool, move);
        selectJob(job);
        QCOMPARE(m_window->cancelButton()->accessibleName(), u"Annulla fax"_s);
        QCOMPARE(m_window->moveButton()->accessibleName(), u"Sposta invio..."_s);
        QVERIFY(m_window->cancelButton()->isVisible());
        QCOMPARE(m_window->cancelButton()->isEnabled(), cancel);
        QCOMPARE(m_window->moveButton()->isEnabled(), move);
    }

    // "Annulla fax": one question naming the fax; the history reads
    // "Annullato" only once the server confirmed.
    void cancel_data()
    {
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<QList<JobActionReport>>("reports");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("note");
        const QString refusal = u"Il fax n. 7 sul server fax è di un altro utente (luigi)"_s;
        QTest::newRow("confirmed") << MsgAnswer::Yes << QList{test::acted(u"7"_s, Outcome::Done)} << QString()
                                   << texts::history::Cancelled << u"Il fax n. 7 è stato annullato."_s;
        QTest::newRow("refused") << MsgAnswer::Yes << QList{test::acted(u"7"_s, Outcome::Refused, refusal)}
                                 << QString() << texts::history::Queued << refusal;
        QTest::newRow("unknown to the server")
            << MsgAnswer::Yes
            << QList{test::acted(u"7"_s, Outcome::Unknown, u"Il server fax non conosce il fax n. 7"_s)}
            << QString() << texts::history::Queued << u"Il server fax non conosce il fax n. 7"_s;
        QTest::newRow("server away") << MsgAnswer::Yes << QList<JobActionReport>()
                                     << u"Connessione rifiutata"_s << texts::history::Queued
                                     << u"Il fax n. 7 non è stato modificato: Connessione rifiutata"_s;
        QTest::newRow("the user says no")
            << MsgAnswer::No << QList<JobActionReport>() << QString() << texts::history::Queued << QString();
    }
    void cancel()
    {
        QFETCH(MsgAnswer, answer);
        QFETCH(QList<JobActionReport>, reports);
        QFETCH(QString, error);
        QFETCH(QString, state);
        QFETCH(QString, note);
        QSignalSpy ended(m_changes.get(), &JobChanges::faxEnded);
        selectJob(u"7"_s);
        m_box.setNextAnswers({answer});
        QTest::mouseClick(m_window->cancelButton(), Qt::LeftButton);
        QCOMPARE(m_box.texts(), QStringList{texts::history::cancelQuestion(u"7"_s, u"Studio Rossi"_s)});
        if (answer != MsgAnswer::Yes) {
            QVERIFY(m_query->cancels.isEmpty());
        } else {
            QCOMPARE(m_query->cancels, QList<QStringList>{{u"7"_s}});
            QCOMPARE(m_query->address, u"fax.local"_s);
            QCOMPARE(m_query->user, u"ufficio"_s);
            // Nothing changes before the server's answer; no second request.
            QCOMPARE(stateShown(u"7"_s), texts::history::Queued);
            QVERIFY(!m_window->cancelButton()->isEnabled());
            m_query->act(reports, error);
        }
        QCOMPARE(stateShown(u"7"_s), state);
        QCOMPARE(record(u"7"_s).state == FaxState::Cancelled, state == texts::history::Cancelled);
        QCOMPARE(ended.size(), state == texts::history::Cancelled ? 1 : 0);
        QCOMPARE(m_window->changeNote()->text(), note);
        QCOMPARE(m_window->changeNote()->isVisible(), !note.isEmpty());
        QTRY_COMPARE(m_window->cancelButton()->isEnabled(), state != texts::history::Cancelled);
        // The history file holds it as the window shows it.
        m_window.reset();
        m_changes.reset();
        m_tracker.reset();
        m_history.reset();
        FaxHistory reread(m_dir.filePath(u"storico.db"_s), m_clock);
        QVERIFY(reread.open());
        QVERIFY(reread.indexOf(u"fax.local"_s, u"7"_s) >= 0);
        QCOMPARE(reread.records().at(reread.indexOf(u"fax.local"_s, u"7"_s)).state == FaxState::Cancelled,
                 state == texts::history::Cancelled);
    }

    void sendTimeProblem_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("problem");
        const QDateTime now(QDate(2026, 12, 8), QTime(10, 15, 30));
        QTest::newRow("a minute ahead") << now.addSecs(60) << QString();
        QTest::newRow("now") << now << QString();
        QTest::newRow("a second ago") << now.addSecs(-1) << texts::history::SendTimePast;
        QTest::newRow("a year ahead") << now.addYears(1) << QString();
        QTest::newRow("beyond a year") << now.addYears(1).addSecs(60) << texts::history::SendTimeTooFar;
        QTest::newRow("no time") << QDateTime() << texts::history::SendTimePast;
    }
    void sendTimeProblem()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, problem);
        QCOMPARE(JobChanges::sendTimeProblem(when, QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30))),
                 problem);
    }

    // "Sposta invio...": a time in the past is refused in the dialog, a
    // time ahead goes to the server; the history keeps the fax queued.
    void move()
    {
        selectJob(u"7"_s);
        QTest::mouseClick(m_window->moveButton(), Qt::LeftButton);
        QDialog* dialog = m_window->moveDialog();
        QVERIFY(dialog);
        auto* when = dialog->findChild<QDateTimeEdit*>(u"sendTime"_s);
        QVERIFY(when);
        QCOMPARE(when->accessibleName(), u"Nuovo orario di invio:"_s);
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);

        when->setDateTime(QDateTime::currentDateTime().addSecs(-3600));
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(m_box.texts(), QStringList{texts::history::SendTimePast});
        QVERIFY(m_query->moves.isEmpty());
        QVERIFY(dialog->isVisible());

        const QDateTime later(QDate::currentDate().addDays(2), QTime(21, 30));
        when->setDateTime(later);
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(m_query->moves.size(), 1);
        QCOMPARE(m_query->moves.at(0).first, u"7"_s);
        QCOMPARE(m_query->moves.at(0).second, later);
        JobActionReport moved = test::acted(u"7"_s, Outcome::Done, {}, JobActionReport::Action::Move);
        moved.sendTime = later.toUTC();
        m_query->act({moved});
        QCOMPARE(m_window->changeNote()->text(), texts::history::moveConfirmed(u"7"_s, later));
        QCOMPARE(stateShown(u"7"_s), texts::history::Queued);
        // The history plans it for the time the server confirmed.
        QCOMPARE(
            m_history->records().at(m_history->indexOf(m_history->records().at(0).appliance, u"7"_s)).planned,
            later.toUTC());
        QTRY_VERIFY(!m_window->moveDialog());
    }
};

QTEST_MAIN(TestJobChangesWindow)
#include "tst_jobchangeswindow.moc"
