#include "SubmissionFlow.h"

#include "ClientTexts.h"
#include "FileNameOf.h"

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// Not "none": the setting is in force.
bool isSet(const QString& value)
{
    return value != settings::None;
}

} // namespace

SubmissionFlow::SubmissionFlow(CorvanefaxHost& host, GridRows& destinations, GridRows& documents,
                               const LineTable& lines, IMessageBox& box, QObject* parent)
    : QObject(parent), m_host(host), m_destinations(destinations), m_documents(documents), m_lines(lines),
      m_box(box), m_settings([] { return SettingsValues(); }), m_lineText([] { return QString(); })
{
    connect(&m_host, &CorvanefaxHost::faxSubmitted, this, &SubmissionFlow::onFaxSubmitted);
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
    if (m_running)
        return; // one submission at a time: a second would drop the first
    const SettingsValues settings = m_settings();
    m_submitFiles.clear();
    if (isSet(settings.cover)) {
        if (settings.cover.right(3) != u"pdf"_s && settings.cover.right(2) != u"ps"_s) {
            m_box.show({texts::WrongCover, texts::ProductName, MsgIcon::Exclamation, MsgButtons::Ok});
            Q_EMIT coverRejected();
            return;
        }
        m_submitFiles = settings.cover + u',';
    }
    if (m_destinations.rows() < 2) {
        m_box.show({texts::NoDestination, texts::ProductName, MsgIcon::Information, MsgButtons::Ok});
        return;
    }
    if (m_documents.rows() <= 1) {
        m_box.show({texts::NoDocument, texts::ProductName, MsgIcon::Information, MsgButtons::Ok});
        return;
    }
    m_handedOver.clear();
    for (int r = 1; r < m_documents.rows(); ++r) {
        m_submitFiles += m_documents.text(r, 1) + u',';
        m_handedOver << m_documents.rowCells(r);
    }
    m_listEmptied = false;
    m_jobList.clear();
    setRunning(true);
    sendToFirstDestination();
    // The list is emptied once the control has the submission; a failure
    // reported meanwhile left the documents where they were.
    if (m_running)
        handOverDocuments();
}

QString SubmissionFlow::faxNumber() const
{
    const SettingsValues settings = m_settings();
    const QString number = m_destinations.text(1, 1);
    return isSet(settings.prefix) ? settings.prefix + number : number;
}

void SubmissionFlow::sendToFirstDestination()
{
    const SettingsValues settings = m_settings();
    const QString line = m_lineText();
    std::optional<QString> modem;
    if (!line.isEmpty())
        modem = m_lines.identifierOf(line);
    m_host.sendFax(m_submitFiles, faxNumber(), settings.mail, settings.maxDials, modem);
}

void SubmissionFlow::handOverDocuments()
{
    // Only the submission's own rows: a document printed while the control
    // was connecting stays for the next send.
    for (int i = 0; i < m_handedOver.size() && m_documents.rows() > 1; ++i)
        m_documents.removeRow(1);
    m_listEmptied = true;
}

void SubmissionFlow::restoreDocuments()
{
    if (m_listEmptied)
        m_documents.insertRows(1, m_handedOver);
    m_handedOver.clear();
    m_listEmptied = false;
}

void SubmissionFlow::onFaxSubmitted(const QString& jobNumber)
{
    if (!m_running)
        return;
    if (m_destinations.rows() >= 3)
        m_destinations.removeRow(1);
    else
        m_destinations.setRows(1);
    m_jobList += u' ' + jobNumber;
    if (m_destinations.rows() >= 2) {
        ICorvanefax* control = m_host.control();
        control->Termina();
        control->Attiva();
        sendToFirstDestination();
        return;
    }
    const SettingsValues settings = m_settings();
    m_handedOver.clear();
    m_listEmptied = false;
    setRunning(false);
    m_box.show({texts::submissionSummary(settings.mail, m_jobList), texts::ProductName, MsgIcon::Information,
                MsgButtons::Ok});
    m_jobList.clear();
    Q_EMIT finished();
}

void SubmissionFlow::onFailed(const QString&)
{
    if (!m_running)
        return;
    setRunning(false);
    const bool restored = m_listEmptied;
    restoreDocuments();
    if (restored)
        Q_EMIT documentsRestored();
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
