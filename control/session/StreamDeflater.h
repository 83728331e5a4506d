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
    // Levels as zlib counts them: 1 fastest, 9 smallest, 6 the default.
    static constexpr int DefaultLevel = 6;

    explicit StreamDeflater(int level = DefaultLevel);
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
    // Goes on at another level from here, within the same stream: returns
    // the compressed bytes of what came before, ended where the change
    // falls.
    QByteArray setLevel(int level);
    int level() const { return m_level; }

private:
    QByteArray run(QByteArrayView input, int flush);

    struct Stream;
    std::unique_ptr<Stream> m_stream;
    int m_level = DefaultLevel;
};

} // namespace kestrel
