#pragma once

#include "PrinterSystem.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <optional>

namespace kestrel {

using namespace Qt::StringLiterals;

// A print system for tests, which must not touch the real one:
// serves a scripted printer list and records what it was asked to start.
// Set the script before a check starts: the questions come from a worker
// thread.
class RecordingPrinterSystem : public IPrinterSystem
{
public:
    struct Started
    {
        QString program;
        QStringList arguments;
        int timeLimitMs;
    };

    QStringList printers;
    QString listError; // non-empty: the printer list fails with it
    QMap<QString, QString> programs{{u"lpadmin"_s, u"/usr/sbin/lpadmin"_s}};
    // How every started program ends, told after a turn of the event loop;
    // none: they never end.
    std::optional<ProgramOutcome> outcome = ProgramOutcome{};
    QList<Started> started; // every start asked for

    Expected<QStringList> installedPrinters() override
    {
        if (!listError.isEmpty())
            return Error{listError};
        return printers;
    }

    bool isInstalled(const QString& printerName) override
    {
        return listError.isEmpty() && printers.contains(printerName, Qt::CaseSensitive);
    }

    QString findProgram(const QString& name) override { return programs.value(name); }

    void startProgram(const QString& program, const QStringList& arguments, int timeLimitMs, QObject* context,
                      ProgramFinished finished) override
    {
        started.append({program, arguments, timeLimitMs});
        if (outcome)
            QTimer::singleShot(0, context, [finished, ended = *outcome] { finished(ended); });
    }
};

} // namespace kestrel
