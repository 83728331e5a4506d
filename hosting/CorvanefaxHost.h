#pragma once

#include "Corvanefax.h"
#include "Expected.h"
#include "JobOptions.h"
#include "MemoryPropertyBag.h"
#include "PlainTextMessageBox.h"

#include <QObject>

#include <memory>
#include <optional>

namespace kestrel {

// The reason of a fax that asked for job options of a control without them.
inline constexpr QStringView NoJobOptions =
    u"La libreria del controllo non conosce le opzioni di invio: fax non inviato";

// Hosts the fax control for a program: creates it by its ProgID through the
// component registry, is its site (message boxes, design-time properties,
// the time limit) and its event sink, and turns its events into Qt signals.
//
// It also tells, for each sendFax, whether that fax went: faxSubmitted for
// each job, or submissionFailed when the control reported that the rest did
// not go (from the texts the public header names). Other reports, such as a
// print job that could not be captured, never count as a failed fax.
//
// Signals are delivered synchronously, as the control raises its events: a
// handler may call back into the control (the next sendFax from
// faxSubmitted), but must not destroy the host.
class CorvanefaxHost : public QObject, private ICorvanefaxEvents, private IControlSite
{
    Q_OBJECT
public:
    // A day: longer than any wait of a fax appliance, short enough for
    // every timer.
    static constexpr qint64 LongestWaitMs = 24LL * 60 * 60 * 1000;

    explicit CorvanefaxHost(QObject* parent = nullptr);
    ~CorvanefaxHost() override;

    // Creates a new control, replacing (and destroying) the one created
    // before. Its persisted properties are read from the design data
    // the host keeps for the controls it makes.
    Status create();
    // Hosts a control made elsewhere (tests hand in a stand-in); jobOptions:
    // the same control's extension, when it has one.
    void adopt(std::unique_ptr<ICorvanefax> control, ICorvanefaxJobOptions* jobOptions = nullptr);
    void destroy();
    ICorvanefax* control() const { return m_control.get(); }

    // Where the control's message boxes go; plain text on stderr until set.
    void setMessageBox(IMessageBox* box) { m_box = box ? box : &m_plainBox; }
    // The control's time limit, in milliseconds, kept between 1 ms and a day.
    void setWaitLimitMs(qint64 ms);
    // Whether activation installs the capture printer and opens the capture
    // port (on by default).
    void setPrintCapture(bool on) { m_printCapture = on; }

    // SendFax with the host's bookkeeping. Without a line the call has four
    // arguments and the control uses its default line. Options other than
    // the default need a control with the extension: without it nothing is
    // sent (submissionFailed), rather than a fax sent otherwise than asked.
    QVariant sendFax(const QString& files, const QString& numbers, const QString& notify, qint16 maxDials,
                     const std::optional<QString>& line = std::nullopt, const JobOptions& options = {});

    // Attiva with the host's bookkeeping: whether the appliance answered.
    [[nodiscard]] MethodError activate();
    // The last activation did not find the appliance (print jobs are still
    // taken; faxes are not sent until an activation finds it).
    bool applianceAway() const { return m_applianceAway; }

Q_SIGNALS:
    void printedDocAvailable(const QString& spoolFile);
    void faxSubmitted(const QString& jobNumber, const QString& sentFiles);
    void messageFromAppliance(const QString& message);
    void xmlServerStatus(const QString& xml);
    void xmlFaxOutStatus(const QString& xml);
    void xmlFaxDoneStatus(const QString& xml);
    // The last sendFax, or the jobs of it not reported yet, did not go; the
    // reason is what the control said (it has been shown already).
    void submissionFailed(const QString& reason);
    // A job of the last sendFax was handed in but its answer never came: the
    // server may hold it. Neither sent nor failed; counts as reported.
    void outcomeUnknown(const QString& jobNumber);

private:
    // ICorvanefaxEvents
    void PrintedDocAvailable(QString& SpoolFile) override;
    void FaxSubmitted(QString& JobNumber, QString& SentFiles) override;
    void MessageFromAppliance(QString& Msg) override;
    void XMLServerStatus(QString& XML_Output) override;
    void XMLFaxOutStatus(QString& XML_Output) override;
    void XMLFaxDoneStatus(QString& XML_Output) override;
    // IControlSite
    IMessageBox& messageBox() override { return m_watchingBox; }
    void propertyChanged(const QString& name) override;
    bool hostsPrintCapture() const override { return m_printCapture; }
    int waitLimitMs() const override { return m_waitLimitMs; }

    void failed(const QString& reason);

    // Passes boxes on, and notes the one that says a login was refused.
    class WatchingBox : public IMessageBox
    {
    public:
        explicit WatchingBox(CorvanefaxHost& host) : m_host(host) {}
        MsgAnswer show(const MessageBoxRequest& request) override;

    private:
        CorvanefaxHost& m_host;
    };

    std::unique_ptr<ICorvanefax> m_control;
    ICorvanefaxJobOptions* m_jobOptions = nullptr; // m_control's extension, when it has one
    PlainTextMessageBox m_plainBox;
    IMessageBox* m_box = &m_plainBox;
    WatchingBox m_watchingBox{*this};
    MemoryPropertyBag m_designData;
    int m_waitLimitMs = 60000;
    bool m_printCapture = true;

    quint64 m_attempt = 0; // the latest sendFax
    bool m_open = false;   // it still has jobs to report
    int m_jobsLeft = 0;    // FaxSubmitted events it still expects
    QString m_lastRefusal; // the last box the control showed during it

    bool m_applianceAway = false;
};

} // namespace kestrel
