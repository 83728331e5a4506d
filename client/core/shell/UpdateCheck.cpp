#include "UpdateCheck.h"

#include "FileExists.h"
#include "ProgramFolder.h"

#include <QFile>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace kestrel {

QString UpdateCheck::lastMonth() const
{
    QFile file(m_folder + u'/' + ProgramFolder::UpdateMarker);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // All lines joined, whatever their line breaks.
    QByteArray text = file.readAll();
    text.replace('\r', QByteArray()).replace('\n', QByteArray());
    return QString::fromLatin1(text).trimmed();
}

UpdateCheck::Outcome UpdateCheck::CheckForUpdate()
{
    const QString updater = m_folder + u'/' + ProgramFolder::Updater;
    if (!fileExists(updater))
        return Outcome::NoUpdater;
    const QString month = m_clock.now().toString(u"yyMM"_s);
    if (month == lastMonth())
        return Outcome::UpToDate;

    QSaveFile marker(m_folder + u'/' + ProgramFolder::UpdateMarker);
    if (!marker.open(QIODevice::WriteOnly) || marker.write(month.toLatin1() + '\n') < 0 || !marker.commit())
        return Outcome::MarkerNotWritten;
    if (!m_starter.startDetached(updater, {}, m_folder))
        return Outcome::StartFailed;
    return Outcome::Started;
}

} // namespace kestrel
