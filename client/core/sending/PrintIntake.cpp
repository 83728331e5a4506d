#include "PrintIntake.h"

#include "ClientTexts.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace kestrel {

struct PrintIntake::Folder
{
    QTemporaryDir dir{QDir::tempPath() + u"/corvafax-lettere-XXXXXX"_s};
    bool sent = false; // a letter of it went to the fax server

    bool holds(const QString& path) const { return path.startsWith(dir.path() + u'/'); }
};

PrintIntake::PrintIntake(SubmissionFlow& flow, GridRows& destinations, std::unique_ptr<PrintTagReader> reader,
                         QObject* parent)
    : QObject(parent), m_flow(flow), m_destinations(destinations), m_settings([] { return SettingsValues(); })
{
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
        if (m_held)
            QTimer::singleShot(0, this, &PrintIntake::retryHeld);
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
    if (std::exchange(m_reading, false)) {
        m_current = nullptr;
        sweep();
        readNext();
    }
}

void PrintIntake::take(const QString& spoolFile)
{
    m_queue.append(spoolFile);
    readNext();
}

QStringList PrintIntake::folders() const
{
    QStringList paths;
    for (const std::unique_ptr<Folder>& folder : m_folders)
        paths << folder->dir.path();
    return paths;
}

void PrintIntake::readNext()
{
    if (m_reading || m_held || m_queue.isEmpty())
        return;
    auto folder = std::make_unique<Folder>();
    if (!folder->dir.isValid()) {
        TagReading refused;
        refused.outcome = TagReading::Outcome::Refused;
        refused.problem = texts::tags::refused(texts::letters::noFolder(folder->dir.errorString()));
        place(refused);
        return;
    }
    m_current = folder.get();
    m_folders.push_back(std::move(folder));
    const SettingsValues settings = m_settings();
    TagReadOptions options;
    options.dropCommonPages = settings.flag(settings::TagSkipFirst);
    options.outputFolder = m_current->dir.path();
    m_reading = true;
    m_reader->read(m_queue.constFirst(), options);
}

void PrintIntake::onRead(const QString& printPath, const TagReading& reading)
{
    if (!m_reading || m_queue.isEmpty() || printPath != m_queue.constFirst())
        return;
    m_reading = false;
    if (!place(reading))
        m_held = reading;
}

void PrintIntake::retryHeld()
{
    if (!m_held)
        return;
    const TagReading reading = *std::exchange(m_held, std::nullopt);
    if (!place(reading))
        m_held = reading;
}

bool PrintIntake::place(const TagReading& reading)
{
    const bool tagged = reading.outcome == TagReading::Outcome::Tagged && !reading.letters.isEmpty();
    // Letters listed during a press would go with it, unasked: they wait
    // until it is over (and an unattended press waits its turn).
    if (tagged && (m_flow.isRunning() || m_flow.isChecking()))
        return false;
    const bool atOnce = tagged && m_settings().flag(settings::TagSend);
    const QString print = m_queue.takeFirst();
    m_current = nullptr;
    // Whatever follows may wait in an event loop (a message, a send): the
    // next print is read meanwhile, and placed after this one.
    QTimer::singleShot(0, this, &PrintIntake::readNext);
    if (!tagged) {
        sweep();
        m_flow.addPrintedDocument(print);
        if (reading.outcome == TagReading::Outcome::Refused)
            Q_EMIT printRefused(print, reading.problem);
        else
            Q_EMIT printListed(print);
        return true;
    }
    // Sent at once only when nothing else is listed to go with it.
    const bool unattended = atOnce && m_destinations.rows() < 2;
    listLetters(reading);
    if (unattended)
        m_flow.sendUnattended();
    else
        Q_EMIT lettersListed(int(reading.letters.size()));
    return true;
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
        if (folder.get() == m_current || folder->sent)
            return false;
        return std::none_of(listed.cbegin(), listed.cend(),
                            [&folder](const QString& path) { return folder->holds(path); });
    });
}

} // namespace kestrel
