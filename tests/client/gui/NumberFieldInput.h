#pragma once

// Text brought into a line edit by each of its ways in: pasted (the menu
// and a middle click paste the same way as the keys), dropped, or composed
// by an input method.

#include <QAccessible>
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

// The whole text put in through the accessibility interface, as automation
// and assistive tools do: no key, paste or input method is involved.
inline bool setTextAccessibly(QLineEdit* edit, const QString& text)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(edit);
    QAccessibleEditableTextInterface* editable = accessible ? accessible->editableTextInterface() : nullptr;
    if (!editable)
        return false;
    editable->replaceText(0, int(edit->text().size()), text);
    return true;
}

} // namespace kestrel::test

Q_DECLARE_METATYPE(kestrel::test::Arrival)
