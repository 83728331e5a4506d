// What the fax server's reports and the appliance's pages make of a fax of
// the history.

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

    void pageWords_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("done");
        QTest::addColumn<std::optional<FaxState>>("expected");
        QTest::newRow("pending SENDING") << u"SENDING"_s << false << std::optional(FaxState::Sending);
        QTest::newRow("pending ready, lower case") << u" ready"_s << false << std::optional(FaxState::Queued);
        QTest::newRow("pending letter S") << u"S"_s << false << std::optional(FaxState::Queued);
        QTest::newRow("finished DONE") << u"DONE"_s << true << std::optional(FaxState::Sent);
        QTest::newRow("finished FAILED") << u"FAILED"_s << true << std::optional(FaxState::Failed);
        QTest::newRow("finished KILLED") << u"KILLED"_s << true << std::optional(FaxState::Cancelled);
        // A word out of its page says nothing certain.
        QTest::newRow("DONE on the pending page") << u"DONE"_s << false << std::optional<FaxState>();
        QTest::newRow("SENDING on the finished page") << u"SENDING"_s << true << std::optional<FaxState>();
        QTest::newRow("unknown word") << u"?"_s << true << std::optional<FaxState>();
    }
    void pageWords()
    {
        QFETCH(QString, word);
        QFETCH(bool, done);
        QFETCH(std::optional<FaxState>, expected);
        QCOMPARE(JobUpdate::fromPageState(word, done).state, expected);
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
        QTest::newRow("unknown to the server")
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
};

QTEST_GUILESS_MAIN(TestJobUpdate)
#include "tst_jobupdate.moc"
