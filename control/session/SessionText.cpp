#include "SessionText.h"

using namespace Qt::StringLiterals;

namespace kestrel {

QString TextBetween(const QString& text, const QString& start, const QString& end)
{
    const qsizetype at = text.indexOf(start);
    if (start.isEmpty() || at < 0)
        return {};
    QString collected;
    for (qsizetype i = at + start.size(); i < text.size(); ++i) {
        if (end.size() == 1 && text.at(i) == end.at(0))
            break;
        collected += text.at(i);
    }
    return collected;
}

QString FileSuffix(const QString& path)
{
    const QString last = path.right(3);
    if (last == ".ps"_L1)
        return u".ps"_s;
    if (last == "pdf"_L1)
        return u".pdf"_s;
    if (last == "jpg"_L1)
        return u".jpg"_s;
    if (last == "txt"_L1)
        return u".txt"_s;
    if (last == "tif"_L1 || last == "iff"_L1)
        return u".tif"_s;
    return last;
}

bool isTextSuffix(const QString& path)
{
    return path.right(3) == "txt"_L1;
}

QStringList splitFileList(const QString& fileName)
{
    return fileName.split(u',', Qt::SkipEmptyParts);
}

QStringList splitNumberList(const QString& faxNumber)
{
    return faxNumber.split(u':', Qt::SkipEmptyParts);
}

QString remoteSuffix(const QString& localPath)
{
    QString suffix;
    for (const QChar c : FileSuffix(localPath)) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.')
            suffix += c;
    }
    return suffix;
}

QString remoteName(const QString& jobNumber, int index, const QString& localPath)
{
    return jobNumber + u'-' + QString::number(index) + remoteSuffix(localPath);
}

bool isPlainJobNumber(const QString& jobNumber)
{
    if (jobNumber.isEmpty() || jobNumber.size() > 32)
        return false;
    for (const QChar c : jobNumber) {
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    }
    return true;
}

QStringList jobParameterBatch(const QString& userName, const QString& faxNumber, const QString& modem,
                              qint16 maxDials, const JobOptions& options)
{
    QStringList batch;
    batch << (u"jparm fromuser "_s + userName).toLower();
    batch << u"TYPE I"_s.toLower();
    const QStringList numbers = splitNumberList(faxNumber);
    for (const QString& number : numbers)
        batch << (u"jparm dialstring "_s + number).toLower();
    // The number the server's lists and notices name: the server copies the
    // previous job's into each new job of a session, and dials the last
    // dial string given.
    if (!numbers.isEmpty())
        batch << (u"jparm external "_s + numbers.constLast()).toLower();
    if (modem != "any"_L1)
        batch << u"jparm modem "_s + modem;
    batch << u"jparm maxdials "_s + QString::number(maxDials);
    if (options.maxTries)
        batch << u"jparm maxtries "_s + QString::number(*options.maxTries);
    batch << u"jparm notify done"_s;
    batch << (options.standardResolution ? u"jparm vres 98"_s : u"jparm vres 196"_s);
    batch << u"jparm USEXVRES NO"_s.toLower();
    if (options.sendAt)
        batch << u"jparm sendtime "_s + options.sendAt->toUTC().toString(u"yyyyMMddHHmm"_s);
    else
        batch << u"jparm sendtime now"_s;
    return batch;
}

QString notifyAddressCommand(const QString& address)
{
    return (u"jparm notifyaddr "_s + address).toLower();
}

QStringList submitBatch(const QStringList& remoteNames, bool chopOn, const JobOptions& options)
{
    QStringList batch;
    for (const QString& name : remoteNames)
        batch << u"jparm document /tmp/"_s + name;
    const int hours = options.killAfterHours.value_or(3);
    batch << u"JPARM LASTTIME %1%2%3"_s.arg(hours / 24, 2, 10, QChar(u'0'))
                 .arg(hours % 24, 2, 10, QChar(u'0'))
                 .arg(u"00"_s);
    if (!chopOn) {
        batch << u"jparm pagechop none"_s.toLower();
        batch << u"jparm ChopThreshold 0"_s.toLower();
        batch << u"jparm PAGELENGTH 296"_s.toLower();
        batch << u"jparm tagline 0"_s.toLower();
        batch << u"jparm USETAGLINE no"_s.toLower();
    }
    batch << u"jsubm"_s;
    return batch;
}

QByteArray commandBytes(const QStringList& commands)
{
    QByteArray bytes;
    for (const QString& command : commands) {
        // The protocol is 8-bit text; names and numbers typed by the user
        // travel as Latin-1, as the server expects. A line break inside a
        // value would end the line and start a command of its own.
        QByteArray line = command.toLatin1();
        line.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ');
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace kestrel
