#pragma once

#include "PrinterSystem.h"

#include <QList>
#include <QMap>

namespace kestrel {

using namespace Qt::StringLiterals;

// A print system for tests, which must not touch the real one:
// serves a scripted printer list and records what it was asked to start.
class RecordingPrinterSystem : public IPrinterSystem
{
public:
    struct Started
    {
        QString program;
        QStringList arguments;
    };

    QStringList printers;
    QString listError; // non-empty: the printer list fails with it
    QMap<QString, QString> programs{{u"lpadmin"_s, u"/usr/sbin/lpadmin"_s}};
    QString startError;     // non-empty: starting fails with it
    QList<Started> started; // every start asked for, failed ones too

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

    Status startDetached(const QString& program, const QStringList& arguments) override
    {
        started.append({program, arguments});
        if (!startError.isEmpty())
            return Error{startError};
        return {};
    }
};

} // namespace kestrel
