#pragma once

// Text brought into a line edit by each of its ways in: pasted (the menu
// and a middle click paste the same way as the keys), dropped, or composed
// by an input method.

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

namespace kestrel::test {

enum class Arrival
{
    Paste,
    Drop,
    InputMethod
};

inline void bringText(QLineEdit* edit, Arrival way, const QString& text)
{
    if (way == Arrival::Paste) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    } else if (way == Arrival::Drop) {
        QMimeData data;
        data.setText(text);
        const QPoint at = edit->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &drop);
    } else {
        QInputMethodEvent commit(QString(), {});
        commit.setCommitString(text);
        QCoreApplication::sendEvent(edit, &commit);
    }
}

} // namespace kestrel::test

Q_DECLARE_METATYPE(kestrel::test::Arrival)
