#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QTimer;

namespace kestrel {

// The notice window: a small light-yellow window that shows one notice and
// unloads itself 3 seconds after it was loaded, unless its timer Timer1 has
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
    // one shows replaces it; the window still closes when the first one's
    // time is up.
    static void ShowNotice(const QString& text);

    // For tests: the close interval of windows loaded from now on.
    static void setCloseInterval(int milliseconds);

    void setNotice(const QString& text);

    // Timer1.Enabled: switching it on again starts a full interval.
    void setTimerEnabled(bool enabled);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_label;
    QTimer* m_timer;

    static inline QPointer<FrmMsg> s_shared;
    static inline int s_closeInterval = DefaultCloseInterval;
};

} // namespace kestrel
