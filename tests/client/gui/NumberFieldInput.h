#pragma once

// Text brought into a line edit each way a user can bring it: pasted with
// the keys, from the context menu or with a middle click, dropped, or
// composed by an input method.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QInputMethodEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include <memory>

namespace kestrel::test {

enum class Arrival
{
    PasteKeys,
    ContextMenu,
    MiddleClick,
    Drop,
    InputMethod
};

// False when the platform cannot bring text that way (no selection
// clipboard for a middle click).
inline bool bringText(QLineEdit* edit, Arrival way, const QString& text)
{
    switch (way) {
    case Arrival::PasteKeys:
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        return true;
    case Arrival::ContextMenu: {
        QGuiApplication::clipboard()->setText(text);
        const std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
        // "Paste", its shortcut after a tab.
        const QString shortcut = QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
        for (QAction* action : menu->actions()) {
            if (action->text().endsWith(u'\t' + shortcut))
                action->trigger();
        }
        return true;
    }
    case Arrival::MiddleClick:
        if (!QGuiApplication::clipboard()->supportsSelection())
            return false;
        QGuiApplication::clipboard()->setText(text, QClipboard::Selection);
        QTest::mouseClick(edit, Qt::MiddleButton);
        return true;
    case Arrival::Drop: {
        QMimeData data;
        data.setText(text);
        const QPoint at = edit->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &move);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &drop);
        return true;
    }
    case Arrival::InputMethod: {
        QInputMethodEvent commit(QString(), {});
        commit.setCommitString(text);
        QCoreApplication::sendEvent(edit, &commit);
        return true;
    }
    }
    return false;
}

} // namespace kestrel::test

Q_DECLARE_METATYPE(kestrel::test::Arrival)
