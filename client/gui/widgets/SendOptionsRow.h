#pragma once

#include "JobOptions.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QSpinBox;
class QToolButton;

namespace kestrel {

// The send window's "Opzioni di invio": a header that opens and closes the
// options of the next fax, send at (a date and time, else at once), give up
// after (hours after the send time), resolution and tries. Closed, it
// still holds what was chosen; reset() goes back to the defaults.
class SendOptionsRow : public QWidget
{
    Q_OBJECT
public:
    explicit SendOptionsRow(QWidget* parent = nullptr);

    // What the row asks for now.
    JobOptions options() const;
    // The defaults of a new fax: at once, the rest as given.
    void reset(const JobOptions& defaults);
    bool isOpen() const;
    void setOpen(bool open);

    QToolButton* toggle() const { return m_toggle; }

Q_SIGNALS:
    // The row opened or closed: its height changed.
    void openChanged(bool open);

private:
    void sendLaterToggled(bool on);

    QToolButton* m_toggle;
    QWidget* m_group;
    QCheckBox* m_sendLater;
    QDateTimeEdit* m_sendAt;
    QSpinBox* m_killAfter;
    QComboBox* m_resolution;
    QSpinBox* m_tries;
};

} // namespace kestrel
