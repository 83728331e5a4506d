#include "PrintTags.h"

#include "ClientTexts.h"
#include "TagParser.h"
#include "TimedProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QPointer>
#include <QTemporaryDir>
#include <QThreadPool>

#include <functional>

using namespace Qt::StringLiterals;

namespace kestrel {

namespace {

const QString Ghostscript = u"gs"_s;

// Ghostscript reads "%" in an output file name as a page number.
QString outputName(const QString& path)
{
    QString escaped = path;
    return escaped.replace(u'%', u"%%"_s);
}

bool isPdf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(1024).contains("%PDF-");
}

QString reason(const ProgramOutcome& outcome)
{
    if (outcome.end == ProgramOutcome::End::NotStarted)
        return texts::tags::ProgramNotStarted;
    if (!outcome.message.isEmpty())
        return outcome.message;
    return texts::tags::programEnded(outcome.exitCode);
}

// Shared between a reading and the thread that reads its page texts: the
// reading unhooks itself when it goes.
struct Relay
{
    QMutex mutex;
    QObject* target = nullptr; // none once the reading has gone

    bool cancelled()
    {
        const QMutexLocker lock(&mutex);
        return !target;
    }
};

// One print being read: its text page by page, then, when tagged, each
// letter's document.
class Reading : public QObject
{
public:
    using Done = std::function<void(Reading*, const TagReading&)>;

    Reading(QObject* parent, QString printPath, TagReadOptions options, Done done)
        : QObject(parent), m_printPath(std::move(printPath)), m_options(std::move(options)),
          m_done(std::move(done)), m_programs(new QObject(this)), m_relay(std::make_shared<Relay>())
    {
        m_relay->target = this;
    }

    ~Reading() override
    {
        {
            const QMutexLocker lock(&m_relay->mutex);
            m_relay->target = nullptr;
        }
        // Its programs are stopped before what they write goes.
        delete m_programs;
        if (!m_finished)
            removeDocuments();
    }

    void start()
    {
        m_pagesFolder = std::make_shared<QTemporaryDir>();
        if (!m_pagesFolder->isValid()) {
            fail(texts::tags::readFailed(0, texts::tags::NoTemporaryFolder));
            return;
        }
        // The text is read from the print as it came (Ghostscript gives the
        // same page files for PostScript and PDF): most prints carry no tag,
        // and only cutting letters needs a PDF.
        readText();
    }

private:
    void run(const QStringList& arguments, TimedProcess::Finished finished)
    {
        TimedProcess::start(Ghostscript, arguments, m_options.timeLimitMs, m_programs, std::move(finished),
                            ProgramBounds{m_options.memoryBytes, true});
    }

    void readText()
    {
        const QStringList arguments{u"-q"_s,
                                    u"-dSAFER"_s,
                                    u"-dBATCH"_s,
                                    u"-dNOPAUSE"_s,
                                    u"-sDEVICE=txtwrite"_s,
                                    u"-sOutputFile="_s + outputName(m_pagesFolder->path()) + u"/p%d.txt"_s,
                                    u"-f"_s,
                                    m_printPath};
        run(arguments, [this](const ProgramOutcome& outcome) { textRead(outcome); });
    }

    int pagesWritten() const
    {
        int pages = 0;
        while (QFile::exists(m_pagesFolder->filePath(u"p%1.txt"_s.arg(pages + 1))))
            ++pages;
        return pages;
    }

    void textRead(const ProgramOutcome& outcome)
    {
        const int pages = pagesWritten();
        if (outcome.end == ProgramOutcome::End::TimedOut) {
            fail(texts::tags::readTimedOut(pages, m_options.timeLimitMs / 1000));
            return;
        }
        if (!outcome.succeeded()) {
            fail(texts::tags::readFailed(pages, reason(outcome)));
            return;
        }
        // The page texts are read off this thread: a print may hold many.
        QThreadPool::globalInstance()->start(
            [relay = m_relay, folder = m_pagesFolder, pages, drop = m_options.dropCommonPages] {
                QList<PageTags> tags;
                TagReading reading;
                for (int page = 1; page <= pages && !relay->cancelled(); ++page) {
                    QFile file(folder->filePath(u"p%1.txt"_s.arg(page)));
                    if (file.size() > MostPageTextBytes) {
                        reading = gatherLetters(tags, drop);
                        if (reading.outcome != TagReading::Outcome::Refused) {
                            reading = TagReading{};
                            reading.outcome = TagReading::Outcome::Refused;
                            reading.problem = texts::tags::refused(texts::tags::pageTooLong(page));
                        }
                        break;
                    }
                    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
                    tags << readPageTags(QString::fromUtf8(text), page);
                }
                if (tags.size() == pages)
                    reading = gatherLetters(tags, drop);
                reading.pages = pages;
                const QMutexLocker lock(&relay->mutex);
                if (auto* target = static_cast<Reading*>(relay->target)) {
                    QMetaObject::invokeMethod(
                        target, [target, reading] { target->pagesRead(reading); }, Qt::QueuedConnection);
                }
            });
    }

