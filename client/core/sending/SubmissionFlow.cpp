#include "SubmissionFlow.h"

#include "ClientTexts.h"
#include "ControlSettings.h"
#include "FileNameOf.h"
#include "JobOptionsCheck.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// Not "none": the setting is in force.
bool isSet(const QString& value)
{
    return value != settings::None;
}

// A number the fax server can dial has a digit. One without (a contact
// stored as "n.d." lists as an empty number) would make no job at all: the
// control leaves empty parts of the number list out.
bool hasDigit(const QString& number)
{
    return std::any_of(number.cbegin(), number.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The user's words for what is wrong with the options; empty when nothing is.
QString problemText(JobOptionsProblem problem)
{
    switch (problem) {
    case JobOptionsProblem::None:
        break;
    case JobOptionsProblem::SendTimePast:
        return texts::sendoptions::SendTimePast;
    case JobOptionsProblem::SendTimeTooFar:
        return texts::sendoptions::SendTimeTooFar;
    case JobOptionsProblem::KillBeforeSend:
        return texts::sendoptions::KillBeforeSend;
    case JobOptionsProblem::KillTooLate:
        return texts::sendoptions::KillTooLate;
    case JobOptionsProblem::TriesOutOfRange:
        return texts::sendoptions::TriesOutOfRange;
    }
    return {};
}

} // namespace

JobOptions jobOptionsOf(const SettingsValues& settings)
{
    JobOptions options;
    if (const qint16 hours = settings.number(settings::KillAfter); hours > 0)
        options.killAfterHours = hours;
    if (const qint16 tries = settings.number(settings::MaxTries); tries > 0)
        options.maxTries = tries;
    options.standardResolution = settings.flag(settings::Standard);
    return options;
}

SubmissionFlow::SubmissionFlow(CorvanefaxHost& host, GridRows& destinations, GridRows& documents,
                               const LineTable& lines, IMessageBox& box, QObject* parent)
    : QObject(parent), m_host(host), m_destinations(destinations), m_documents(documents), m_lines(lines),
      m_box(box), m_settings([] { return SettingsValues(); }), m_lineText([] { return QString(); }),
      m_jobOptionsOf([this] { return jobOptionsOf(m_settings()); })
{
    connect(&m_host, &CorvanefaxHost::faxSubmitted, this, &SubmissionFlow::onFaxSubmitted);
    connect(&m_host, &CorvanefaxHost::outcomeUnknown, this, &SubmissionFlow::onOutcomeUnknown);
    connect(&m_host, &CorvanefaxHost::submissionFailed, this, &SubmissionFlow::onFailed);
}

void SubmissionFlow::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    Q_EMIT runningChanged(running);
}

void SubmissionFlow::send()
{
    press(false);
}

void SubmissionFlow::sendUnattended()
{
    press(true);
}

void SubmissionFlow::press(bool unattended)
{
    if (m_running || m_checking)
        return; // one submission at a time: a second would drop the first
    const bool joined = std::exchange(m_joinedAnswer, false);
    m_unattended = unattended;
    if (!pressStarts(joined) && !m_checking && unattended)
        Q_EMIT unattendedStopped();
}

bool SubmissionFlow::isLetter(int row) const
{
    return !m_destinations.text(row, DestinationColumn::Letter).isEmpty();
}

bool SubmissionFlow::pressStarts(bool joined)
{
    const SettingsValues settings = m_settings();
    m_cover.clear();
    if (isSet(settings.cover)) {
        if (settings.cover.right(3) != u"pdf"_s && settings.cover.right(2) != u"ps"_s) {
            m_box.show({texts::WrongCover, texts::ProductName, MsgIcon::Exclamation, MsgButtons::Ok});
            Q_EMIT coverRejected();
            return false;
        }
        m_cover = settings.cover;
    }
    if (m_destinations.rows() < 2) {
        m_box.show({texts::NoDestination, texts::ProductName, MsgIcon::Information, MsgButtons::Ok});
        return false;
    }
    // Letters carry their own documents: the list is for the others.
    bool listNeeded = false;
    for (int row = 1; row < m_destinations.rows() && !listNeeded; ++row)
        listNeeded = !isLetter(row);
    if (listNeeded && m_documents.rows() <= 1) {
        m_box.show({texts::NoDocument, texts::ProductName, MsgIcon::Information, MsgButtons::Ok});
        return false;
    }
    // Every destination of this press has a number to dial, or nothing goes.
    if (!checkNumbers(m_destinations.rows() - 1))
        return false;
    // Options the server would take otherwise than meant never go.
    const JobOptions options = m_unattended ? jobOptionsOf(settings) : m_jobOptionsOf();
    if (const QString problem = problemText(checkJobOptions(options, QDateTime::currentDateTime()));
        !problem.isEmpty()) {
        m_box.show({problem, texts::ProductName, MsgIcon::Exclamation, MsgButtons::Ok});
        return false;
    }
    if (!applianceAnswers(joined))
        return false;
    m_handedOver.clear();
    m_handedOverIds.clear();
    for (int r = 1; listNeeded && r < m_documents.rows(); ++r) {
        m_handedOver << m_documents.rowCells(r);
        m_handedOverIds << m_documents.rowId(r);
    }
    m_listEmptied = false;
    m_jobList.clear();
    m_uncertain.clear();
    m_sent.clear();
    m_unconfirmed.clear();
    m_jobOptions = options;
    setRunning(true);
    sendToDestinations();
    // The list is emptied once the control has the submission; a failure
    // reported meanwhile left the documents where they were.
    if (m_running)
        handOverDocuments();
    return true;
}

