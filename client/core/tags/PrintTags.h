#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace kestrel {

// One letter of a print whose pages name their destination with a tag
// "@@FAX:number@@" or "@@FAX:number|name@@": the page holding the tag and
// the pages after it, up to the next tagged page.
struct TaggedLetter
{
    QString number;        // as the number box keeps it
    QString name;          // empty when the tag names none
    int firstPage = 0;     // in the print, counted from 1
    int lastPage = 0;      // inclusive
    QString documentPath;  // the letter's own document, written by the reader
    int documentPages = 0; // pages of that document (common pages included)
};

// What reading a print's tags found.
struct TagReading
{
    enum class Outcome
    {
        Untagged, // no tag anywhere: the print is handled as ever
        Tagged,   // every letter below, each with its document written
        Refused   // tags in doubt or text not readable: nothing may be sent
    };
    Outcome outcome = Outcome::Untagged;
    QList<TaggedLetter> letters;
    int pages = 0;       // pages of the print
    int commonPages = 0; // pages before the first tag
    QString problem;     // Refused: why, naming the page (Italian)
};

// How a print is read.
struct TagReadOptions
{
    // Pages before the first tag go to no letter instead of every letter.
    bool dropCommonPages = false;
    // Where the letters' documents are written (an existing private folder).
    QString outputFolder;
    // Each run of the reading program ends within this time and this much
    // memory, or the print is refused.
    int timeLimitMs = 120000;
    qint64 memoryBytes = qint64(256) * 1024 * 1024;
};

// Reads the tags of a PostScript or PDF print off the caller's thread, with a
// time limit and a memory bound, and writes each letter's document. Several
// readings may be under way at once; `finished` comes once per read(), on the
// caller's thread, unless the reader is deleted first.
class PrintTagReader : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~PrintTagReader() override = default;

    virtual void read(const QString& printPath, const TagReadOptions& options) = 0;

signals:
    void finished(const QString& printPath, const kestrel::TagReading& reading);
};

// The reader the program uses.
std::unique_ptr<PrintTagReader> makePrintTagReader(QObject* parent = nullptr);

} // namespace kestrel
