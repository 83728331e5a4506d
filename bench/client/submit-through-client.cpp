// One 20 MiB document sent by the send window to ten destinations through
// the real fax control and the appliance simulator, as a user sends it (one
// SendFax per destination): prints the wall time and the bytes uploaded.
//   bench-client-submit SIMULATOR_STORE_IS_READ_BACK (run by bench-client.sh)

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
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-client-submit SIMULATOR_STORE\n");
        return 2;
    }
    const QString store = QString::fromLocal8Bit(argv[1]);
    constexpr qint64 Size = 20 * 1024 * 1024;
    constexpr int Destinations = 10;

    QTemporaryDir dir;
    QFile ini(dir.filePath(u"KZV.INI"_s));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[MAIN]\r\nIP=127.0.0.1\r\nMAIL=bench@example.org\r\n");
    ini.close();
    const QString document = dir.filePath(u"document.ps"_s);
    QFile file(document);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QByteArray chunk(1024 * 1024, Qt::Uninitialized);
    file.write("%!PS-Adobe-3.0\n");
    for (qint64 written = 15; written < Size; written += chunk.size()) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
        file.write(chunk.left(qMin<qint64>(chunk.size(), Size - written)));
    }
    file.close();

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
    window.documents().appendRow({QString(), document, u"document.ps"_s});
    for (int i = 0; i < Destinations; ++i)
        window.destinations().appendRow({QString(), QString::number(610000 + i), QString()});
    const qint64 before = uploadedBytes(store);
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
    const qint64 uploaded = uploadedBytes(store) - before;
    if (!box.last.contains(u"Numero di Protocollo FAX"_s)) {
        std::fprintf(stderr, "the submission failed: %s\n", qPrintable(box.last));
        return 1;
    }
    std::printf("20 MiB to %d destinations through the send window: %.2f s, %.1f MiB uploaded (%.2f x the "
                "document)\n",
                Destinations, seconds, uploaded / 1048576.0, double(uploaded) / Size);
    return 0;
}
