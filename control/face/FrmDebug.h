#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace kestrel {

// The debug window: one multi-line text box, filled only by DebugLog.
class FrmDebug : public QWidget
{
    Q_OBJECT
public:
    explicit FrmDebug(QWidget* parent = nullptr);

    QPlainTextEdit* TxtOut() const { return m_txtOut; }

private:
    QPlainTextEdit* m_txtOut;
};

} // namespace kestrel
