#pragma once

#include <QtGlobal>

namespace kestrel {

// Picks the compression level of an upload from how its two sides waited on
// each other over the last stretch: the deflater (a thread of its own) and
// the connection that carries what it makes. A connection left waiting for
// the deflater means the deflater is the slower side: it goes faster (a
// lower level). A deflater that spends most of its time waiting for room
// means the connection is the slower side: the deflater can afford to pack
// tighter (a higher level), and fewer bytes go on the connection. Level 0
// stores the document in the stream as it is: for a connection faster than
// zlib at its fastest (loopback), where bytes cost less than compressing.
struct DeflatePace
{
    static constexpr int MinLevel = 0;
    static constexpr int MaxLevel = 9;

    // Nanoseconds over one stretch.
    struct Sample
    {
        qint64 busy = 0;    // the deflater compressing
        qint64 blocked = 0; // the deflater waiting for room in the queue to the connection
        qint64 starved = 0; // the connection idle, nothing compressed to send
    };

    static int nextLevel(int level, const Sample& sample);
};

} // namespace kestrel