bool SubmissionFlow::checkNumbers(int last)
{
    for (int row = 1; row <= last; ++row) {
        if (!hasDigit(m_destinations.text(row, 1))) {
            m_box.show({texts::numbers::noDigits(m_destinations.text(row, 2), m_destinations.text(row, 1)),
                        texts::ProductName, MsgIcon::Exclamation, MsgButtons::Ok});
            return false;
        }
    }
    return true;
}

void SubmissionFlow::setChecking(bool checking)
{
    if (m_checking == checking)
        return;
    m_checking = checking;
    Q_EMIT checkingAppliance(checking);
}

bool SubmissionFlow::applianceAnswers(bool joined)
{
    if (!m_watch)
        return true;
    if (!joined) {
        // The appliance is being asked already (at start-up, or by the
        // watch's retry, whose wait this press runs inside): this press
        // takes that answer rather than asking again inside that wait.
        if (m_watch->isActivating()) {
            setChecking(true);
            connect(
                m_watch, &ApplianceWatch::activationFinished, this,
                [this] {
                    setChecking(false);
                    m_joinedAnswer = true;
                    press(m_unattended);
                },
                static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
            return false;
        }
        // The appliance was away: one more try before giving up on this press.
        if (m_watch->isAway()) {
            setChecking(true);
            // Only the appliance's answer (isAway) decides this press.
            (void)m_watch->activate();
            setChecking(false);
        }
    }
    if (m_watch->isAway()) {
        m_box.show({texts::ApplianceAway, texts::ProductName, MsgIcon::Exclamation, MsgButtons::Ok});
        return false;
    }
    return true;
}

QString SubmissionFlow::faxNumber(int row) const
{
    const SettingsValues settings = m_settings();
    const QString number = m_destinations.text(row, 1);
    return isSet(settings.prefix) ? settings.prefix + number : number;
}

bool SubmissionFlow::hasNextSession() const
{
    return m_destinations.rows() >= 2 && (isLetter(1) || !m_handedOver.isEmpty());
}

void SubmissionFlow::sendToDestinations()
{
    const SettingsValues settings = m_settings();
    // A letter alone with its document. The others up to the next letter in
    // one session (the documents go up once, one job each), or the first
    // one alone.
    const bool letter = isLetter(1);
    int last = 1;
    if (!letter && settings.flag(settings::GroupSend)) {
        while (last + 1 < m_destinations.rows() && !isLetter(last + 1))
            ++last;
    }
    // A destination added since the press is checked as the press checked
    // the others; the jobs that went are told with the reason.
    if (!checkNumbers(last)) {
        onFailed(QString());
        return;
    }
    const QString line = m_lineText();
    std::optional<QString> modem;
    if (!line.isEmpty())
        modem = m_lines.identifierOf(line);
    if (ICorvanefax* control = m_host.control())
        ControlSettings::applyLogin(*control, settings);
    QStringList documents;
    if (letter) {
        documents << m_destinations.text(1, DestinationColumn::Letter);
    } else {
        for (const QStringList& row : std::as_const(m_handedOver))
            documents << row.value(1);
    }
    QString files = m_cover.isEmpty() ? QString() : m_cover + u',';
    for (const QString& document : std::as_const(documents))
        files += document + u',';
    // The control makes one job per number, in order, and reports them in
    // that order: the numbers it is handed are those of the jobs in flight,
    // one for one, each job keeping the identity of the row it came from.
    m_inFlight.clear();
    for (int row = 1; row <= last; ++row) {
        m_inFlight.append(
            {m_destinations.rowId(row),
             {QString(), settings.ip, m_destinations.text(row, 1), faxNumber(row),
              m_destinations.text(row, 2), documents, m_jobOptions.sendAt.value_or(QDateTime())}});
    }
    QStringList numbers;
    for (const InFlight& job : std::as_const(m_inFlight))
        numbers << job.job.dialled;
    m_host.sendFax(files, numbers.join(u':'), settings.mail, settings.maxDials, modem, m_jobOptions);
}

void SubmissionFlow::handOverDocuments()
{
    // Only the submission's own rows: a document printed while the control
    // was connecting stays for the next send, whatever was removed meanwhile.
    for (const quint64 id : std::as_const(m_handedOverIds)) {
        if (const int row = m_documents.rowOf(id); row > 0)
            m_documents.removeRow(row);
    }
    m_listEmptied = true;
}

void SubmissionFlow::restoreDocuments()
{
    if (m_listEmptied)
        m_documents.insertRows(1, m_handedOver);
    m_handedOver.clear();
    m_handedOverIds.clear();
    m_listEmptied = false;
}

void SubmissionFlow::onFaxSubmitted(const QString& jobNumber)
{
    if (!m_running)
        return;
    m_jobList += u' ' + jobNumber;
    if (!m_inFlight.isEmpty()) {
        SubmittedJob job = m_inFlight.constFirst().job;
        job.job = jobNumber;
        m_sent << job;
        Q_EMIT jobSubmitted(job);
    }
    destinationDone();
}

void SubmissionFlow::onOutcomeUnknown(const QString& jobNumber)
{
    if (!m_running)
        return;
    // It may have gone: sending it again could send it twice.
    m_uncertain += u' ' + jobNumber;
    if (!m_inFlight.isEmpty()) {
        SubmittedJob job = m_inFlight.constFirst().job;
        job.job = jobNumber;
        m_unconfirmed << job;
        Q_EMIT jobOutcomeUnknown(job);
    }
    destinationDone();
}

void SubmissionFlow::destinationDone()
{
    // The row the job went to, wherever it is now; gone already when the
    // user removed it meanwhile, and then no other row is taken for it.
    if (!m_inFlight.isEmpty()) {
        if (const int row = m_destinations.rowOf(m_inFlight.takeFirst().row); row > 0)
            m_destinations.removeRow(row);
    }
    // More jobs of this session to come.
    if (!m_inFlight.isEmpty())
        return;
    if (hasNextSession()) {
        m_host.control()->Termina();
        // A capture printer that cannot be checked stops no fax: what
        // matters here is whether the appliance answered (applianceAway).
        if (m_watch)
            (void)m_watch->activate();
        else
            (void)m_host.activate();
        // The activation waits for the appliance; the user may have emptied
        // the list meanwhile.
        if (!m_running)
            return;
        if (m_host.applianceAway()) {
            onFailed(ApplianceOffline.toString());
            return;
        }
        if (hasNextSession()) {
            sendToDestinations();
            return;
        }
    }
    m_handedOver.clear();
    m_handedOverIds.clear();
    m_listEmptied = false;
    setRunning(false);
    if (m_unattended) {
        // The window was not the press's: shown meanwhile, it stays.
        m_jobList.clear();
        m_uncertain.clear();
        Q_EMIT sentUnattended(std::exchange(m_sent, {}), std::exchange(m_unconfirmed, {}));
        return;
    }
    showSummary();
    Q_EMIT finished();
}

void SubmissionFlow::showSummary()
{
    const SettingsValues settings = m_settings();
    const QString jobs = std::exchange(m_jobList, {});
    const QString uncertain = std::exchange(m_uncertain, {});
    if (jobs.isEmpty()) {
        m_box.show(
            {texts::outcomeToCheck(uncertain), texts::ProductName, MsgIcon::Exclamation, MsgButtons::Ok});
        return;
    }
    m_box.show({texts::submissionSummary(settings.mail, jobs, uncertain), texts::ProductName,
                MsgIcon::Information, MsgButtons::Ok});
}

void SubmissionFlow::onFailed(const QString& reason)
{
    if (!m_running)
        return;
    setRunning(false);
    m_inFlight.clear();
    const bool restored = m_listEmptied;
    restoreDocuments();
    if (restored)
        Q_EMIT documentsRestored();
    // Some destinations got theirs: the user must know which went.
    if (!m_jobList.isEmpty() || !m_uncertain.isEmpty()) {
        m_box.show({texts::partialFailure(reason, m_jobList, m_uncertain), texts::ProductName,
                    MsgIcon::Exclamation, MsgButtons::Ok});
    }
    if (m_unattended)
        Q_EMIT unattendedStopped();
}

void SubmissionFlow::abandon()
{
    onFailed(QString());
}

void SubmissionFlow::addPrintedDocument(const QString& spoolFile)
{
    const int m = m_documents.rows();
    m_documents.setRows(m + 1);
    m_documents.setText(m, 1, spoolFile);
    m_documents.setText(m, 2, FileNameOf(spoolFile));
}

} // namespace kestrel
