// corvafax-send: sends documents as faxes through the appliance, one job
// per destination number, using the fax control like the desktop client.
// With --capture it waits for print jobs instead and prints the path of
// each spool file.

#include "CaptureHost.h"
#include "ComponentRegistry.h"
#include "Corvanefax.h"
#include "SendHost.h"
#include "SignalWatcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <memory>

using namespace kestrel;

namespace {

int usageError(const QString& text)
{
    std::fprintf(stderr, "corvafax-send: %s\nTry 'corvafax-send --help'.\n", text.toLocal8Bit().constData());
    return 2;
}

ICorvanefax* createControl()
{
    QString error;
    auto* control = static_cast<ICorvanefax*>(ComponentRegistry::createInstance(
        QString::fromLatin1(CorvanefaxProgId), CorvanefaxInterfaceId, &error));
    if (!control)
        std::fprintf(stderr, "corvafax-send: %s\n", error.toLocal8Bit().constData());
    return control;
}

int runCapture(const QString& appliance, const QString& printer, bool debug)
{
    std::unique_ptr<ICorvanefax> control(createControl());
    if (!control)
        return 1;
    SignalWatcher watcher;
    if (!watcher.install())
        return 1;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, qApp, [] { QCoreApplication::exit(0); });
    CaptureHost host(*control, appliance, printer, debug);
    if (!host.start())
        return 1;
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvafax-send"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends documents as faxes through the appliance: one job per destination number.\n"
        "Prints each job number on its own line; exits 0 only when every job was accepted.\n"
        "With --capture: waits for print jobs on the capture printer and prints the path of each\n"
        "spool file, until interrupted."));
    parser.addHelpOption();
    const QCommandLineOption appliance(QStringLiteral("appliance"),
                                       QStringLiteral("Appliance host name or address."),
                                       QStringLiteral("host"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("Login name on the fax server."),
                                  QStringLiteral("name"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Login password."),
                                      QStringLiteral("password"));
    const QCommandLineOption notify(
        QStringLiteral("notify"),
        QStringLiteral("E-mail address told when a job is done (default: your user name)."),
        QStringLiteral("address"));
    const QCommandLineOption maxDials(QStringLiteral("maxdials"),
                                      QStringLiteral("Dial attempts (default 3)."), QStringLiteral("n"),
                                      QStringLiteral("3"));
    const QCommandLineOption line(QStringLiteral("line"),
                                  QStringLiteral("Outgoing line identifier (default: any)."),
                                  QStringLiteral("id"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("Longest wait for the server at any step (default 60)."),
                                     QStringLiteral("seconds"));
    const QCommandLineOption debug(QStringLiteral("debug"),
                                   QStringLiteral("Write the control's debug log to stderr."));
    const QCommandLineOption destination(QStringList{QStringLiteral("d"), QStringLiteral("destination")},
                                         QStringLiteral("Destination fax number (repeatable)."),
                                         QStringLiteral("number"));
    const QCommandLineOption capture(
        QStringLiteral("capture"),
        QStringLiteral("Capture print jobs instead of sending (until interrupted)."));
    const QCommandLineOption printer(QStringLiteral("printer"),
                                     QStringLiteral("Capture printer name (default kestrel)."),
                                     QStringLiteral("name"), QStringLiteral("kestrel"));
    parser.addOptions(
        {appliance, user, password, notify, maxDials, line, timeout, debug, destination, capture, printer});
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Documents to send (PostScript, PDF, TIFF)."),
                                 QStringLiteral("FILE..."));
    parser.process(app);

    SendRequest request;
    request.appliance = parser.value(appliance);
    if (request.appliance.isEmpty())
        return usageError(QStringLiteral("--appliance is required"));
    if (parser.isSet(capture))
        return runCapture(parser.value(appliance), parser.value(printer), parser.isSet(debug));
    request.numbers = parser.values(destination);
    if (request.numbers.isEmpty())
        return usageError(QStringLiteral("at least one -d NUMBER is required"));
    for (const QString& number : std::as_const(request.numbers)) {
        if (number.contains(QLatin1Char(':')) || number.trimmed().isEmpty())
            return usageError(QStringLiteral("invalid number '%1'").arg(number));
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no document given"));
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (file.contains(QLatin1Char(',')))
            return usageError(QStringLiteral("file names may not contain ',': %1").arg(file));
        if (!info.isFile() || !info.isReadable())
            return usageError(QStringLiteral("cannot read %1").arg(file));
        request.files << info.absoluteFilePath();
    }
    bool ok = false;
    const int dials = parser.value(maxDials).toInt(&ok);
    if (!ok || dials < -32768 || dials > 32767)
        return usageError(QStringLiteral("invalid --maxdials"));
    request.maxDials = static_cast<qint16>(dials);
    if (parser.isSet(user))
        request.user = parser.value(user);
    if (parser.isSet(password))
        request.password = parser.value(password);
    request.notify =
        parser.isSet(notify) ? parser.value(notify) : qEnvironmentVariable("USER", QStringLiteral("root"));
    request.line = parser.value(line);
    request.debug = parser.isSet(debug);
    if (parser.isSet(timeout)) {
        const int seconds = parser.value(timeout).toInt(&ok);
        if (!ok || seconds <= 0)
            return usageError(QStringLiteral("invalid --timeout"));
        qputenv("KESTREL_WAIT_SECONDS", QByteArray::number(seconds));
    }

    ICorvanefax* control = createControl();
    if (!control)
        return 1;

    SendHost host(*control, request);
    int exitCode = 1;
    QObject::connect(&host, &SendHost::finished, &app, [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });
    QMetaObject::invokeMethod(&host, &SendHost::start, Qt::QueuedConnection);
    app.exec();
    delete control;
    return exitCode;
}
