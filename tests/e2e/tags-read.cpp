// Reads the tags of one print with the program's reader and prints what it
// found: "untagged", "refused: PROBLEM", or one line per letter,
// "NUMBER<TAB>NAME<TAB>FIRST-LAST<TAB>PAGES<TAB>DOCUMENT".
//
//   tags-read PRINT OUTPUT_FOLDER
//
// Exits 0 when the print was read as tagged, 1 otherwise.
#include "PrintTags.h"

#include <QCoreApplication>

#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;
using namespace kestrel;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: tags-read PRINT OUTPUT_FOLDER\n");
        return 2;
    }
    const auto reader = makePrintTagReader();
    std::optional<TagReading> reading;
    QObject::connect(reader.get(), &PrintTagReader::finished, &app,
                     [&reading](const QString&, const TagReading& r) {
                         reading = r;
                         QCoreApplication::exit(0);
                     });
    TagReadOptions options;
    options.outputFolder = arguments.at(2);
    reader->read(arguments.at(1), options);
    QCoreApplication::exec();
    if (reading->outcome == TagReading::Outcome::Untagged) {
        std::printf("untagged\n");
        return 1;
    }
    if (reading->outcome == TagReading::Outcome::Refused) {
        std::printf("refused: %s\n", reading->problem.toUtf8().constData());
        return 1;
    }
    for (const TaggedLetter& letter : std::as_const(reading->letters)) {
        std::printf("%s\t%s\t%d-%d\t%d\t%s\n", letter.number.toUtf8().constData(),
                    letter.name.toUtf8().constData(), letter.firstPage, letter.lastPage, letter.documentPages,
                    letter.documentPath.toUtf8().constData());
    }
    return 0;
}
