// Stopping or moving one fax of the client's history on a real fax server,
// for the end-to-end scripts: a history holding the fax, queued, changed by
// the job changes through the control library's status class (found
// through the component registry), then the outcome and the fax as the
// history keeps it:
//
//   job-change SERVER USER PASSWORD cancel JOB
//   job-change SERVER USER PASSWORD move JOB YYYYMMDDHHMM   (UTC)
//   -> "done MESSAGE" or "refused MESSAGE", then "JOB STATE"
//
// Exits 1 when the change was not done, 2 when it could not be asked.

#include "FaxHistory.h"
#include "FaxStatusHost.h"
#include "JobChanges.h"
#include "OneShotTimer.h"
#include "StatusTracker.h"
#include "SystemClock.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTimer>

#include <cstdio>
#include <iterator>

using namespace Qt::StringLiterals;
using namespace kestrel;

namespace {

// The history file's words for the states, in the order of FaxState.
constexpr const char* StateWords[] = {"queued", "sending", "sent", "failed", "cancelled", "tocheck"};
static_assert(std::size(StateWords) == size_t(FaxState::ToCheck) + 1);

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool move = args.value(3) == u"move"_s;
    if (args.size() != (move ? 6 : 5) || (!move && args.at(3) != u"cancel"_s)) {
        std::fprintf(stderr, "usage: job-change SERVER USER PASSWORD cancel JOB | move JOB YYYYMMDDHHMM\n");
        return 2;
    }
    const StatusTracker::Server server{args.at(0), args.at(1), args.at(2)};
    QTemporaryDir dir;
    SystemClock clock;
    FaxHistory history(dir.filePath(u"storico.db"_s), clock);
    FaxRecord record;
    record.job = args.at(4);
    record.number = u"0612345"_s;
    record.appliance = server.address;
    history.add(record);
    FaxStatusHost host;
    if (const Status created = host.create(); !created) {
        std::fprintf(stderr, "job-change: %s\n", qPrintable(created.error().message));
        return 2;
    }
    host.setWaitLimitMs(20000);
    QtOneShotTimer interval;
    StatusTracker tracker(history, host, interval);
    tracker.setServer([server] { return server; });
    JobChanges changes(history, host, tracker);
    bool ended = false;
    bool done = false;
    QObject::connect(&changes, &JobChanges::changeEnded, &app,
                     [&](int, bool confirmed, const QString& message) {
                         std::printf("%s %s\n", confirmed ? "done" : "refused", qPrintable(message));
                         done = confirmed;
                         ended = true;
                     });
    // Over once the session has ended, whatever it said.
    QObject::connect(&host, &FaxStatusHost::actionsEnded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QDateTime when = QDateTime::fromString(args.value(5), u"yyyyMMddHHmm"_s);
    when.setTimeZone(QTimeZone::utc());
    const bool started = move ? changes.move(0, when) : changes.cancel(0);
    if (!started) {
        std::fprintf(stderr, "job-change: the change could not be asked\n");
        return 2;
    }
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    app.exec();
    if (!ended) {
        std::fprintf(stderr, "job-change: the change did not end\n");
        return 2;
    }
    std::printf("%s %s\n", qPrintable(history.records().at(0).job),
                StateWords[int(history.records().at(0).state)]);
    return done ? 0 : 1;
}
