#pragma once

#include "Shell.h"

#include <QList>
#include <QPair>

namespace kestrel::test {

// Opens nothing and moves no window: records each request.
class RecordingShell : public Shell
{
public:
    Status OpenDocument(const QUrl& target) override
    {
        m_opened.append(target);
        return {};
    }
    void SetAlwaysOnTop(QWidget* window, bool flag) override { m_onTop.append({window, flag}); }

    const QList<QUrl>& opened() const { return m_opened; }
    const QList<QPair<QWidget*, bool>>& alwaysOnTop() const { return m_onTop; }

private:
    QList<QUrl> m_opened;
    QList<QPair<QWidget*, bool>> m_onTop;
};

} // namespace kestrel::test
