#include "QtTranslation.h"

#include <QCoreApplication>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace kestrel {

QTranslator* QtTranslation::install(const QLocale& locale, const QString& folder)
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    // qtbase_it_IT.qm, else qtbase_it.qm.
    if (!translator->load(locale, u"qtbase"_s, u"_"_s, folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace kestrel
