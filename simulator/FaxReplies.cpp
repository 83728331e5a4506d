#include "FaxReplies.h"

namespace kestrel::simulator::replies {

using namespace Qt::StringLiterals;

QByteArray line(int code, const QString& text)
{
    return QByteArray::number(code) + ' ' + text.toLatin1() + "\r\n";
}

QByteArray partial(int code, const QString& text)
{
    return QByteArray::number(code) + '-' + text.toLatin1() + "\r\n";
}

QByteArray greeting(const QString& hostName)
{
    return line(220, hostName + u" server (HylaFAX (tm) Version 6.0.7) ready."_s);
}

QByteArray addressWarning(const QString& clientAddress, const QString& hostName)
{
    return line(130, u"Warning, client address \"%1\" is not listed for host name \"%2\"."_s.arg(
                         clientAddress, hostName));
}

QByteArray inverseMappingWarning(const QString& hostName)
{
    return line(130, u"Warning, no inverse address mapping for client host name \"%1\"."_s.arg(hostName));
}

QByteArray passiveMode(quint32 ipv4, quint16 port)
{
    // Lower case and no final period, exactly as hfaxd writes it.
    return line(227, u"Entering passive mode (%1,%2,%3,%4,%5,%6)"_s.arg(ipv4 >> 24)
                         .arg((ipv4 >> 16) & 0xff)
                         .arg((ipv4 >> 8) & 0xff)
                         .arg(ipv4 & 0xff)
                         .arg(port >> 8)
                         .arg(port & 0xff));
}

QByteArray openingTransfer(const QString& path)
{
    return line(150, u"Opening new data connection for %1."_s.arg(path));
}

QByteArray transferComplete()
{
    return line(226, u"Transfer complete."_s);
}

QByteArray cannotBuildDataConnection(const QString& reason)
{
    return line(425, u"Cannot build data connection: %1."_s.arg(reason));
}

QByteArray notPermitted(const QString& path)
{
    return line(550, path + u": Operation not permitted."_s);
}

QByteArray noSuchFile(const QString& path)
{
    return line(550, path + u": No such file or directory."_s);
}

QByteArray syntaxError(const QString& commandLine, const QString& expected)
{
    return line(500, u"'%1': Syntax error, %2."_s.arg(commandLine, expected));
}

QByteArray loginIncorrect()
{
    return line(530, u"Login incorrect."_s);
}

QByteArray goodbye()
{
    return line(221, u"Goodbye."_s);
}

} // namespace kestrel::simulator::replies
