#include "VCardReader.h"

#include <QFile>
#include <QStringDecoder>
#include <QTest>

using namespace Qt::StringLiterals;

using kestrel::ContactItem;
using kestrel::VCardReader;

class tst_VCardReader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void dialects_data();
    void dialects();
    void brokenCardsKeepPositions_data();
    void brokenCardsKeepPositions();
    void labelsAndNames_data();
    void labelsAndNames();

private:
    // One line per item: its class, then its fields.
    static QStringList summary(const QByteArray& data);
};

QStringList tst_VCardReader::summary(const QByteArray& data)
{
    QStringList items;
    VCardReader reader(data);
    ContactItem item;
    while (reader.next(item)) {
        items << QString::number(item.itemClass) + u'|' + item.BusinessFaxNumber + u'|' + item.FirstName +
                     u'|' + item.LastName + u'|' + item.CompanyName;
    }
    return items;
}

void tst_VCardReader::dialects_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("2.1: quoted-printable, code pages, soft breaks, bare types")
        << u"dialect21.vcf"_s
        << QStringList{u"40|+39 (02) 123-4567|Nicolò|Città|Caffè & C. S.p.A."_s,
                       // A note's soft-broken line that looks like a fax is
                       // part of the note.
                       u"40|06 7654321|Jürgen|Müller|Grüne Energie GmbH"_s,
                       // 2.1 keeps the blank that a fold stands before.
                       u"40|011 222 3333|Anna|Bianchi|"_s,
                       // No CHARSET and not UTF-8: the writer's code page.
                       u"40|055 123|Luca|Città|Fabbrica ; Figli"_s};
    QTest::newRow("3.0: folds, escapes, groups, both TYPE spellings")
        << u"dialect30.vcf"_s
        << QStringList{u"40|02 555 0001|Giovanni|Rossi|Rossi, Verdi & Associati"_s,
                       u"40|+1 (555) 010-9999|Mary Ann|O'Neil;Jr|Back\\slash Ltd"_s, u"40||Solo|Casa|"_s};
    QTest::newRow("4.0: quoted lists, tel: URIs, a fold inside a character")
        << u"dialect40.vcf"_s
        << QStringList{u"40|+45-3333-4444|Zoë|Ørsted|Nordisk Fax A/S"_s,
                       u"40|03-1234-5678|太郎|山田|株式会社テスト"_s};
    QTest::newRow("CR alone ends the lines")
        << u"cr-only.vcf"_s
        << QStringList{u"40|02 1234567|Anna|Rossi|Studio Legale Rossi"_s, u"40|06 7654321|Carlo|Bianchi|"_s};
    QTest::newRow("indented cards: a fold is one blank more")
        << u"indented.vcf"_s
        << QStringList{u"40|011 555666|Giulia|Verdi|Verdi & Figli"_s, u"40|0422 111|Paolo|Neri|"_s};
    const QStringList sixteen{u"40|+45 3333 4444|Zoë|Ørsted|Café Città"_s, u"40|03 1234 5678|太郎|山田|"_s};
    QTest::newRow("UTF-16 without a byte order mark") << u"utf16le-nobom.vcf"_s << sixteen;
    QTest::newRow("UTF-16 big-endian with a byte order mark") << u"utf16be-bom.vcf"_s << sixteen;
    QTest::newRow("2.1 AGENT: the embedded card is not the outer one")
        << u"agent21.vcf"_s
        << QStringList{u"40|02 1111|Mario|Rossi|Rossi S.r.l."_s, u"40||Sara|Gialli|"_s,
                       u"40|055 2222|Tutti|Dopo|"_s};
    QTest::newRow("FAX alone when there is no work fax; a home fax stays out")
        << u"fax-alone.vcf"_s
        << QStringList{u"40|02 3333|Fax|Solo|"_s, u"40|02 5555|Generico|Prima|"_s, u"40||Soltanto|Casa|"_s,
                       u"40|+39-02-7777|Zero|Quattro|"_s};
}

void tst_VCardReader::dialects()
{
    QFETCH(QString, file);
    QFETCH(QStringList, items);
    QFile sample(QString::fromUtf8(KESTREL_VCARD_SAMPLES) + u'/' + file);
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QCOMPARE(summary(sample.readAll()), items);
}

