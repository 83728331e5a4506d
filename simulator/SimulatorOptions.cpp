#include "SimulatorOptions.h"

#include <QCommandLineParser>

namespace kestrel::simulator {
namespace {

using namespace Qt::StringLiterals;

std::optional<quint16> parsePort(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535)
        return std::nullopt;
    return static_cast<quint16>(value);
}

} // namespace

std::optional<QList<ModemLine>> parseLines(const QString& text)
{
    QList<ModemLine> lines;
    for (const QString& entry : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = entry.indexOf(u'=');
        if (equals <= 0)
            return std::nullopt;
        const QString id = entry.left(equals).trimmed();
        if (id.isEmpty())
            return std::nullopt;
        lines.append({id, entry.mid(equals + 1).trimmed()});
    }
    return lines;
}

ParsedOptions parseOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Fax appliance simulator: the appliance's status pages over HTTP and a fax server on the "
        "HylaFAX client protocol that keeps every job it receives in a store folder.\n\n"
        "Fax faults: %1\nHTTP faults: %2\n"
        "A submitted job is listed on /api/faxstat.php until --done-after seconds have passed, "
        "then on /api/faxstat.php?D=1."_s.arg(FaultPlan::faultNames().join(u", "_s),
                                              FaultPlan::httpFaultNames().join(u", "_s)));
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Show this help."_s);
    const QCommandLineOption listen(u"listen"_s, u"Address to listen on (default 127.0.0.1)."_s, u"addr"_s,
                                    u"127.0.0.1"_s);
    const QCommandLineOption httpPort(u"http-port"_s, u"HTTP port, 0 = any free port (default 80)."_s,
                                      u"port"_s, u"80"_s);
    const QCommandLineOption faxPort(u"fax-port"_s, u"Fax server port, 0 = any free port (default 4559)."_s,
                                     u"port"_s, u"4559"_s);
    const QCommandLineOption store(u"store"_s, u"Store folder (default: a new temporary folder)."_s,
                                   u"dir"_s);
    const QCommandLineOption lines(u"lines"_s, u"Outgoing lines, \"ID=Name;ID=Name\"; empty = none."_s,
                                   u"list"_s, u"ttyS0=Linea Uno;ttyS1=Linea Due"_s);
    const QCommandLineOption user(u"user"_s, u"Only this user may log in."_s, u"user"_s);
    const QCommandLineOption password(u"password"_s, u"Only this password is accepted."_s, u"password"_s);
    const QCommandLineOption noPassword(u"no-password"_s, u"Log users in on USER, without a password."_s);
    const QCommandLineOption doneAfter(u"done-after"_s,
                                       u"Seconds after submission until a job counts as done (default 5)."_s,
                                       u"seconds"_s, u"5"_s);
    const QCommandLineOption fault(u"fault"_s, u"Fax server fault (repeatable)."_s, u"mode"_s);
    const QCommandLineOption httpFault(u"http-fault"_s, u"HTTP fault (repeatable)."_s, u"mode"_s);
    const QCommandLineOption quiet(u"quiet"_s, u"Do not log protocol activity to stderr."_s);
    parser.addOptions({help, listen, httpPort, faxPort, store, lines, user, password, noPassword, doneAfter,
                       fault, httpFault, quiet});

    ParsedOptions result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.help = true;
        result.helpText = parser.helpText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = u"unexpected argument: "_s + parser.positionalArguments().constFirst();
        return result;
    }

    SimulatorOptions& o = result.options;
    if (!o.listen.setAddress(parser.value(listen))) {
        result.error = u"--listen: not an address: "_s + parser.value(listen);
        return result;
    }
    const auto http = parsePort(parser.value(httpPort));
    const auto fax = parsePort(parser.value(faxPort));
    if (!http || !fax) {
        result.error = u"--http-port and --fax-port take a number from 0 to 65535"_s;
        return result;
    }
    o.httpPort = *http;
    o.faxPort = *fax;
    o.storeDir = parser.value(store);
    const auto parsedLines = parseLines(parser.value(lines));
    if (!parsedLines) {
        result.error = u"--lines: expected \"ID=Name;ID=Name\", got: "_s + parser.value(lines);
        return result;
    }
    o.lines = *parsedLines;
    if (parser.isSet(user))
        o.login.user = parser.value(user);
    if (parser.isSet(password))
        o.login.password = parser.value(password);
    o.login.noPassword = parser.isSet(noPassword);
    bool ok = false;
    const double seconds = parser.value(doneAfter).toDouble(&ok);
    if (!ok || seconds < 0 || seconds > 86400) {
        result.error = u"--done-after takes a number of seconds"_s;
        return result;
    }
    o.doneAfterMs = static_cast<int>(seconds * 1000);
    for (const QString& name : parser.values(fault)) {
        if (!o.faults.add(name)) {
            result.error =
                u"unknown --fault %1 (known: %2)"_s.arg(name, FaultPlan::faultNames().join(u", "_s));
            return result;
        }
    }
    for (const QString& name : parser.values(httpFault)) {
        if (!o.faults.addHttp(name)) {
            result.error =
                u"unknown --http-fault %1 (known: %2)"_s.arg(name, FaultPlan::httpFaultNames().join(u", "_s));
            return result;
        }
    }
    o.quiet = parser.isSet(quiet);
    return result;
}

} // namespace kestrel::simulator
