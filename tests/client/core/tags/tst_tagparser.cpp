#include "ClientTexts.h"
#include "TagParser.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace kestrel;

namespace {

// "number|name pages first-last, document N" for each letter.
QString describe(const TagReading& reading)
{
    QStringList letters;
    for (const TaggedLetter& letter : reading.letters) {
        letters << u"%1|%2 %3-%4/%5"_s.arg(letter.number, letter.name)
                       .arg(letter.firstPage)
                       .arg(letter.lastPage)
                       .arg(letter.documentPages);
    }
    return letters.join(u"; "_s);
}

} // namespace

class TestTagParser : public QObject
{
    Q_OBJECT
private slots:
    void reading_data();
    void reading();
};

void TestTagParser::reading_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<bool>("dropCommon");
    QTest::addColumn<TagReading::Outcome>("outcome");
    QTest::addColumn<int>("commonPages");
    QTest::addColumn<QString>("letters");
    QTest::addColumn<QString>("problem");
    using O = TagReading::Outcome;
    namespace t = texts::tags;

    QTest::newRow("no tag") << QStringList{u"Gentile cliente"_s, u"saluti"_s} << false << O::Untagged << 0
                            << QString() << QString();
    // A scanned print without tags is sent as ever.
    QTest::newRow("no text, no tag") << QStringList{u""_s, u"  \n"_s} << false << O::Untagged << 0
                                     << QString() << QString();
    QTest::newRow("one letter") << QStringList{u"Spett. @@FAX:0612345@@ ditta"_s, u"segue"_s, u"fine"_s}
                                << false << O::Tagged << 0 << u"0612345| 1-3/3"_s << QString();
    QTest::newRow("letters after a common page")
        << QStringList{u"copertina"_s, u"@@FAX:0611|Alfa@@"_s, u"@@FAX:0622|Beta@@"_s, u"retro"_s} << false
        << O::Tagged << 1 << u"0611|Alfa 2-2/2; 0622|Beta 3-4/3"_s << QString();
    QTest::newRow("common pages dropped")
        << QStringList{u"copertina"_s, u"indice"_s, u"@@FAX:0611@@"_s, u"@@FAX:0622@@"_s} << true << O::Tagged
        << 2 << u"0611| 3-3/1; 0622| 4-4/1"_s << QString();
    QTest::newRow("number dressed as the number box takes it")
        << QStringList{u"@@FAX: +39 (02) 123-45.67 / [8] |  Studio   Rossi @@"_s} << false << O::Tagged << 0
        << u"00390212345678|Studio Rossi 1-1/1"_s << QString();
    QTest::newRow("markers broken apart by extraction, any case")
        << QStringList{u"@ @ fax : 0612 345 @ @"_s} << false << O::Tagged << 0 << u"0612345| 1-1/1"_s
        << QString();
    QTest::newRow("tag across a line end") << QStringList{u"@@FAX:06\n12345|Mario\nRossi@@"_s} << false
                                           << O::Tagged << 0 << u"0612345|Mario Rossi 1-1/1"_s << QString();
    // Ghostscript 10.0 reading a Writer PDF: "ff", "fi" byte-swapped, "ffi"
    // and "ffl" with their last two letters summed; a lone CJK character kept.
    QTest::newRow("ligatures as Ghostscript reads them")
        << QStringList{u"@@FAX:0611|Tipogra\u6600\u6900a E\u6600\u6600e, O\u6600\uCF00cine, Ba\u6600\uD200e, "
                       u"Ca\uFB00\u00E8 "
                       u"\u6600\u6C00 \u6600@@"_s}
        << false << O::Tagged << 0 << u"0611|Tipografia Effe, Officine, Baffle, Caffè fl \u6600 1-1/1"_s
        << QString();
    QTest::newRow("same destination twice on a page")
        << QStringList{u"@@FAX:06 12345|Rossi@@ testo @@FAX:0612345@@"_s} << false << O::Tagged << 0
        << u"0612345|Rossi 1-1/1"_s << QString();
    QTest::newRow("longest number") << QStringList{u"@@FAX:"_s + QString(MostTagNumberDigits, u'1') + u"@@"_s}
                                    << false << O::Tagged << 0
                                    << QString(MostTagNumberDigits, u'1') + u"| 1-1/1"_s << QString();

    QTest::newRow("no digits") << QStringList{u"@@FAX:0611@@"_s, u"@@FAX: -- () @@"_s} << false << O::Refused
                               << 0 << QString() << t::refused(t::noDigits(2));
    QTest::newRow("letters in the number") << QStringList{u"@@FAX:06 CHIAMARE@@"_s} << false << O::Refused
                                           << 0 << QString() << t::refused(t::badNumber(1, u"06 CHIAMARE"_s));
    QTest::newRow("number too long")
        << QStringList{u"x"_s, u"@@FAX:"_s + QString(MostTagNumberDigits + 1, u'1') + u"@@"_s} << false
        << O::Refused << 0 << QString() << t::refused(t::numberTooLong(2, MostTagNumberDigits));
    QTest::newRow("two numbers on a page")
        << QStringList{u"@@FAX:0611@@"_s, u"@@FAX:0622@@ e @@FAX:0633@@"_s} << false << O::Refused << 0
        << QString() << t::refused(t::twoDestinations(2, u"0622"_s, u"0633"_s));
    QTest::newRow("one number, two names")
        << QStringList{u"@@FAX:0611|Alfa@@ @@FAX:0611|Beta@@"_s} << false << O::Refused << 0 << QString()
        << t::refused(t::twoDestinations(1, u"0611 Alfa"_s, u"0611 Beta"_s));
    QTest::newRow("tag never closed") << QStringList{u"@@FAX:0611"_s + QString(400, u' ') + u"@@"_s} << false
                                      << O::Refused << 0 << QString() << t::refused(t::unclosedTag(1));
    // A page whose text cannot be read may hold a tag: the letters are in doubt.
    QTest::newRow("image-only page among tagged ones")
        << QStringList{u"@@FAX:0611@@"_s, u"segue"_s, u" \n "_s} << false << O::Refused << 0 << QString()
        << t::refused(t::noText(3));
    // A TrueType font through CUPS: glyph codes, not text. Where a tag reads,
    // the page's destination is known.
    QTest::newRow("unreadable page among tagged ones")
        << QStringList{u"@@FAX:0611@@ \u0001\u0002\u0003"_s, u"segue"_s, u"\u0001\u0002\u0003\u0003\t"_s}
        << false << O::Refused << 0 << QString() << t::refused(t::unreadableText(3));
    QTest::newRow("unreadable pages, no tag") << QStringList{u"\u0001\u0002"_s, u"\u0003 \u0004"_s} << false
                                              << O::Untagged << 0 << QString() << QString();
    QStringList thousands;
    for (int page = 0; page < 10000; ++page)
        thousands << u"@@FAX:06%1@@"_s.arg(page);
    QTest::newRow("10000 letters") << thousands << false << O::Refused << 0 << QString()
                                   << t::refused(t::tooManyLetters(MostTaggedLetters + 1, MostTaggedLetters));
}

void TestTagParser::reading()
{
    QFETCH(QStringList, pages);
    QFETCH(bool, dropCommon);
    QFETCH(TagReading::Outcome, outcome);
    QFETCH(QString, problem);

    const TagReading reading = readPrintTags(pages, dropCommon);
    QCOMPARE(reading.outcome, outcome);
    QCOMPARE(reading.problem, problem);
    QCOMPARE(reading.pages, pages.size());
    QTEST(reading.commonPages, "commonPages");
    QTEST(describe(reading), "letters");
}

QTEST_GUILESS_MAIN(TestTagParser)
#include "tst_tagparser.moc"