void tst_VCardReader::brokenCardsKeepPositions_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("items");
    const QByteArray good = "BEGIN:VCARD\nVERSION:3.0\nN:Rossi;Anna\nTEL;TYPE=WORK,FAX:0212\nEND:VCARD\n";
    const QString goodItem = u"40|0212|Anna|Rossi|"_s;
    const QString notAContact = u"0||||"_s;
    QTest::newRow("card cut short by the next one")
        << "BEGIN:VCARD\nVERSION:3.0\nTEL;TYPE=WORK,FAX:0999\n" + good << QStringList{notAContact, goodItem};
    QTest::newRow("card cut short by the end of the file")
        << good + "BEGIN:VCARD\r\nVERSION:2.1\r\nTEL;WORK;FAX:0999" << QStringList{goodItem, notAContact};
    QTest::newRow("stray lines and END outside cards") << "garbage\nEND:VCARD\n\n" + good + "more garbage\n"
                                                       << QStringList{goodItem};
    QTest::newRow("stray line without a colon inside a card")
        << QByteArray(
               "BEGIN:VCARD\nVERSION:3.0\nnot a property\nTEL;TYPE=WORK,FAX:0212\nN:Rossi;Anna\nend:vcard\n")
        << QStringList{goodItem};
    QTest::newRow("an empty work fax, a home fax")
        << QByteArray("BEGIN:VCARD\nVERSION:3.0\nN:Rossi;Anna\n"
                      "TEL;TYPE=WORK,FAX:\nTEL;TYPE=HOME,FAX:0212\nEND:VCARD\n")
        << QStringList{u"40||Anna|Rossi|"_s};
    QTest::newRow("folded into one-character pieces")
        << QByteArray("BEGIN:VCARD\nVERSION:3.0\nNOTE:a\n b\n c\nTEL;TYPE=WORK,FAX:0\n 2\n 1\n 2\n"
                      "N:Ros\n si;Anna\nEND:VCARD\n")
        << QStringList{goodItem};
    QTest::newRow("UTF-8 byte order mark") << "\xEF\xBB\xBF" + good << QStringList{goodItem};
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    QTest::newRow("UTF-16 with byte order mark")
        << "\xFF\xFE" + QByteArray(utf16.encode(QString::fromUtf8(good + good)))
        << QStringList{goodItem, goodItem};
    QTest::newRow("empty") << QByteArray() << QStringList();
}

void tst_VCardReader::brokenCardsKeepPositions()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, items);
    QCOMPARE(summary(data), items);
}

// Custom labels tie a number to what it is by their group (Google and Apple
// write a fax that way); a card named only by FN is named by it.
void tst_VCardReader::labelsAndNames_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QString>("item");
    QTest::newRow("Google: a number labelled Fax")
        << QByteArray("N:Rossi;Anna\nitem1.TEL:+39 02 1234\nitem1.X-ABLabel:Fax\n")
        << u"40|+39 02 1234|Anna|Rossi|"_s;
    QTest::newRow("the label before its number")
        << QByteArray("N:Rossi;Anna\nITEM2.X-ABLABEL:fax\nitem2.TEL;TYPE=VOICE:0212\n")
        << u"40|0212|Anna|Rossi|"_s;
    QTest::newRow("Apple: a work fax label before a FAX alone")
        << QByteArray("N:Rossi;Anna\nTEL;TYPE=FAX:111\nitem1.TEL:222\nitem1.X-ABLabel:_$!<WorkFax>!$_\n")
        << u"40|222|Anna|Rossi|"_s;
    QTest::newRow("a FAX alone before a number labelled Fax")
        << QByteArray("N:Rossi;Anna\nitem1.TEL:222\nitem1.X-ABLabel:Fax\nTEL;TYPE=FAX:111\n")
        << u"40|111|Anna|Rossi|"_s;
    QTest::newRow("a typed work fax before a labelled one")
        << QByteArray("N:Rossi;Anna\nitem1.TEL:111\nitem1.X-ABLabel:Work Fax\nTEL;TYPE=WORK,FAX:222\n")
        << u"40|222|Anna|Rossi|"_s;
    QTest::newRow("a home fax label stays out")
        << QByteArray("N:Rossi;Anna\nitem1.TEL:111\nitem1.X-ABLabel:_$!<HomeFax>!$_\n")
        << u"40||Anna|Rossi|"_s;
    QTest::newRow("a label that is no fax")
        << QByteArray("N:Rossi;Anna\nitem1.TEL:111\nitem1.X-ABLabel:Centralino\n") << u"40||Anna|Rossi|"_s;
    QTest::newRow("the label of another group")
        << QByteArray("N:Rossi;Anna\nitem1.TEL:111\nitem2.X-ABLabel:Fax\n") << u"40||Anna|Rossi|"_s;
    QTest::newRow("FN with an empty N")
        << QByteArray("N:;;;;\nFN:Rossi\\, Verdi\n") << u"40||Rossi, Verdi||"_s;
    QTest::newRow("N before FN") << QByteArray("FN:Dott. Anna Rossi\nN:Rossi;Anna\n") << u"40||Anna|Rossi|"_s;
    QTest::newRow("FN that repeats the company") << QByteArray("FN:ACME\nORG:ACME\n") << u"40||||ACME"_s;
}

void tst_VCardReader::labelsAndNames()
{
    QFETCH(QByteArray, lines);
    QFETCH(QString, item);
    QCOMPARE(summary("BEGIN:VCARD\nVERSION:3.0\n" + lines + "END:VCARD\n"), QStringList{item});
}

QTEST_GUILESS_MAIN(tst_VCardReader)
#include "tst_vcardreader.moc"