    void pagesRead(const TagReading& reading)
    {
        m_reading = reading;
        if (reading.outcome != TagReading::Outcome::Tagged) {
            finish(reading);
            return;
        }
        if (isPdf(m_printPath)) {
            m_source = m_printPath;
            writeLetters();
            return;
        }
        // Pages are not picked reliably out of PostScript (a print that
        // came through CUPS keeps all of them): a tagged print is made a PDF
        // first, and its letters are PDFs.
        m_source = m_pagesFolder->filePath(u"print.pdf"_s);
        const QStringList arguments{u"-q"_s,
                                    u"-dSAFER"_s,
                                    u"-dBATCH"_s,
                                    u"-dNOPAUSE"_s,
                                    u"-sDEVICE=pdfwrite"_s,
                                    u"-sOutputFile="_s + outputName(m_source),
                                    u"-f"_s,
                                    m_printPath};
        // A conversion that fails leaves no letter written: refused as such.
        run(arguments, [this](const ProgramOutcome& outcome) {
            if (outcome.succeeded())
                writeLetters();
            else
                lettersWritten(outcome);
        });
    }

    // One run writes every letter: the PDF is opened once, and each letter
    // goes to its own file (the common pages first).
    void writeLetters()
    {
        QByteArray program = "<" + m_source.toUtf8().toHex() + "> (r) file runpdfbegin\n";
        QByteArray common;
        if (!m_options.dropCommonPages) {
            for (int page = 1; page <= m_reading.commonPages; ++page)
                common += QByteArray::number(page) + " pdfgetpage pdfshowpage\n";
        }
        for (qsizetype index = 0; index < m_reading.letters.size(); ++index) {
            TaggedLetter& letter = m_reading.letters[index];
            letter.documentPath =
                QDir(m_options.outputFolder)
                    .filePath(u"lettera-%1-%2.pdf"_s.arg(index + 1, 4, 10, QChar(u'0')).arg(letter.number));
            program += "<< /OutputFile <" + outputName(letter.documentPath).toUtf8().toHex() +
                       "> >> setpagedevice\n" + common;
            for (int page = letter.firstPage; page <= letter.lastPage; ++page)
                program += QByteArray::number(page) + " pdfgetpage pdfshowpage\n";
        }
        program += "runpdfend\n";
        const QString script = m_pagesFolder->filePath(u"letters.ps"_s);
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly) || file.write(program) != program.size() || !file.flush()) {
            fail(texts::tags::letterNotWritten(m_reading.letters.first().firstPage,
                                               m_reading.letters.first().lastPage, file.errorString()));
            return;
        }
        file.close();
        const QString folder = QDir(m_options.outputFolder).absolutePath() + u'/';
        const QStringList arguments{u"-q"_s,
                                    u"-dSAFER"_s,
                                    u"--permit-file-read="_s + m_source,
                                    u"--permit-file-write="_s + folder,
                                    u"-dBATCH"_s,
                                    u"-dNOPAUSE"_s,
                                    u"-sDEVICE=pdfwrite"_s,
                                    u"-sOutputFile="_s + outputName(m_pagesFolder->filePath(u"none.pdf"_s)),
                                    u"-f"_s,
                                    script};
        run(arguments, [this](const ProgramOutcome& outcome) { lettersWritten(outcome); });
    }

    void lettersWritten(const ProgramOutcome& outcome)
    {
        // Written in order: the first missing document is where it stopped.
        for (const TaggedLetter& letter : std::as_const(m_reading.letters)) {
            if (outcome.succeeded() && QFileInfo(letter.documentPath).size() > 0)
                continue;
            const QString why =
                outcome.end == ProgramOutcome::End::TimedOut
                    ? texts::tags::readTimedOut(letter.firstPage, m_options.timeLimitMs / 1000)
                    : reason(outcome);
            fail(texts::tags::letterNotWritten(letter.firstPage, letter.lastPage, why));
            return;
        }
        finish(m_reading);
    }

    void removeDocuments()
    {
        for (const TaggedLetter& letter : std::as_const(m_reading.letters)) {
            if (!letter.documentPath.isEmpty())
                QFile::remove(letter.documentPath);
        }
    }

    void fail(const QString& problem)
    {
        delete m_programs;
        m_programs = nullptr;
        removeDocuments();
        TagReading refused;
        refused.outcome = TagReading::Outcome::Refused;
        refused.pages = m_reading.pages;
        refused.problem = texts::tags::refused(problem);
        finish(refused);
    }

    void finish(const TagReading& reading)
    {
        if (m_finished)
            return;
        m_finished = true;
        m_done(this, reading);
    }

    QString m_printPath;
    TagReadOptions m_options;
    Done m_done;
    QObject* m_programs; // context of the programs run: they stop with it
    std::shared_ptr<Relay> m_relay;
    std::shared_ptr<QTemporaryDir> m_pagesFolder;
    TagReading m_reading;
    QString m_source; // the print as a PDF, for its letters
    bool m_finished = false;
};

// Reads prints with Ghostscript: each reading on its own, so a print that
// never yields its text holds up no other.
class GhostscriptReader : public PrintTagReader
{
public:
    using PrintTagReader::PrintTagReader;

    void read(const QString& printPath, const TagReadOptions& options) override
    {
        auto* reading =
            new Reading(this, printPath, options, [this, printPath](Reading* done, const TagReading& result) {
                // From the event loop: whoever is told may delete the reader.
                QMetaObject::invokeMethod(
                    this,
                    [this, done, printPath, result] {
                        delete done;
                        emit finished(printPath, result);
                    },
                    Qt::QueuedConnection);
            });
        reading->start();
    }
};

} // namespace

std::unique_ptr<PrintTagReader> makePrintTagReader(QObject* parent)
{
    return std::make_unique<GhostscriptReader>(parent);
}

} // namespace kestrel
