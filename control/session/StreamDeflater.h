#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

namespace kestrel {

// Compresses a stream as it flows, into the zlib format the fax server's
// compressed transfer mode takes: never a compressed copy of a whole file.
class StreamDeflater
{
public:
    StreamDeflater();
    ~StreamDeflater();
    StreamDeflater(const StreamDeflater&) = delete;
    StreamDeflater& operator=(const StreamDeflater&) = delete;

    // The compressed bytes ready for this piece (often none: zlib keeps
    // some until it has enough).
    QByteArray feed(QByteArrayView piece);
    // The rest, and the stream's end. The deflater is then ready for a new
    // stream.
    QByteArray finish();
    // Drops a stream left unfinished (a transfer that was cut).
    void reset();

private:
    QByteArray run(QByteArrayView input, int flush);

    struct Stream;
    std::unique_ptr<Stream> m_stream;
};

} // namespace kestrel
