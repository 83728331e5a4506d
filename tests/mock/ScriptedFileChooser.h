#pragma once

#include "FileChooser.h"

#include <QList>
#include <QStringList>

namespace kestrel::test {

// Answers file dialogs from a script: the next file name, or a cancel (also
// once the script is used up). Records the filter of every dialog asked for.
class ScriptedFileChooser : public FileChooser
{
public:
    std::optional<QString> chooseFileToOpen(QWidget*, const QString& filter) override
    {
        m_filters.append(filter);
        if (m_answers.isEmpty())
            return std::nullopt;
        return m_answers.takeFirst();
    }
    void setNextFileName(const QString& path) { m_answers.append(path); }
    void setNextCancelled() { m_answers.append(std::nullopt); }
    const QStringList& filters() const { return m_filters; }

private:
    QList<std::optional<QString>> m_answers;
    QStringList m_filters;
};

} // namespace kestrel::test
