#include "UpdateCheck.h"

#include "FileExists.h"
#include "ProgramFolder.h"
#include "RegularFile.h"

#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace kestrel {

std::optional<QString> UpdateCheck::lastMonth() const
{
    const RegularFile::Contents marker =
        RegularFile::read(m_folder + u'/' + ProgramFolder::UpdateMarker, MaxMarkerSize);
    if (marker.state == RegularFile::State::NotRegular)
        return std::nullopt;
    // All lines joined, whatever their line breaks; anything else that is
    // no month reads as none.
    QByteArray text = marker.bytes;
    text.replace('\r', QByteArray()).replace('\n', QByteArray());
    return QString::fromLatin1(text).trimmed();
}

UpdateCheck::Outcome UpdateCheck::CheckForUpdate()
{
    const QString updater = m_folder + u'/' + ProgramFolder::Updater;
    if (!fileExists(updater))
        return Outcome::NoUpdater;
    const QString month = m_clock.now().toString(u"yyMM"_s);
    const std::optional<QString> last = lastMonth();
    // A marker that is no file cannot be trusted to be rewritten: no start,
    // or the updater would run at every start.
    if (!last)
        return Outcome::MarkerNotWritten;
    if (month == *last)
        return Outcome::UpToDate;

    QSaveFile marker(m_folder + u'/' + ProgramFolder::UpdateMarker);
    if (!marker.open(QIODevice::WriteOnly) || marker.write(month.toLatin1() + '\n') < 0 || !marker.commit())
        return Outcome::MarkerNotWritten;
    if (!m_starter.startDetached(updater, {}, m_folder))
        return Outcome::StartFailed;
    return Outcome::Started;
}

} // namespace kestrel
