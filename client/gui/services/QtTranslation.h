#pragma once

#include <QLibraryInfo>
#include <QLocale>
#include <QString>

class QTranslator;

namespace kestrel {

// Qt's own words (the standard buttons Yes, No, OK, Cancel, the file
// dialog) in the program's language, from the translations Qt ships.
class QtTranslation
{
public:
    // The program speaks Italian, whatever the desktop's language.
    static QLocale programLocale() { return QLocale(QLocale::Italian, QLocale::Italy); }

    // Installs Qt's translation for locale from folder into the running
    // application, which owns it; nullptr when there is none, and Qt's
    // words stay English.
    static QTranslator* install(const QLocale& locale = programLocale(),
                                const QString& folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath));
};

} // namespace kestrel
