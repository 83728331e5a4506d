#pragma once

#include "MessageBox.h"

#include <QList>

#include <functional>

namespace kestrel::test {

// Answers message boxes from a script (the default button once the script is
// used up) and records every box, so a test can check what the user saw and
// that nothing else appeared.
class ScriptedMessageBox : public IMessageBox
{
public:
    // Runs while the box is "open", as the user's other actions would.
    std::function<void(const MessageBoxRequest&)> onShow;

    MsgAnswer show(const MessageBoxRequest& request) override
    {
        m_shown.append(request);
        if (onShow)
            onShow(request);
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        return defaultAnswer(request.buttons);
    }
    void setNextAnswers(const QList<MsgAnswer>& answers) { m_answers = answers; }
    const QList<MessageBoxRequest>& shown() const { return m_shown; }
    QStringList texts() const
    {
        QStringList texts;
        for (const MessageBoxRequest& request : m_shown)
            texts << request.text;
        return texts;
    }
    void clear() { m_shown.clear(); }

private:
    QList<MsgAnswer> m_answers;
    QList<MessageBoxRequest> m_shown;
};

} // namespace kestrel::test
