// What the client's tracker and corvafax-send --wait share when they follow
// jobs on the fax server: the wait between questions, one question at a
// time.

#include "FaxStatusPoll.h"
#include "RecordingFaxStatus.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kestrel;
using State = JobReport::State;

class TestFaxStatusPoll : public QObject
{
    Q_OBJECT
    FaxStatusHost m_host;
    test::RecordingFaxStatus* m_query = nullptr;

private Q_SLOTS:
    void init()
    {
        auto query = std::make_unique<test::RecordingFaxStatus>();
        m_query = query.get();
        m_host.adopt(std::move(query));
    }

    // Steps: "longer" (lengthenWait), "reset", "shortest <ms>".
    void spacing_data()
    {
        QTest::addColumn<int>("shortest");
        QTest::addColumn<int>("longest");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<int>>("waits");
        const QStringList fiveLonger(5, u"longer"_s);
        QTest::newRow("doubles up to the longest")
            << 1000 << 5000 << fiveLonger << QList<int>{1000, 2000, 4000, 5000, 5000, 5000};
        QTest::newRow("the client's: 30 s to 10 min")
            << 30000 << 600000 << fiveLonger << QList<int>{30000, 60000, 120000, 240000, 480000, 600000};
        QTest::newRow("reset: back to the shortest")
            << 1000 << 5000 << QStringList{u"longer"_s, u"longer"_s, u"reset"_s, u"longer"_s}
            << QList<int>{1000, 2000, 4000, 1000, 2000};
        QTest::newRow("another shortest, in force at once")
            << 30000 << 600000 << QStringList{u"longer"_s, u"shortest 200"_s, u"longer"_s}
            << QList<int>{30000, 60000, 200, 400};
    }
    void spacing()
    {
        QFETCH(int, shortest);
        QFETCH(int, longest);
        QFETCH(QStringList, steps);
        FaxStatusPoll poll(m_host, shortest, longest);
        QList<int> waits{poll.waitMs()};
        for (const QString& step : std::as_const(steps)) {
            if (step == u"longer"_s)
                poll.lengthenWait();
            else if (step == u"reset"_s)
                poll.resetWait();
            else
                poll.setShortestMs(step.section(u' ', 1).toInt());
            waits << poll.waitMs();
        }
        QTEST(waits, "waits");
    }

    // One question at a time; the query's words come through, and the
    // handler of an end may ask the next question.
    void questions()
    {
        FaxStatusPoll poll(m_host, 1000, 5000);
        QSignalSpy reports(&poll, &FaxStatusPoll::jobReported);
        QStringList errors;
        connect(&poll, &FaxStatusPoll::queryEnded, this, [&](const QString& error) {
            errors << error;
            if (errors.size() == 1)
                QVERIFY(poll.ask({u"8"_s}));
        });
        QVERIFY(!poll.ask({}));
        QVERIFY(poll.ask({u"7"_s, u"8"_s}));
        QVERIFY(poll.isAsking());
        QVERIFY(!poll.ask({u"9"_s}));
        m_query->answer({test::report(u"7"_s, State::Sent)});
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.at(0).at(0).value<JobReport>().job, u"7"_s);
        QVERIFY(poll.isAsking());
        m_query->answer({}, u"Impossibile collegarsi"_s);
        QCOMPARE(errors, (QStringList{QString(), u"Impossibile collegarsi"_s}));
        QCOMPARE(m_query->queries, (QList<QStringList>{{u"7"_s, u"8"_s}, {u"8"_s}}));
        QVERIFY(!poll.isAsking());
    }
};

QTEST_GUILESS_MAIN(TestFaxStatusPoll)
#include "tst_faxstatuspoll.moc"
