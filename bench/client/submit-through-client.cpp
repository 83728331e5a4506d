// A document sent by the send window to several destinations through the
// real fax control, as a user sends it: prints the wall time, and the bytes
// uploaded when the simulator's store is given.
//   bench-client-submit SIMULATOR_STORE              (run by bench-client.sh:
//                                                     20 MiB, ten destinations)
//   bench-client-submit --document FILE --destinations N
//                                                    (run by link-bench.sh)
// The appliance is at 127.0.0.1 on the ports KESTREL_HTTP_PORT and
// KESTREL_FAX_PORT name.

#include "ClientApplication.h"
#include "FrmSend.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace kestrel;

namespace {

// Counts the boxes instead of showing them: the summary is the last one.
class CountingBox : public IMessageBox
{
public:
    int shown = 0;
    QString last;
    std::function<void()> onShown;
    MsgAnswer show(const MessageBoxRequest& request) override
    {
        ++shown;
        last = request.text;
        if (onShown)
            onShown();
        return defaultAnswer(request.buttons);
    }
};

qint64 uploadedBytes(const QString& store)
{
    qint64 total = 0;
    QDirIterator it(store + u"/tmp"_s, QDir::Files);
    while (it.hasNext())
        total += QFileInfo(it.next()).size();
    return total;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    QString store;
    QString document;
    QString appliance = u"127.0.0.1"_s;
    int destinations = 10;
    if (args.size() == 1) {
        store = args.at(0);
    } else if (args.size() >= 4 && args.at(0) == u"--document"_s && args.at(2) == u"--destinations"_s) {
        document = args.at(1);
        destinations = args.at(3).toInt();
        if (args.size() == 6 && args.at(4) == u"--appliance"_s)
            appliance = args.at(5);
    } else {
        std::fprintf(stderr, "usage: bench-client-submit SIMULATOR_STORE | --document FILE --destinations N "
                             "[--appliance ADDRESS]\n");
        return 2;
    }

    QTemporaryDir dir;
    QFile ini(dir.filePath(u"KZV.INI"_s));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[MAIN]\r\nIP=" + appliance.toLatin1() + "\r\nMAIL=bench@example.org\r\n");
    ini.close();
    if (document.isEmpty()) {
        // 20 MiB of PostScript that does not compress (random bytes).
        constexpr qint64 Size = 20 * 1024 * 1024;
        document = dir.filePath(u"document.ps"_s);
        QFile file(document);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray chunk(1024 * 1024, Qt::Uninitialized);
        file.write("%!PS-Adobe-3.0\n");
        for (qint64 written = 15; written < Size; written += chunk.size()) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
            file.write(chunk.left(qMin<qint64>(chunk.size(), Size - written)));
        }
    }
    const qint64 size = QFileInfo(document).size();

    CountingBox box;
    ClientApplication::Replacements replacements;
    replacements.messageBox = &box;
    replacements.trayAvailable = [] {
        return true;
    };
    ClientApplication client(dir.path(), replacements);
    FrmSend& window = client.sendWindow();
    window.host().setPrintCapture(false);
    if (!client.start())
        return 1;
    window.documents().appendRow({QString(), document, QFileInfo(document).fileName()});
    for (int i = 0; i < destinations; ++i)
        window.destinations().appendRow({QString(), QString::number(610000 + i), QString()});
    const qint64 before = store.isEmpty() ? 0 : uploadedBytes(store);
    QElapsedTimer clock;
    clock.start();
    // The program's own event loop, as the client runs: a polling wait
    // would add its pauses to every reply.
    QEventLoop loop;
    box.onShown = [&loop] {
        loop.quit();
    };
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    window.cmdsendClick();
    if (box.shown == 0)
        loop.exec();
    if (box.shown == 0) {
        std::fprintf(stderr, "no summary\n");
        return 1;
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (!box.last.contains(u"Numero di Protocollo FAX"_s)) {
        std::fprintf(stderr, "the submission failed: %s\n", qPrintable(box.last));
        return 1;
    }
    if (store.isEmpty()) {
        std::printf("%.4f\n", seconds);
        return 0;
    }
    const qint64 uploaded = uploadedBytes(store) - before;
    std::printf("%.0f MiB to %d destinations through the send window: %.2f s, %.1f MiB uploaded (%.2f x the "
                "document)\n",
                size / 1048576.0, destinations, seconds, uploaded / 1048576.0, double(uploaded) / size);
    return 0;
}
