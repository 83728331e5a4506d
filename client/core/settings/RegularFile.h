#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

// Reads of files a hostile local user may have replaced: only a regular
// file (or a symlink to one) is opened, so a FIFO, a device or a symlink to
// one is passed over instead of blocking the program or feeding it
// without end; and no more than a limit is read.
class RegularFile
{
public:
    enum class State
    {
        Read,       // bytes hold the whole file
        Missing,    // nothing there
        NotRegular, // a folder, FIFO, device, socket (or a symlink to one)
        TooLarge,   // over the limit
        Unreadable  // error holds the system's reason
    };

    struct Contents
    {
        State state = State::Missing;
        QByteArray bytes;
        QString error;
    };

    static Contents read(const QString& path, qint64 maxBytes);
};

} // namespace kestrel
