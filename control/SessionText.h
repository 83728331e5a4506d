#pragma once

#include <QString>
#include <QStringList>

namespace kestrel {

// Text routines of the submission session. No sockets here.

// The characters after the first `start` up to (not including) the first
// character equal to `end`; empty when `start` does not occur. An `end` of
// more than one character never matches.
QString TextBetween(const QString& text, const QString& start, const QString& end);

// Suffix of the remote name, from the last three characters of the path
// (".ps", ".pdf", ".jpg", ".txt", ".tif"; else those three characters).
QString FileSuffix(const QString& path);
// Whether FileSuffix would note the file as an unsupported text file.
bool isTextSuffix(const QString& path);

// The non-empty elements of a ","-separated file list or a ":"-separated
// number list, in order.
QStringList splitFileList(const QString& fileName);
QStringList splitNumberList(const QString& faxNumber);

// Remote name of file `index` (1-based) of job `jobNumber`.
QString remoteName(const QString& jobNumber, int index, const QString& localPath);

// The commands sent after the job was created, one per line, without line
// ends.
QStringList jobParameterBatch(const QString& userName, const QString& faxNumber, const QString& modem,
                              qint16 maxDials);
QString notifyAddressCommand(const QString& address);
// The commands that finish a job whose files are stored under remoteNames.
QStringList submitBatch(const QStringList& remoteNames, bool chopOn);

// Joins commands into bytes for the wire: each followed by CR LF.
QByteArray commandBytes(const QStringList& commands);

} // namespace kestrel
