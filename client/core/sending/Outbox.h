#pragma once

#include "ApplianceWatch.h"
#include "CorvanefaxHost.h"
#include "GridRows.h"
#include "LineTable.h"
#include "PrintIntake.h"
#include "SubmissionFlow.h"

namespace kestrel {

// What the program sends and the sending of it: the host of the fax
// control, the destination and document lists, the watch that keeps the
// control activated and the submission that sends the lists. The program
// owns it and hands it to the send window, which shows the lists, makes,
// activates and destroys the control on the host at its load, and presses
// send; the program takes the jobs and the appliance's pages from here for
// the history. The captured prints come through the intake, which reads
// the destinations their pages name (with the program's reader).
class Outbox
{
public:
    // lines: program-wide, it outlives a reload of the window.
    Outbox(const LineTable& lines, IMessageBox& box);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    CorvanefaxHost& host() { return m_host; }
    ApplianceWatch& watch() { return m_watch; }
    GridRows& destinations() { return m_destinations; }
    GridRows& documents() { return m_documents; }
    SubmissionFlow& flow() { return m_flow; }
    PrintIntake& intake() { return m_intake; }

private:
    CorvanefaxHost m_host;
    ApplianceWatch m_watch{m_host};
    GridRows m_destinations{DestinationColumn::Count};
    GridRows m_documents{3};
    SubmissionFlow m_flow;
    PrintIntake m_intake;
};

} // namespace kestrel
