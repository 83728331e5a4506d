#pragma once

#include "CorvanefaxHost.h"

#include <QObject>

namespace kestrel {

// Hosts the fax control for print capture: activation makes sure the
// capture printer exists and opens the capture port; every print job's
// spool file is printed on standard output as it is written. Standard error
// says whether the capture port is listening, also when that changes.
class CaptureHost : public QObject
{
    Q_OBJECT
public:
    CaptureHost(CorvanefaxHost& host, const QString& appliance, const QString& printer, bool debug);

    // False when the program was asked to quit during activation. True also
    // when the appliance does not answer (prints are captured all the same)
    // and when the port is taken: the control retries it, and standard error
    // says so.
    [[nodiscard]] bool start();

private:
    void onPrintedDoc(const QString& spoolFile);
    void onMessage(const QString& message);
    void sayListening() const;

    CorvanefaxHost& m_host;
    QString m_appliance;
    QString m_printer;
    bool m_debug;
    bool m_offline = false;
    bool m_notListening = false;
    bool m_started = false;
};

} // namespace kestrel
