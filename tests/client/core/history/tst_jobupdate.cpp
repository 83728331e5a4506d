// What the fax server's reports and the appliance's pages make of a fax of
// the history.

#include "ClientTexts.h"
#include "JobUpdate.h"
#include "RecordingFaxStatus.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace kestrel;
using State = JobReport::State;

Q_DECLARE_METATYPE(kestrel::FaxState)
Q_DECLARE_METATYPE(std::optional<kestrel::FaxState>)

class TestJobUpdate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void serverStates_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<std::optional<FaxState>>("expected");
        QTest::newRow("queued") << int(State::Queued) << std::optional(FaxState::Queued);
        QTest::newRow("sending") << int(State::Sending) << std::optional(FaxState::Sending);
        QTest::newRow("sent") << int(State::Sent) << std::optional(FaxState::Sent);
        QTest::newRow("failed") << int(State::Failed) << std::optional(FaxState::Failed);
        QTest::newRow("cancelled") << int(State::Cancelled) << std::optional(FaxState::Cancelled);
        QTest::newRow("unknown") << int(State::Unknown) << std::optional<FaxState>();
    }
    void serverStates()
    {
        QFETCH(int, state);
        QFETCH(std::optional<FaxState>, expected);
        const JobUpdate update =
            JobUpdate::fromReport(test::report(u"7"_s, State(state), u"Busy"_s, 1, 2, 3));
        QCOMPARE(update.state, expected);
        QCOMPARE(update.unknownToServer, !expected);
        QCOMPARE(update.reason, expected ? std::optional(u"Busy"_s) : std::nullopt);
    }

    // A page may move a fax on its way, never end it, never move it back;
    // a job of another owner or number on it is not the history's fax.
    void pages_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("number");
        QTest::addColumn<FaxState>("before");
        QTest::addColumn<FaxState>("after");
        QTest::addColumn<QString>("reason");
        const QString our = u"ufficio"_s;
        const QString number = u"00612345"_s;
        QTest::newRow("queued, then sending")
            << u"SENDING"_s << false << our << number << FaxState::Queued << FaxState::Sending << QString();
        QTest::newRow("letter S, lower case") << u" s"_s << false << QString() << QString()
                                              << FaxState::Queued << FaxState::Queued << QString();
        QTest::newRow("sending is not moved back")
            << u"READY"_s << false << our << number << FaxState::Sending << FaxState::Sending << QString();
        QTest::newRow("done on the finished page ends nothing")
            << u"DONE"_s << true << our << number << FaxState::Queued << FaxState::Queued << QString();
        QTest::newRow("to be checked waits for the server")
            << u"SENDING"_s << false << our << number << FaxState::ToCheck << FaxState::ToCheck << QString();
        QTest::newRow("another user's job") << u"DONE"_s << true << u"luigi"_s << number << FaxState::Queued
                                            << FaxState::ToCheck << texts::history::otherOwner(u"luigi"_s);
        QTest::newRow("another number") << u"SENDING"_s << false << our << u"0698765"_s << FaxState::Queued
                                        << FaxState::ToCheck << texts::history::otherNumber(u"0698765"_s);
    }
    void pages()
    {
        QFETCH(QString, word);
        QFETCH(bool, done);
        QFETCH(QString, owner);
        QFETCH(QString, number);
        QFETCH(FaxState, before);
        QFETCH(FaxState, after);
        QFETCH(QString, reason);
        FaxRecord record;
        record.number = u"0612345"_s;
        record.state = before;
        const JobChange change = applyUpdate(
            record, JobUpdate::fromPage({u"7"_s, word, owner, number}, done, u"ufficio"_s), u"gone"_s);
        QCOMPARE(record.state, after);
        QCOMPARE(record.reason, reason);
        QCOMPARE(change.changed, before != after);
        QVERIFY(!change.ended);
    }

    void applied_data()
    {
        QTest::addColumn<FaxState>("before");
        QTest::addColumn<int>("report");
        QTest::addColumn<FaxState>("after");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<bool>("lost");
        QTest::newRow("queued, then sending")
            << FaxState::Queued << int(State::Sending) << FaxState::Sending << true << false << false;
        QTest::newRow("to check, found queued")
            << FaxState::ToCheck << int(State::Queued) << FaxState::Queued << true << false << false;
        QTest::newRow("sending, then sent")
            << FaxState::Sending << int(State::Sent) << FaxState::Sent << true << true << false;
        QTest::newRow("to check, found failed")
            << FaxState::ToCheck << int(State::Failed) << FaxState::Failed << true << true << false;
        // Pages fetched before the end may come after it.
        QTest::newRow("sent stays sent")
            << FaxState::Sent << int(State::Sending) << FaxState::Sent << false << false << false;
        QTest::newRow("cancelled stays")
            << FaxState::Cancelled << int(State::Failed) << FaxState::Cancelled << false << false << false;
        // Forgotten by the server (its queue cleaned): not queued for ever.
        QTest::newRow("queued, unknown to the server")
            << FaxState::Queued << int(State::Unknown) << FaxState::ToCheck << true << false << true;
        QTest::newRow("sending, unknown to the server")
            << FaxState::Sending << int(State::Unknown) << FaxState::ToCheck << true << false << true;
        QTest::newRow("to check, unknown to the server")
            << FaxState::ToCheck << int(State::Unknown) << FaxState::ToCheck << true << false << true;
    }
    void applied()
    {
        QFETCH(FaxState, before);
        QFETCH(int, report);
        QFETCH(FaxState, after);
        QFETCH(bool, changed);
        QFETCH(bool, ended);
        QFETCH(bool, lost);
        FaxRecord record;
        record.state = before;
        const JobChange change = applyUpdate(
            record, JobUpdate::fromReport(test::report(u"7"_s, State(report), u"Busy"_s, 1, 2, 3)),
            u"gone"_s);
        QCOMPARE(record.state, after);
        QCOMPARE(change.changed, changed);
        QCOMPARE(change.ended, ended);
        QCOMPARE(record.lost, lost);
        QCOMPARE(record.isTracked(), !isFinished(after) && !lost);
        if (changed)
            QCOMPARE(record.reason, lost ? u"gone"_s : u"Busy"_s);
    }

    // What the server listed is not the history's fax: another job's or
    // another user's (the control says which), or another number's.
    void notThisFax_data()
    {
        QTest::addColumn<QString>("mismatch");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("reason");
        QTest::newRow("another user's") << u"di un altro utente"_s << QString() << u"di un altro utente"_s;
        QTest::newRow("another number")
            << QString() << u"0698765"_s << texts::history::otherNumber(u"0698765"_s);
    }
    void notThisFax()
    {
        QFETCH(QString, mismatch);
        QFETCH(QString, number);
        QFETCH(QString, reason);
        FaxRecord record;
        record.number = u"06 12345"_s;
        JobReport report = test::report(u"7"_s, mismatch.isEmpty() ? State::Sent : State::Unknown);
        report.mismatch = mismatch;
        report.number = number;
        const JobChange change = applyUpdate(record, JobUpdate::fromReport(report), u"gone"_s);
        QCOMPARE(record.state, FaxState::ToCheck);
        QCOMPARE(record.reason, reason);
        QVERIFY(change.changed && !change.ended && !record.isTracked());
        // The number with the line's prefix is the same number.
        FaxRecord prefixed;
        prefixed.number = u"06 12345"_s;
        report = test::report(u"7"_s, State::Sent);
        report.number = u"0061-2345"_s;
        QVERIFY(applyUpdate(prefixed, JobUpdate::fromReport(report), u"gone"_s).ended);
        QCOMPARE(prefixed.state, FaxState::Sent);
    }

    // A number busy twice was dialled twice and tried by the server never.
    void dialsAreTries()
    {
        FaxRecord record;
        JobReport report = test::report(u"7"_s, State::Failed, u"Busy signal detected"_s);
        report.dials = 2;
        applyUpdate(record, JobUpdate::fromReport(report), u"gone"_s);
        QCOMPARE(record.tries, 2);
    }
};

QTEST_GUILESS_MAIN(TestJobUpdate)
#include "tst_jobupdate.moc"
