#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrel {

// Turns SIGTERM and SIGINT into a Qt signal: the handler only sets the
// interruption flag of Wait.h and writes to a pipe (all it may safely do),
// and the event loop reads it. A signal that comes while a wait runs nested
// in the event loop thus ends that wait too, instead of being lost behind it.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

    // False when signals cannot be caught: they then end the program at once.
    [[nodiscard]] bool install();

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace kestrel
