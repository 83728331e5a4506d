#include "FrmDebug.h"

#include "Twips.h"

#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace kestrel {

FrmDebug::FrmDebug(QWidget* parent) : QWidget(parent, Qt::Window), m_txtOut(new QPlainTextEdit(this))
{
    setObjectName(u"FrmDebug"_s);
    setWindowTitle(u"Debug Ouput"_s);
    const qreal dpi = logicalDpiX();
    resize(twipsToPixels(7560, dpi), twipsToPixels(2505, dpi));
    m_txtOut->setObjectName(u"TxtOut"_s);
    m_txtOut->setGeometry(twipsToPixels(120, dpi), twipsToPixels(120, dpi), twipsToPixels(7335, dpi),
                          twipsToPixels(2295, dpi));
    m_txtOut->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_txtOut->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_txtOut->setReadOnly(false);
    m_txtOut->setPlainText(u"Text1"_s);
}

} // namespace kestrel
