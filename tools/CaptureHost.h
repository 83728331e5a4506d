#pragma once

#include "Corvanefax.h"
#include "PlainTextMessageBox.h"

#include <QObject>

namespace kestrel {

// Hosts the fax control for print capture: activation makes sure the
// capture printer exists and opens the capture port; every print job's
// spool file is printed on standard output as it is written. Standard error
// says whether the capture port is listening, also when that changes.
class CaptureHost : public QObject, public ICorvanefaxEvents, public IControlSite
{
    Q_OBJECT
public:
    CaptureHost(ICorvanefax& control, const QString& appliance, const QString& printer, bool debug);

    // False when activation failed (the reason is on standard error) or the
    // program was asked to quit meanwhile. True also when the port is taken:
    // the control retries it, and standard error says so.
    bool start();

private:
    void PrintedDocAvailable(QString& SpoolFile) override;
    void MessageFromAppliance(QString& Msg) override;

    IMessageBox& messageBox() override { return m_box; }
    void propertyChanged(const QString&) override {}

    void sayListening() const;

    ICorvanefax& m_control;
    QString m_appliance;
    QString m_printer;
    bool m_debug;
    bool m_offline = false;
    bool m_notListening = false;
    bool m_started = false;
    PlainTextMessageBox m_box;
};

} // namespace kestrel
