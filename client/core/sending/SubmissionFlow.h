#pragma once

#include "ApplianceWatch.h"
#include "CorvanefaxHost.h"
#include "GridRows.h"
#include "JobOptions.h"
#include "LineTable.h"
#include "SettingsValues.h"

#include <QObject>

#include <functional>

namespace kestrel {

// A job the fax server was handed, as the history records it.
struct SubmittedJob
{
    QString job;
    QString appliance;     // the address it went to
    QString number;        // the destination as listed
    QString dialled;       // the number the server dials (with the prefix)
    QString description;   // the destination's description
    QStringList documents; // the documents, without the cover page
    QDateTime planned;     // when the server is to send it; not valid: at once
};

// The send options a fax starts with: the settings' defaults.
JobOptions jobOptionsOf(const SettingsValues& settings);

// The columns of the destination list. A letter of a print whose pages name
// their destinations holds its pages and its own document; every other
// destination leaves both empty.
struct DestinationColumn
{
    static constexpr int Number = 1;
    static constexpr int Description = 2;
    static constexpr int Pages = 3;
    static constexpr int Letter = 4; // the letter's document; not shown
    static constexpr int Count = 5;
};

// Sending a fax to every destination of the send window: the documents of
// the document list (the cover page first) go to every destination in one
// session with one SendFax (one upload, one job each; GROUPSEND 0: to the
// destination in row 1 alone, the next one after its FaxSubmitted). Each
// FaxSubmitted removes its destination; after the last the user gets one
// summary of all job numbers.
//
// A destination whose number has no digit stops the press before anything
// is sent (the user is told which one): the control would make no job for
// it, and every later job would be told against the row before its own.
//
// A letter (a destination with a document of its own) goes alone, in a
// session of its own, with the cover page and its document only; the other
// destinations take the document list as above. The list is needed, and
// taken, only when such a destination is among those of the press.
//
// A submission keeps to the rows it took: the destination a job was sent to
// is the one removed when the job is confirmed, and only the document rows
// it took leave the list, whatever the user removed or added meanwhile.
//
// A submission the control reports as failed loses nothing: its documents
// come back to the front of the document list and its destination stays in
// row 1, so pressing send again retries; the user is told the job numbers
// that went before the failure. A job whose answer never came (the server
// may hold it) is never sent again: it counts as gone, to be checked, and
// the documents do not come back for it. While a submission runs, send()
// does nothing (the window also disables its button).
class SubmissionFlow : public QObject
{
    Q_OBJECT
public:
    SubmissionFlow(CorvanefaxHost& host, GridRows& destinations, GridRows& documents, const LineTable& lines,
                   IMessageBox& box, QObject* parent = nullptr);

    // The settings in force, read at every press and for every destination.
    void setSettings(std::function<SettingsValues()> settings) { m_settings = std::move(settings); }
    // The line selector's text at the moment.
    void setLineText(std::function<QString()> lineText) { m_lineText = std::move(lineText); }
    // The send options of the next press (the send window's row); checked
    // at the press, which sends nothing when they are wrong (the user is
    // told why), and kept for every destination of it.
    void setJobOptions(std::function<JobOptions()> options) { m_jobOptionsOf = std::move(options); }
    // Activates the control again before a send when the appliance was away.
    void setApplianceWatch(ApplianceWatch* watch) { m_watch = watch; }

    // The send button, once the window added a typed number.
    void send();
    // A press without the user: the send options are the settings'
    // defaults, and the summary goes to sentUnattended instead of a box.
    // When it stops short (a message said why) unattendedStopped follows.
    void sendUnattended();
    bool isRunning() const { return m_running; }
    // A press waits for the appliance's answer (send() does nothing then).
    bool isChecking() const { return m_checking; }

    // The control that runs the submission goes away (the send window
    // reloads): the submission counts as failed, its documents come back.
    void abandon();

    // The control found a printed document: it joins the end of the list.
    void addPrintedDocument(const QString& spoolFile);

    const QString& jobList() const { return m_jobList; }
    // Jobs of this submission whose outcome is to be checked.
    const QString& uncertainJobs() const { return m_uncertain; }

Q_SIGNALS:
    // The cover page is not PDF or PostScript: the options window should
    // open, modal.
    void coverRejected();
    // The summary was shown: the send window and its companions hide.
    void finished();
    // A failed submission's documents are back in the list.
    void documentsRestored();
    void runningChanged(bool running);
    // A press asks the appliance, or waits for the answer to an activation
    // under way, before it sends; false once it has the answer.
    void checkingAppliance(bool checking);
    // The fax server accepted a job.
    void jobSubmitted(const kestrel::SubmittedJob& job);
    // A job was handed in but its answer never came: it may have gone.
    void jobOutcomeUnknown(const kestrel::SubmittedJob& job);
    // An unattended press sent every destination: the jobs the server
    // confirmed and those whose answer never came. No finished follows: a
    // window the user opened meanwhile stays as it is.
    void sentUnattended(const QList<kestrel::SubmittedJob>& jobs,
                        const QList<kestrel::SubmittedJob>& uncertain);
    // An unattended press did not send every destination: what is left is
    // in the lists, the user was told why.
    void unattendedStopped();

private:
    void press(bool unattended);
    // Whether the press started; false also while it waits for the answer
    // of an activation under way (checking).
    bool pressStarts(bool joined);
    // The destination has a document of its own.
    bool isLetter(int row) const;
    // Row 1 can go: a letter, or a destination the documents taken are for.
    bool hasNextSession() const;
    void onFaxSubmitted(const QString& jobNumber);
    void onOutcomeUnknown(const QString& jobNumber);
    void onFailed(const QString& reason);
    // The destination in flight is done with: the next one, or the summary.
    void destinationDone();
    void sendToDestinations();
    QString faxNumber(int row) const;
    // Rows 1 to last each have a number with a digit; else the user is told
    // which one has not, and nothing is sent.
    bool checkNumbers(int last);
    void setRunning(bool running);
    void setChecking(bool checking);
    // Whether the appliance answers for this press (the user was told when
    // not); false also while the press waits for an activation under way,
    // which calls send() again with its answer (joined).
    bool applianceAnswers(bool joined);
    void handOverDocuments();
    void restoreDocuments();
    void showSummary();

    CorvanefaxHost& m_host;
    GridRows& m_destinations;
    GridRows& m_documents;
    const LineTable& m_lines;
    IMessageBox& m_box;
    ApplianceWatch* m_watch = nullptr;
    std::function<SettingsValues()> m_settings;
    std::function<QString()> m_lineText;
    std::function<JobOptions()> m_jobOptionsOf;
    JobOptions m_jobOptions; // of the press under way

    QString m_cover; // the cover page of the press under way; empty: none
    QString m_jobList;
    QString m_uncertain;
    QList<SubmittedJob> m_sent; // of the press under way
    QList<SubmittedJob> m_unconfirmed;
    bool m_unattended = false; // the press under way
    bool m_running = false;
    bool m_checking = false;
    bool m_joinedAnswer = false; // the next send() takes the answer just had
    // The destination rows the jobs in flight go to, and what each sends, in
    // the order the control reports them.
    struct InFlight
    {
        quint64 row;
        SubmittedJob job;
    };
    QList<InFlight> m_inFlight;
    // The document rows of the submission (their identities and texts),
    // taken out of the list once the control has them, until it has sent
    // them to every destination.
    QList<quint64> m_handedOverIds;
    QList<QStringList> m_handedOver;
    bool m_listEmptied = false;
};

} // namespace kestrel
