#include "PrintIntake.h"

#include "ClientTexts.h"

#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace kestrel {

namespace {

// Readings run at once: each Ghostscript may take 256 MiB, and on a desk
// computer more of them at once do not end sooner.
constexpr int MostReadings = 3;
// How long a print read waits for one before it still being read: prints
// that come together are read together and keep their order, but a huge
// one does not hold up the others for minutes.
constexpr int PatienceMs = 2000;

bool isTagged(const TagReading& reading)
{
    return reading.outcome == TagReading::Outcome::Tagged && !reading.letters.isEmpty();
}

} // namespace

struct PrintIntake::Folder
{
    QTemporaryDir dir{QDir::tempPath() + u"/corvafax-lettere-XXXXXX"_s};
    bool sent = false; // a letter of it went to the fax server

    bool holds(const QString& path) const { return path.startsWith(dir.path() + u'/'); }
};

struct PrintIntake::Print
{
    QString spoolFile;
    bool started = false;
    Folder* folder = nullptr;          // where its letters are written
    std::optional<TagReading> reading; // once read
    bool passed = false;               // still read, the prints after it go ahead
};

PrintIntake::PrintIntake(SubmissionFlow& flow, GridRows& destinations, std::unique_ptr<PrintTagReader> reader,
                         QObject* parent)
    : QObject(parent), m_flow(flow), m_destinations(destinations),
      m_settings([] { return SettingsValues(); }), m_patience(new QTimer(this))
{
    m_patience->setSingleShot(true);
    m_patience->setInterval(PatienceMs);
    connect(m_patience, &QTimer::timeout, this, &PrintIntake::stopWaiting);
    setReader(std::move(reader));
    connect(&m_destinations, &QAbstractItemModel::rowsRemoved, this, &PrintIntake::sweep);
    connect(&m_destinations, &QAbstractItemModel::modelReset, this, &PrintIntake::sweep);
    connect(&m_flow, &SubmissionFlow::jobSubmitted, this, &PrintIntake::markSent);
    connect(&m_flow, &SubmissionFlow::jobOutcomeUnknown, this, &PrintIntake::markSent);
    // A print held for a press under way, from the event loop: the flow's
    // own handler is still running.
    const auto idle = [this](bool busy) {
        if (busy)
            return;
        sweep();
        if (!m_prints.isEmpty())
            QTimer::singleShot(0, this, &PrintIntake::placeReady);
    };
    connect(&m_flow, &SubmissionFlow::runningChanged, this, idle);
    connect(&m_flow, &SubmissionFlow::checkingAppliance, this, idle);
}

PrintIntake::~PrintIntake()
{
    // The reader stops writing before its folders go.
    m_reader.reset();
}

void PrintIntake::setReader(std::unique_ptr<PrintTagReader> reader)
{
    m_reader = std::move(reader);
    connect(m_reader.get(), &PrintTagReader::finished, this, &PrintIntake::onRead);
    // A reading of the reader gone never ends: the print is read again.
    bool abandoned = false;
    for (const std::shared_ptr<Print>& print : std::as_const(m_prints)) {
        if (print->started && !print->reading) {
            print->started = false;
            print->folder = nullptr;
            abandoned = true;
        }
    }
    if (abandoned) {
        sweep();
        readMore();
    }
}

void PrintIntake::take(const QString& spoolFile)
{
    auto print = std::make_shared<Print>();
    print->spoolFile = spoolFile;
    m_prints.append(print);
    const QPointer<PrintIntake> alive(this);
    readMore();
    if (alive)
        placeReady();
}

QStringList PrintIntake::folders() const
{
    QStringList paths;
    for (const std::unique_ptr<Folder>& folder : m_folders)
        paths << folder->dir.path();
    return paths;
}

void PrintIntake::readMore()
{
    const QPointer<PrintIntake> alive(this);
    for (;;) {
        const auto reading = [](const std::shared_ptr<Print>& print) {
            return print->started && !print->reading;
        };
        if (std::count_if(m_prints.cbegin(), m_prints.cend(), reading) >= MostReadings)
            return;
        const auto next = std::find_if(m_prints.cbegin(), m_prints.cend(),
                                       [](const std::shared_ptr<Print>& print) { return !print->started; });
        if (next == m_prints.cend())
            return;
        // A copy: the calls out below may change the list.
        const std::shared_ptr<Print> print = *next; // NOLINT(performance-unnecessary-copy-initialization)
        print->started = true;
        auto folder = std::make_unique<Folder>();
        if (!folder->dir.isValid()) {
            TagReading refused;
            refused.outcome = TagReading::Outcome::Refused;
            refused.problem = texts::tags::refused(texts::letters::noFolder(folder->dir.errorString()));
            print->reading = refused;
            QTimer::singleShot(0, this, &PrintIntake::placeReady);
            continue;
        }
        print->folder = folder.get();
        m_folders.push_back(std::move(folder));
        const SettingsValues settings = m_settings();
        TagReadOptions options;
        options.dropCommonPages = settings.flag(settings::TagSkipFirst);
        options.outputFolder = print->folder->dir.path();
        // It may answer at once, and whoever is told may do anything.
        m_reader->read(print->spoolFile, options);
        if (!alive)
            return;
    }
}

