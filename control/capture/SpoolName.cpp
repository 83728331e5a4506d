#include "SpoolName.h"

#include <QDir>
#include <QRandomGenerator>

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

QString cleanFolder(const QString& folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

// A printer name is only part of a file name: a "/" would put the spool file
// into another folder, a NUL would cut the name.
QString fileNamePart(const QString& printer)
{
    QString part = printer;
    part.replace(u'/', u'_');
    part.replace(QChar(u'\0'), u'_');
    return part;
}

} // namespace

SpoolName::SpoolName()
    : m_clock([] { return QDateTime::currentDateTime(); }),
      m_random([] { return QRandomGenerator::global()->generateDouble(); }),
      m_folder(&SpoolName::temporaryFolder)
{}

QString SpoolName::temporaryFolder()
{
    const QString temp = qEnvironmentVariable("TEMP");
    return cleanFolder(temp.isEmpty() ? QDir::tempPath() : temp);
}

QString SpoolName::folder() const
{
    return cleanFolder(m_folder());
}

SpoolName::Plan SpoolName::plan(const QString& printer, const QString& folder) const
{
    // A number in [0, 1) rounded half to even: "0" or "1".
    const int digit = static_cast<int>(std::nearbyint(m_random())) == 1 ? 1 : 0;
    return Plan(folder, printer, m_clock(), digit);
}

QString SpoolName::compose(const QString& folder, const QString& printer, const QDateTime& when, int digit,
                           int counter)
{
    QString path = folder;
    if (!path.endsWith(u'/'))
        path += u'/';
    path += fileNamePart(printer) + u'-' + when.toString(u"yyyyMMddHHmmss"_s) + QString::number(digit);
    if (counter >= 2)
        path += u'-' + QString::number(counter);
    return path + u".ps"_s;
}

SpoolName::Plan::Plan(QString folder, QString printer, QDateTime when, int firstDigit)
    : m_folder(std::move(folder)), m_printer(std::move(printer)), m_when(std::move(when)),
      m_firstDigit(firstDigit)
{}

QString SpoolName::Plan::candidate(int attempt) const
{
    // The random digit first, then the other nine in turn; past those the
    // time stays the capture time and a counter tells the names apart.
    if (attempt < 10)
        return compose(m_folder, m_printer, m_when, (m_firstDigit + attempt) % 10);
    return compose(m_folder, m_printer, m_when, m_firstDigit, attempt - 8);
}

} // namespace kestrel
