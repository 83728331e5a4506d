#include "ZipStream.h"

#include <zlib.h>

namespace kestrel::simulator {

struct ZipStream::Stream
{
    z_stream z{};
};

ZipStream::ZipStream() : m_stream(std::make_unique<Stream>())
{
    inflateInit(&m_stream->z);
}

ZipStream::~ZipStream()
{
    inflateEnd(&m_stream->z);
}

bool ZipStream::feed(QByteArrayView piece, QByteArray& out)
{
    z_stream& z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = uInt(piece.size());
    char buffer[64 * 1024];
    while (z.avail_in > 0 && !m_complete) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof(buffer);
        const int result = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof(buffer) - z.avail_out));
        if (result == Z_STREAM_END)
            m_complete = true;
        else if (result != Z_OK && result != Z_BUF_ERROR)
            return false;
    }
    return true;
}

} // namespace kestrel::simulator
