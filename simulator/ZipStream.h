#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

namespace kestrel::simulator {

// Undoes the compressed transfer mode ("MODE Z") as the bytes come: a zlib
// stream in, the file's bytes out.
class ZipStream
{
public:
    ZipStream();
    ~ZipStream();
    ZipStream(const ZipStream&) = delete;
    ZipStream& operator=(const ZipStream&) = delete;

    // The bytes this piece gives; false when the stream is not zlib.
    bool feed(QByteArrayView piece, QByteArray& out);
    // The whole stream came, to its end.
    bool complete() const { return m_complete; }

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    bool m_complete = false;
};

} // namespace kestrel::simulator
