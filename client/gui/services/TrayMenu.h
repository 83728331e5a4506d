#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace kestrel {

// Keeps the pop-up menu to one instance: the tray callback's code 0 loads
// and shows it, unless it is visible already, in which case its slide and
// its close timer go on undisturbed. The signals of whichever menu is loaded
// arrive here, so the program connects them once.
class TrayMenu : public QObject
{
    Q_OBJECT

public:
    // Makes the menu window, hidden, with its entries connected to menu's
    // signals; the window deletes itself when it closes.
    using Loader = std::function<QWidget*(TrayMenu& menu)>;

    explicit TrayMenu(Loader load, QObject* parent = nullptr);
    ~TrayMenu() override;

    // The loaded menu, or nullptr.
    QWidget* dialog() const { return m_dialog; }

public Q_SLOTS:
    void open();

Q_SIGNALS:
    void sendWindowRequested();
    void statusWindowRequested();
    void setupRequested();
    void quitRequested();

private:
    Loader m_load;
    QPointer<QWidget> m_dialog;
};

} // namespace kestrel
