#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QTimer;

namespace kestrel {

// The notice window: a small light-yellow window that shows its notices
// one after the other, each for 3 seconds (from the load for the first),
// and unloads itself after the last, unless the timer Timer1 of a notice has
// been switched off (the desktop contacts' load does that and closes it
// itself). One shared instance: ShowNotice and load() reach it.
class FrmMsg : public QWidget
{
    Q_OBJECT

public:
    static constexpr int DefaultCloseInterval = 3000;

    // Loading starts the close timer. It deletes itself when it closes.
    explicit FrmMsg(int closeInterval = DefaultCloseInterval, QWidget* parent = nullptr);

    // The shared window: loaded if needed (and not shown yet), or nullptr
    // when it is not loaded.
    static FrmMsg& load();
    static FrmMsg* loaded();

    // Shows text in the shared window, modeless. A notice that comes while
    // another one shows waits for its turn (one that says the same as the
    // last one is not said twice), so that each is seen for its time.
    static void ShowNotice(const QString& text);

    // For tests: the close interval of windows loaded from now on.
    static void setCloseInterval(int milliseconds);

    // The text of the notice on show.
    void setNotice(const QString& text);
    // The notices waiting for their turn.
    QStringList waitingNotices() const;

    // Timer1.Enabled, for the latest notice: switched off, it shows until
    // the window is closed; switching it on again starts a full interval.
    void setTimerEnabled(bool enabled);

protected:
    // Closing ends the notice on show and every notice held without a
    // timer (their owner is done with them); the others go on in a new
    // window. Closed while a held notice waits behind one that shows for
    // its time, only the held one goes.
    void closeEvent(QCloseEvent* event) override;

private:
    struct Notice
    {
        QString text;
        bool held = false;
    };

    void enqueue(const QString& text);
    // The notice on show has had its time: the next one, or unload.
    void next();
    void showFirst();

    QLabel* m_label;
    QTimer* m_timer;
    // The first one shows; the others wait for their turn.
    QList<Notice> m_notices;

    static inline QPointer<FrmMsg> s_shared;
    static inline int s_closeInterval = DefaultCloseInterval;
};

} // namespace kestrel
