// Reading a print's tags: the time from the print file to the finished
// reading (every letter's document written) for 1 and 50 one-page letters,
// as PDF and as PostScript, and the memory peak for a 1 GiB print.
//
//   bench-tags MAKE_MAILMERGE_PY [--no-gib]
//
// Figures only; targets: 50 letters within 5 s, under 200 MB for 1 GiB.
#include "PrintTags.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;
using namespace kestrel;

namespace {

std::optional<TagReading> readOnce(const QString& print, const QString& folder, int timeLimitMs,
                                   qint64* elapsedMs)
{
    const auto reader = makePrintTagReader();
    std::optional<TagReading> reading;
    QObject::connect(reader.get(), &PrintTagReader::finished, reader.get(),
                     [&reading](const QString&, const TagReading& r) {
                         reading = r;
                         QCoreApplication::exit(0);
                     });
    TagReadOptions options;
    options.outputFolder = folder;
    options.timeLimitMs = timeLimitMs;
    QElapsedTimer timer;
    timer.start();
    reader->read(print, options);
    QCoreApplication::exec();
    *elapsedMs = timer.elapsed();
    return reading;
}

bool makeMailMerge(const QString& script, const QString& folder, int letters)
{
    QProcess python;
    python.start(u"python3"_s, {script, folder, QString::number(letters), u"--pages-per-letter"_s, u"1"_s});
    return python.waitForFinished(120000) && python.exitCode() == 0;
}

// A print of about `bytes`: a tagged page, then pages each holding a 1 MB
// grey image and a line of text.
bool makeLargePrint(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("%!PS-Adobe-3.0\n/Helvetica findfont 12 scalefont setfont\n"
               "72 700 moveto (@@FAX:0612345|Grande@@) show showpage\n");
    QByteArray image(1000 * 1000, '\0');
    for (qsizetype i = 0; i < image.size(); ++i)
        image[i] = char((i * 7 + i / 1000) & 0xff);
    for (int page = 2; file.size() < bytes; ++page) {
        file.write(
            QByteArrayLiteral("gsave 72 100 translate 400 400 scale 1000 1000 8 [1000 0 0 -1000 0 1000] "
                              "currentfile image\n"));
        file.write(image);
        file.write(u"\ngrestore 72 700 moveto (pagina %1) show showpage\n"_s.arg(page).toLatin1());
    }
    return true;
}

long peakKiB(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: bench-tags MAKE_MAILMERGE_PY [--no-gib]\n");
        return 2;
    }
    QTemporaryDir work;
    for (const int letters : {1, 50}) {
        const QString folder = work.filePath(QString::number(letters));
        QDir().mkpath(folder);
        if (!makeMailMerge(arguments.at(1), folder, letters)) {
            std::fprintf(stderr, "making the mail merge failed\n");
            return 1;
        }
        for (const QString& kind : {u"pdf"_s, u"ps"_s}) {
            QList<qint64> rounds;
            for (int round = 0; round < 3; ++round) {
                QTemporaryDir output;
                qint64 elapsed = 0;
                const auto reading =
                    readOnce(folder + u"/mailmerge."_s + kind, output.path(), 120000, &elapsed);
                if (!reading || reading->letters.size() != letters) {
                    std::fprintf(stderr, "%d letters (%s): read %lld letters: %s\n", letters,
                                 qPrintable(kind), reading ? qint64(reading->letters.size()) : -1LL,
                                 reading ? qPrintable(reading->problem) : "");
                    return 1;
                }
                rounds << elapsed;
            }
            std::sort(rounds.begin(), rounds.end());
            std::printf("%2d one-page letters, %-3s: %5lld ms (median of 3; %lld..%lld)\n", letters,
                        qPrintable(kind), rounds.at(1), rounds.first(), rounds.last());
            std::fflush(stdout);
        }
    }
    if (arguments.contains(u"--no-gib"_s))
        return 0;
    const QString large = work.filePath(u"large.ps"_s);
    if (!makeLargePrint(large, qint64(1) << 30)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(large));
        return 1;
    }
    QTemporaryDir output;
    qint64 elapsed = 0;
    const auto reading = readOnce(large, output.path(), 600000, &elapsed);
    std::printf(
        "1 GiB print (%lld bytes): %s in %lld ms; peak RSS: this process %ld KiB, largest gs %ld KiB\n",
        QFileInfo(large).size(),
        !reading                                          ? "no answer"
        : reading->outcome == TagReading::Outcome::Tagged ? "tagged"
                                                          : qPrintable(reading->problem),
        elapsed, peakKiB(RUSAGE_SELF), peakKiB(RUSAGE_CHILDREN));
    return 0;
}
