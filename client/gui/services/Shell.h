#pragma once

#include "Expected.h"

#include <QUrl>

class QWidget;

namespace kestrel {

// What the client asks of the desktop: opening a document or web page in
// the program the user has for it, and keeping a window above the others.
// Replaceable in tests.
class Shell
{
public:
    virtual ~Shell() = default;

    // Opens target, a web address as it stands (escapes and all) or a file
    // (QUrl::fromLocalFile). Callers with nothing to tell the user ignore
    // the result.
    virtual Status OpenDocument(const QUrl& target) = 0;

    // Keeps window above other windows, or no longer. A shown window stays
    // shown where it was.
    virtual void SetAlwaysOnTop(QWidget* window, bool flag) = 0;
};

} // namespace kestrel
