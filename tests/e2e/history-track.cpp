// The client's tracking of its history against a real fax server, for the
// end-to-end scripts: a history holding the given faxes, unfinished, asked
// about once by the status tracker through the control library's query (found
// through the component registry), then each fax printed as the history
// keeps it, and the reason as the status window shows it:
//
//   history-track SERVER USER PASSWORD JOB:NUMBER...
//   -> one line per fax: JOB STATE TRIES REASON | REASON SHOWN
//
// Exits non-zero when the query cannot be made or does not end.

#include "FaxHistory.h"
#include "FaxHistoryModel.h"
#include "FaxStatusHost.h"
#include "OneShotTimer.h"
#include "StatusTracker.h"
#include "SystemClock.h"

#include <QCoreApplication>
#include <QTemporaryDir>
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
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: history-track SERVER USER PASSWORD JOB:NUMBER...\n");
        return 2;
    }
    const StatusTracker::Server server{args.at(0), args.at(1), args.at(2)};
    QTemporaryDir dir;
    SystemClock clock;
    FaxHistory history(dir.filePath(u"storico.db"_s), clock);
    for (const QString& fax : args.mid(3)) {
        FaxRecord record;
        record.job = fax.section(u':', 0, 0);
        record.number = fax.section(u':', 1);
        record.appliance = server.address;
        history.add(record);
    }
    FaxStatusHost host;
    if (const Status created = host.create(); !created) {
        std::fprintf(stderr, "history-track: %s\n", qPrintable(created.error().message));
        return 1;
    }
    host.setWaitLimitMs(20000);
    QtOneShotTimer interval;
    StatusTracker tracker(history, host, interval);
    tracker.setServer([server] { return server; });
    QString error;
    bool ended = false;
    QObject::connect(&host, &FaxStatusHost::queryEnded, &app, [&](const QString& why) {
        error = why;
        ended = true;
        app.quit();
    });
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    tracker.wake();
    app.exec();
    if (!ended) {
        std::fprintf(stderr, "history-track: the question did not end\n");
        return 1;
    }
    if (!error.isEmpty())
        std::fprintf(stderr, "history-track: %s\n", qPrintable(error));
    const FaxHistoryModel window(history);
    for (int fax = 0; fax < history.records().size(); ++fax) {
        const FaxRecord& record = history.records().at(fax);
        const QModelIndex shown = window.index(window.rowOf(fax), FaxHistoryModel::ReasonColumn);
        std::printf("%s %s %d %s | %s\n", qPrintable(record.job), StateWords[int(record.state)], record.tries,
                    qPrintable(record.reason), qPrintable(shown.data().toString()));
    }
    return 0;
}
