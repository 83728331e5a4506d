#pragma once

#include "PrintTags.h"

#include <QFile>
#include <QList>

#include <algorithm>

#include <utility>

namespace kestrel::test {

using namespace Qt::StringLiterals;

// A PostScript document of `pages` pages, each showing the text and its
// page number: what a letter of a print is.
inline QByteArray postScript(int pages, const QString& text)
{
    QByteArray ps = "%!PS-Adobe-3.0\n%%Pages: " + QByteArray::number(pages) + "\n%%EndComments\n";
    for (int page = 1; page <= pages; ++page) {
        const QByteArray n = QByteArray::number(page);
        ps += "%%Page: " + n + ' ' + n + "\n/Helvetica findfont 14 scalefont setfont 72 720 moveto (" +
              text.toLatin1() + " - pagina " + n + ") show showpage\n";
    }
    return ps + "%%EOF\n";
}

// A stand-in for the program's tag reader: each read finds what the next
// script says (none left: no tag), and a tagged print gets a real
// PostScript document written for each letter into the folder it is given.
// It answers inside read(), or, with `later` set, at finish(); several
// readings may be under way.
class ScriptedTagReader : public PrintTagReader
{
public:
    struct Letter
    {
        QString number;
        QString name;
        int pages = 1; // of its document
    };
    struct Script
    {
        TagReading::Outcome outcome = TagReading::Outcome::Untagged;
        QList<Letter> letters;
        QString problem;
    };
    static Script tagged(const QList<Letter>& letters) { return {TagReading::Outcome::Tagged, letters, {}}; }
    static Script refused(const QString& problem) { return {TagReading::Outcome::Refused, {}, problem}; }

    QList<Script> scripts;
    QList<std::pair<QString, TagReadOptions>> reads; // every read, in order
    bool later = false;

    void read(const QString& printPath, const TagReadOptions& options) override
    {
        reads.append({printPath, options});
        m_pending.append(reads.size() - 1);
        if (!later)
            finish();
    }

    // Ends the oldest reading under way, or that of the print named.
    void finish(const QString& printPath = QString())
    {
        const auto found = std::find_if(m_pending.cbegin(), m_pending.cend(), [&](qsizetype index) {
            return printPath.isEmpty() || reads.at(index).first == printPath;
        });
        if (found == m_pending.cend())
            return;
        const auto [path, options] = reads.at(*found);
        m_pending.erase(found);
        const Script script = scripts.isEmpty() ? Script() : scripts.takeFirst();
        TagReading reading;
        reading.outcome = script.outcome;
        reading.problem = script.problem;
        int first = 1;
        for (const Letter& letter : script.letters) {
            TaggedLetter written{letter.number, letter.name, first, first + letter.pages - 1, {},
                                 letter.pages};
            written.documentPath = options.outputFolder + u"/lettera-"_s + QString::number(first) + u".ps"_s;
            QFile file(written.documentPath);
            if (file.open(QIODevice::WriteOnly))
                file.write(postScript(letter.pages, letter.name));
            first += letter.pages;
            reading.letters << written;
        }
        reading.pages = first - 1;
        Q_EMIT finished(path, reading);
    }

private:
    QList<qsizetype> m_pending; // readings under way, by their index in reads
};

} // namespace kestrel::test
