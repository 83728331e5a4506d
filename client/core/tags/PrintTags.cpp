#include "PrintTags.h"

#include <QTimer>

namespace kestrel {

namespace {

// Finds no tag: every print is handled as an untagged one.
class UntaggedReader : public PrintTagReader
{
public:
    using PrintTagReader::PrintTagReader;

    void read(const QString& printPath, const TagReadOptions&) override
    {
        QTimer::singleShot(0, this, [this, printPath] { emit finished(printPath, TagReading{}); });
    }
};

} // namespace

std::unique_ptr<PrintTagReader> makePrintTagReader(QObject* parent)
{
    return std::make_unique<UntaggedReader>(parent);
}

} // namespace kestrel
