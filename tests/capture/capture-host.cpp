// A minimal host for the print capture: listens on the capture port
// (KESTREL_PRINT_PORT), prints "ready PORT" once listening, then one line per
// captured job, "spool PATH", or "failed MESSAGE". Debug lines go to stderr.
// Used by the end-to-end test against a real spooler.

#include "PrintCapture.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    kestrel::PrintCapture capture;
    capture.setPrinterName(args.size() > 1 ? args.at(1) : QStringLiteral("kestrel"));
    capture.setLogger([](const QString& line) { std::fprintf(stderr, "%s\n", qUtf8Printable(line)); });
    auto out = [](const QString& line) {
        std::fprintf(stdout, "%s\n", qUtf8Printable(line));
        std::fflush(stdout);
    };
    QObject::connect(&capture, &kestrel::PrintCapture::PrintedDocAvailable, &app,
                     [&](const QString& file) { out(QStringLiteral("spool ") + file); });
    QObject::connect(&capture, &kestrel::PrintCapture::captureFailed, &app,
                     [&](const QString& message) { out(QStringLiteral("failed ") + message); });
    if (!capture.AscoltaStampante())
        return 1;
    out(QStringLiteral("ready ") + QString::number(capture.port()));
    return app.exec();
}
