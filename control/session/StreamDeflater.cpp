#include "StreamDeflater.h"

#include <zlib.h>

namespace kestrel {

struct StreamDeflater::Stream
{
    z_stream z{};
};

StreamDeflater::StreamDeflater() : m_stream(std::make_unique<Stream>())
{
    deflateInit(&m_stream->z, Z_DEFAULT_COMPRESSION);
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
