#pragma once

#include "FaultPlan.h"

#include <QHostAddress>
#include <QList>
#include <QString>

#include <optional>

namespace kestrel::simulator {

// One outgoing line (modem) of the appliance.
struct ModemLine
{
    QString id;
    QString name;
};

// Who may log in to the fax server.
struct LoginPolicy
{
    std::optional<QString> user;     // only this user, when set
    std::optional<QString> password; // only this password, when set
    bool noPassword = false;         // USER logs in at once
};

struct SimulatorOptions
{
    QHostAddress listen{QHostAddress::LocalHost};
    quint16 httpPort = 80;
    quint16 faxPort = 4559;
    QString storeDir; // empty: a new temporary folder
    QList<ModemLine> lines;
    LoginPolicy login;
    int doneAfterMs = 5000; // a submitted job is listed as done after this
    bool quiet = false;
    FaultPlan faults;
};

struct ParsedOptions
{
    SimulatorOptions options;
    QString error;     // set when the command line is wrong
    bool help = false; // --help: helpText holds the text
    QString helpText;
};

ParsedOptions parseOptions(const QStringList& arguments);

// "ID=Name;ID=Name"; an empty text gives no lines.
std::optional<QList<ModemLine>> parseLines(const QString& text);

} // namespace kestrel::simulator
