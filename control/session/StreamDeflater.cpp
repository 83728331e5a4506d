#include "StreamDeflater.h"

#include <zlib.h>

namespace kestrel {

struct StreamDeflater::Stream
{
    z_stream z{};
};

StreamDeflater::StreamDeflater(int level) : m_stream(std::make_unique<Stream>()), m_level(level)
{
    deflateInit(&m_stream->z, level);
}

StreamDeflater::~StreamDeflater()
{
    deflateEnd(&m_stream->z);
}

QByteArray StreamDeflater::feed(QByteArrayView piece)
{
    return run(piece, Z_NO_FLUSH);
}

QByteArray StreamDeflater::finish()
{
    QByteArray rest = run({}, Z_FINISH);
    deflateReset(&m_stream->z);
    return rest;
}

void StreamDeflater::reset()
{
    deflateReset(&m_stream->z);
}

QByteArray StreamDeflater::setLevel(int level)
{
    QByteArray output;
    if (level == m_level)
        return output;
    z_stream& z = m_stream->z;
    z.next_in = nullptr;
    z.avail_in = 0;
    char buffer[64 * 1024];
    // zlib ends the block under way first; it says Z_BUF_ERROR, leaving the
    // level as it was, until that block's bytes have all found room.
    for (int attempt = 0; attempt < 64; ++attempt) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof(buffer);
        const int result = deflateParams(&z, level, Z_DEFAULT_STRATEGY);
        output.append(buffer, qsizetype(sizeof(buffer) - z.avail_out));
        if (result == Z_OK) {
            m_level = level;
            break;
        }
        if (result != Z_BUF_ERROR)
            break;
    }
    return output;
}

QByteArray StreamDeflater::run(QByteArrayView input, int flush)
{
    z_stream& z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.avail_in = uInt(input.size());
    QByteArray output;
    char buffer[64 * 1024];
    do {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof(buffer);
        deflate(&z, flush);
        output.append(buffer, qsizetype(sizeof(buffer) - z.avail_out));
    } while (z.avail_out == 0);
    return output;
}

} // namespace kestrel
