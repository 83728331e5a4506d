#pragma once

#include "DesktopContacts.h"
#include "FaxHistory.h"
#include "MessageBox.h"
#include "StatusTracker.h"
#include "SubmissionFlow.h"

#include <QObject>

#include <functional>

namespace kestrel {

// The history's account of the faxes to the user: what a submitted job is
// recorded as (who it went to, what was sent), which notice tells how a fax
// ended, and what "Reinvia" puts back into the send window. What it says
// and decides is here; where it is shown is the program's.
class FaxLog : public QObject
{
    Q_OBJECT
public:
    // What the log needs from the rest of the program.
    struct Services
    {
        // A notice about the fax with that handle (FaxHistory::handleOf);
        // offerResend: it offers "Reinvia".
        std::function<void(int handle, const QString& text, bool offerResend)> notify;
        // A notice about no fax in particular.
        std::function<void(const QString& text)> tell;
        // The name the contact database gives a number; empty when none.
        std::function<QString(const QString& number)> databaseName;
        // The desktop contacts; none until they are read.
        std::function<QList<DesktopContact>()> desktopContacts;
        // Puts a fax back into the send window: false when nothing was put
        // back (the user was told why, or declined).
        std::function<bool(const QString& number, const QString& name, const QStringList& documents)> putBack;
        IMessageBox* messageBox = nullptr;
    };

    FaxLog(FaxHistory& history, StatusTracker& tracker, Services services, QObject* parent = nullptr);

    // The fax server took a job (uncertain: it may hold it, the answer
    // never came): it joins the history and is asked about.
    void record(const SubmittedJob& job, bool uncertain);
    // The name of number in the contact database, else among the desktop
    // contacts (by its digits); empty when neither has it.
    QString contactName(const QString& number) const;
    // "Reinvia" for the fax at index: the number and the documents still as
    // they were sent go back to the send window; the others are named.
    void resend(int index);
    // The fax at index ended (sent, failed, stopped): the notice that says so.
    void faxEnded(int index);

private:
    FaxHistory& m_history;
    StatusTracker& m_tracker;
    Services m_services;
};

} // namespace kestrel
