#pragma once

#include <QString>

class QWidget;

namespace kestrel {

// How every window of the client opens and comes forward, written once.
namespace WindowPlacement {

// The window's name in its design, its title, and the title as the name
// screen readers and GUI automation use. Its size in twips is TwipsForm's.
void name(QWidget* window, const QString& objectName, const QString& title);

// Its frame flush with the bottom-right corner of the screen's free area
// (the taskbar keeps its room).
void toBottomRight(QWidget* window);

// Shown, restored if it was minimized, raised and made active.
void showInFront(QWidget* window);

} // namespace WindowPlacement
} // namespace kestrel
