#pragma once

#include "JobOptions.h"

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

// The suffix of a file's name on the server: FileSuffix without the
// characters the server does not take in a name (it takes ASCII letters,
// digits and ".").
QString remoteSuffix(const QString& localPath);
// Remote name of file `index` (1-based) of job `jobNumber`.
QString remoteName(const QString& jobNumber, int index, const QString& localPath);
// A job number fit to become part of file names and commands.
bool isPlainJobNumber(const QString& jobNumber);

// The commands sent after the job was created, one per line, without line
// ends. The options give the resolution, the tries and the send time (in
// UTC, to the minute, as the server takes it).
QStringList jobParameterBatch(const QString& userName, const QString& faxNumber, const QString& modem,
                              qint16 maxDials, const JobOptions& options = {});
QString notifyAddressCommand(const QString& address);
// The commands that finish a job whose files are stored under remoteNames;
// the kill time is counted from the send time, in days, hours and minutes.
QStringList submitBatch(const QStringList& remoteNames, bool chopOn, const JobOptions& options = {});

// Joins commands into bytes for the wire: each followed by CR LF; a line
// break inside a command becomes a blank.
QByteArray commandBytes(const QStringList& commands);

} // namespace kestrel
