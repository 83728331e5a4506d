#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel::simulator {

// The reply texts of hfaxd 6.0.7, in one place. Each ends in CR LF.
namespace replies {

QByteArray line(int code, const QString& text);    // "ddd text"
QByteArray partial(int code, const QString& text); // "ddd-text", a line of a multi-line reply

QByteArray greeting(const QString& hostName);
QByteArray addressWarning(const QString& clientAddress, const QString& hostName);
QByteArray inverseMappingWarning(const QString& hostName);
QByteArray passiveMode(quint32 ipv4, quint16 port);
QByteArray openingTransfer(const QString& path);
QByteArray transferComplete();
QByteArray cannotBuildDataConnection(const QString& reason);
QByteArray notPermitted(const QString& path);
QByteArray noSuchFile(const QString& path);
QByteArray syntaxError(const QString& line, const QString& expected);
QByteArray loginIncorrect();
QByteArray goodbye();

} // namespace replies

} // namespace kestrel::simulator
