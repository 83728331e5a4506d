#include "SessionText.h"

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
    if (last == QLatin1String(".ps"))
        return QStringLiteral(".ps");
    if (last == QLatin1String("pdf"))
        return QStringLiteral(".pdf");
    if (last == QLatin1String("jpg"))
        return QStringLiteral(".jpg");
    if (last == QLatin1String("txt"))
        return QStringLiteral(".txt");
    if (last == QLatin1String("tif") || last == QLatin1String("iff"))
        return QStringLiteral(".tif");
    return last;
}

bool isTextSuffix(const QString& path)
{
    return path.right(3) == QLatin1String("txt");
}

QStringList splitFileList(const QString& fileName)
{
    return fileName.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

QStringList splitNumberList(const QString& faxNumber)
{
    return faxNumber.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QString remoteName(const QString& jobNumber, int index, const QString& localPath)
{
    return jobNumber + QLatin1Char('-') + QString::number(index) + FileSuffix(localPath);
}

QStringList jobParameterBatch(const QString& userName, const QString& faxNumber, const QString& modem,
                              qint16 maxDials)
{
    QStringList batch;
    batch << (QStringLiteral("jparm fromuser ") + userName).toLower();
    batch << QStringLiteral("TYPE I").toLower();
    for (const QString& number : splitNumberList(faxNumber))
        batch << (QStringLiteral("jparm dialstring ") + number).toLower();
    if (modem != QLatin1String("any"))
        batch << QStringLiteral("jparm modem ") + modem;
    batch << QStringLiteral("jparm maxdials ") + QString::number(maxDials);
    batch << QStringLiteral("jparm notify done");
    batch << QStringLiteral("jparm vres 196");
    batch << QStringLiteral("jparm USEXVRES NO").toLower();
    batch << QStringLiteral("jparm sendtime now");
    return batch;
}

QString notifyAddressCommand(const QString& address)
{
    return (QStringLiteral("jparm notifyaddr ") + address).toLower();
}

QStringList submitBatch(const QStringList& remoteNames, bool chopOn)
{
    QStringList batch;
    for (const QString& name : remoteNames)
        batch << QStringLiteral("jparm document /tmp/") + name;
    batch << QStringLiteral("jparm lasttime 000300").toUpper();
    if (!chopOn) {
        batch << QStringLiteral("jparm pagechop none").toLower();
        batch << QStringLiteral("jparm ChopThreshold 0").toLower();
        batch << QStringLiteral("jparm PAGELENGTH 296").toLower();
        batch << QStringLiteral("jparm tagline 0").toLower();
        batch << QStringLiteral("jparm USETAGLINE no").toLower();
    }
    batch << QStringLiteral("jsubm");
    return batch;
}

QByteArray commandBytes(const QStringList& commands)
{
    QByteArray bytes;
    for (const QString& command : commands) {
        // The protocol is 8-bit text; names and numbers typed by the user
        // travel as Latin-1, as the server expects.
        bytes += command.toLatin1();
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace kestrel