void PrintIntake::onRead(const QString& printPath, const TagReading& reading)
{
    const auto found = std::find_if(m_prints.cbegin(), m_prints.cend(), [&printPath](const auto& print) {
        return print->started && !print->reading && print->folder && print->spoolFile == printPath;
    });
    if (found == m_prints.cend())
        return;
    (*found)->reading = reading;
    const QPointer<PrintIntake> alive(this);
    // The next print is read while this one is placed (which may wait in
    // an event loop: a message, a send).
    readMore();
    if (alive)
        placeReady();
}

void PrintIntake::placeReady()
{
    const QPointer<PrintIntake> alive(this);
    while (alive) {
        std::shared_ptr<Print> next;
        qsizetype waited = -1; // a print still read that the next one waits for
        for (qsizetype index = 0; index < m_prints.size() && !next; ++index) {
            const std::shared_ptr<Print>& print = m_prints.at(index);
            if (print->reading)
                next = print;
            else if (!print->passed && waited < 0)
                waited = index;
        }
        if (!next)
            return;
        if (waited >= 0) {
            if (!m_patience->isActive())
                m_patience->start();
            return;
        }
        // Letters listed during a press would go with it, unasked: they
        // wait until it is over (and an unattended press waits its turn),
        // and so do the prints after them.
        if (isTagged(*next->reading) && (m_flow.isRunning() || m_flow.isChecking()))
            return;
        m_prints.removeOne(next);
        place(*next);
    }
}

void PrintIntake::stopWaiting()
{
    // Every print still read with one read after it is passed.
    bool readAfter = false;
    for (qsizetype index = m_prints.size() - 1; index >= 0; --index) {
        Print& print = *m_prints.at(index);
        if (print.reading)
            readAfter = true;
        else if (readAfter)
            print.passed = true;
    }
    placeReady();
}

void PrintIntake::place(const Print& print)
{
    const TagReading& reading = *print.reading;
    if (!isTagged(reading)) {
        sweep();
        m_flow.addPrintedDocument(print.spoolFile);
        if (reading.outcome == TagReading::Outcome::Refused)
            Q_EMIT printRefused(print.spoolFile, reading.problem);
        else
            Q_EMIT printListed(print.spoolFile);
        return;
    }
    // Sent at once only when nothing else is listed to go with it.
    const bool unattended = m_settings().flag(settings::TagSend) && m_destinations.rows() < 2;
    listLetters(reading);
    if (unattended)
        m_flow.sendUnattended();
    else
        Q_EMIT lettersListed(int(reading.letters.size()));
}

void PrintIntake::listLetters(const TagReading& reading)
{
    QList<QStringList> rows;
    for (const TaggedLetter& letter : reading.letters) {
        QStringList cells(DestinationColumn::Count);
        cells[DestinationColumn::Number] = letter.number;
        cells[DestinationColumn::Description] = letter.name;
        cells[DestinationColumn::Pages] = QString::number(letter.documentPages);
        cells[DestinationColumn::Letter] = letter.documentPath;
        rows << cells;
    }
    m_destinations.appendRows(rows);
}

void PrintIntake::markSent(const SubmittedJob& job)
{
    for (const std::unique_ptr<Folder>& folder : m_folders) {
        for (const QString& document : job.documents) {
            if (folder->holds(document))
                folder->sent = true;
        }
    }
}

void PrintIntake::sweep()
{
    // A letter on its way may have left the list already.
    if (m_flow.isRunning())
        return;
    const QStringList listed = m_destinations.column(DestinationColumn::Letter);
    std::erase_if(m_folders, [this, &listed](const std::unique_ptr<Folder>& folder) {
        const bool reading = std::any_of(m_prints.cbegin(), m_prints.cend(), [&folder](const auto& print) {
            return print->folder == folder.get();
        });
        if (reading || folder->sent)
            return false;
        return std::none_of(listed.cbegin(), listed.cend(),
                            [&folder](const QString& path) { return folder->holds(path); });
    });
}

} // namespace kestrel
