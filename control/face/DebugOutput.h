#pragma once

#include "FrmDebug.h"

#include <QPointer>
#include <QString>

namespace kestrel {

using namespace Qt::StringLiterals;

// Where DebugLog writes: the debug window when the host has windows,
// standard error otherwise. The text is also kept, so the log can be read
// back the same way in both cases.
class DebugOutput
{
public:
    static DebugOutput& current();

    // Creates the window if needed (without showing it).
    void ensureWindow();
    // Shows the window (not modal, no owner) and empties it.
    void showAndClear();
    void append(const QString& line);
    QString text() const;
    FrmDebug* window() const { return m_window; }

private:
    bool hasWidgets() const;

    QPointer<FrmDebug> m_window;
    bool m_created = false;
    QString m_text = u"Text1"_s;
};

} // namespace kestrel
