#include "DebugOutput.h"

#include "FrmDebug.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel {

DebugOutput& DebugOutput::current()
{
    thread_local DebugOutput output;
    return output;
}

bool DebugOutput::hasWidgets() const
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void DebugOutput::ensureWindow()
{
    if (m_created && (m_window || !hasWidgets()))
        return;
    m_created = true;
    m_text = u"Text1"_s;
    if (hasWidgets()) {
        m_window = new FrmDebug;
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    }
}

void DebugOutput::showAndClear()
{
    ensureWindow();
    m_text.clear();
    if (m_window) {
        m_window->TxtOut()->clear();
        m_window->show();
    }
}

void DebugOutput::append(const QString& line)
{
    ensureWindow();
    m_text += line + u"\r\n"_s;
    if (m_window) {
        QPlainTextEdit* box = m_window->TxtOut();
        QTextCursor cursor(box->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(line + u'\n');
        box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
    } else {
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
    }
}

QString DebugOutput::text() const
{
    return m_text;
}

} // namespace kestrel
