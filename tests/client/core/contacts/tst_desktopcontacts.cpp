#include "ClientTexts.h"
#include "DesktopContacts.h"
#include "FifoUnblocker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

using kestrel::ContactItem;
using kestrel::DesktopContact;
using kestrel::DesktopContacts;

namespace {

QByteArray card(const QString& fax, const QString& last = u"Rossi"_s)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" + last.toUtf8() + ";Anna;;;\r\nORG:ACME\r\n" +
           (fax.isNull() ? QByteArray() : "TEL;TYPE=WORK,FAX:" + fax.toUtf8() + "\r\n") + "END:VCARD\r\n";
}

ContactItem contact(const QString& fax)
{
    return ContactItem{ContactItem::ContactClass, fax, u"Anna"_s, u"Rossi"_s, u"ACME"_s};
}

} // namespace

class tst_DesktopContacts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void takesItems_data();
    void takesItems();
    void loadsFileBehindNotice();
    void folderInNameOrder();
    void missingSource_data();
    void missingSource();
    void onlyTheFirst10000Positions();
    void passesOverWhatIsNotAContactFile_data();
    void passesOverWhatIsNotAContactFile();

private:
    void write(const QString& name, const QByteArray& content);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_DesktopContacts::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void tst_DesktopContacts::write(const QString& name, const QByteArray& content)
{
    QFile file(m_dir->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void tst_DesktopContacts::takesItems_data()
{
    QTest::addColumn<ContactItem>("item");
    QTest::addColumn<int>("count");
    QTest::addColumn<DesktopContact>("entry");
    const int before = 1;
    QTest::newRow("usable fax") << contact(u"+39 02 1234"_s) << 5
                                << DesktopContact{u"0039021234"_s, u"Anna Rossi ACME"_s};
    QTest::newRow("three characters: passed over") << contact(u"123"_s) << before << DesktopContact();
    QTest::newRow("four with blanks around: three")
        << contact(u"  12 3  "_s) << 5 << DesktopContact{u"123"_s, u"Anna Rossi ACME"_s};
    QTest::newRow("blanks only count for nothing") << contact(u" 12 "_s) << before << DesktopContact();
    QTest::newRow("no digits: entry without number")
        << contact(u"n.d. -"_s) << 5 << DesktopContact{QString(), u"Anna Rossi ACME"_s};
    QTest::newRow("not a contact") << ContactItem{0, u"0212345"_s, {}, {}, {}} << before << DesktopContact();
    QTest::newRow("no names") << ContactItem{ContactItem::ContactClass, u"0212345"_s, {}, {}, {}} << 5
                              << DesktopContact{u"0212345"_s, u"  "_s};
}

void tst_DesktopContacts::takesItems()
{
    QFETCH(ContactItem, item);
    QFETCH(int, count);
    QFETCH(DesktopContact, entry);
    DesktopContacts contacts;
    QVERIFY(contacts.take(5, item));
    QCOMPARE(contacts.count(), count);
    QCOMPARE(contacts.entry(5), entry);
    QCOMPARE(contacts.listed().size(), entry.number.isEmpty() ? 0 : 1);
    // No room past the end: the load stops there.
    QCOMPARE(contacts.take(DesktopContacts::MaxPositions + 1, contact(u"0212345"_s)), false);
}

void tst_DesktopContacts::loadsFileBehindNotice()
{
    write(u"contatti.vcf"_s, card(u"0211"_s, u"Uno"_s) + card({}, u"Due"_s) + card(u"021"_s, u"Tre"_s) +
                                 card(u"0244"_s, u"Quattro"_s) + card(u"021"_s, u"Cinque"_s));
    QStringList events;
    DesktopContacts::Notice notice{
        [&](const QString& text) { events << u"show "_s + text; }, [&] { events << u"close"_s; }, {}};
    const DesktopContacts contacts =
        DesktopContacts::LoadOutlookContacts(DesktopContacts::defaultSource(m_dir->path()), notice);
    QCOMPARE(events, (QStringList{u"show "_s + kestrel::texts::book::LoadingDesktopContacts, u"close"_s}));
    QCOMPARE(contacts.count(), 4);
    QCOMPARE(contacts.listed(),
             (QList<DesktopContact>{{u"0211"_s, u"Anna Uno ACME"_s}, {u"0244"_s, u"Anna Quattro ACME"_s}}));
    QCOMPARE(contacts.entry(4).number, u"0244"_s);
}

void tst_DesktopContacts::folderInNameOrder()
{
    write(u"b.vcf"_s, card(u"0222"_s, u"B"_s) + card({}, u"B2"_s));
    write(u"a.vcf"_s, card(u"0111"_s, u"A"_s));
    write(u"c.VCF"_s, card(u"0333"_s, u"C"_s));
    write(u"notes.txt"_s, card(u"0999"_s, u"Txt"_s));
    QDir(m_dir->path()).mkdir(u"sub.vcf"_s);
    const DesktopContacts contacts = DesktopContacts::LoadOutlookContacts(m_dir->path());
    QCOMPARE(contacts.count(), 4);
    QCOMPARE(contacts.entry(1).number, u"0111"_s);
    QCOMPARE(contacts.entry(2).number, u"0222"_s);
    QCOMPARE(contacts.entry(3).number, QString());
    QCOMPARE(contacts.entry(4).number, u"0333"_s);
}

void tst_DesktopContacts::missingSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("notices"); // shown and closed: a file was read
    QTest::newRow("missing file") << u"missing.vcf"_s << 0;
    QTest::newRow("empty file") << u"empty.vcf"_s << 2;
    QTest::newRow("empty folder") << u"folder"_s << 0;
    QTest::newRow("no path") << QString() << 0;
}

void tst_DesktopContacts::missingSource()
{
    QFETCH(QString, source);
    QFETCH(int, notices);
    write(u"empty.vcf"_s, {});
    QDir(m_dir->path()).mkdir(u"folder"_s);
    int shown = 0;
    const DesktopContacts contacts =
        DesktopContacts::LoadOutlookContacts(source.isEmpty() ? source : m_dir->filePath(source),
                                             {[&](const QString&) { ++shown; }, [&] { ++shown; }, {}});
    QCOMPARE(contacts.count(), 1);
    QVERIFY(contacts.listed().isEmpty());
    QCOMPARE(shown, notices);
}

void tst_DesktopContacts::onlyTheFirst10000Positions()
{
    QByteArray content;
    for (int i = 1; i <= 20000; ++i)
        content += card(u"0%1"_s.arg(i, 5, 10, QChar(u'0')), u"N%1"_s.arg(i));
    write(u"contatti.vcf"_s, content);
    const DesktopContacts contacts = DesktopContacts::LoadOutlookContacts(m_dir->filePath(u"contatti.vcf"_s));
    QCOMPARE(contacts.count(), DesktopContacts::MaxPositions);
    const QList<DesktopContact> listed = contacts.listed();
    QCOMPARE(listed.size(), DesktopContacts::MaxPositions);
    QCOMPARE(listed.first(), (DesktopContact{u"000001"_s, u"Anna N1 ACME"_s}));
    QCOMPARE(listed.last(), (DesktopContact{u"010000"_s, u"Anna N10000 ACME"_s}));
}

void tst_DesktopContacts::passesOverWhatIsNotAContactFile_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("tooLarge");
    QTest::newRow("a FIFO") << u"fifo.vcf"_s << QStringList() << QStringList();
    QTest::newRow("a link to /dev/zero") << u"zero.vcf"_s << QStringList() << QStringList();
    QTest::newRow("a file over the bound") << u"large.vcf"_s << QStringList() << QStringList{u"large.vcf"_s};
    QTest::newRow("a folder: FIFO, device, large file among cards")
        << u"folder"_s << QStringList{u"0111"_s, u"0555"_s} << QStringList{u"folder/d.vcf"_s};
}

void tst_DesktopContacts::passesOverWhatIsNotAContactFile()
{
    QFETCH(QString, source);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, tooLarge);
    QDir(m_dir->path()).mkdir(u"folder"_s);
    write(u"folder/a.vcf"_s, card(u"0111"_s));
    write(u"folder/e.vcf"_s, card(u"0555"_s));
    for (const QString& name : {u"fifo.vcf"_s, u"folder/b.vcf"_s})
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath(name)).constData(), 0600), 0);
    for (const QString& name : {u"zero.vcf"_s, u"folder/c.vcf"_s})
        QVERIFY(QFile::link(u"/dev/zero"_s, m_dir->filePath(name)));
    for (const QString& name : {u"large.vcf"_s, u"folder/d.vcf"_s}) {
        QFile large(m_dir->filePath(name)); // sparse: no disk is used
        QVERIFY(large.open(QIODevice::WriteOnly));
        large.write(card(u"0999"_s));
        QVERIFY(large.resize(DesktopContacts::MaxFileBytes + 1));
    }
    // A reader blocked on a FIFO would be let go after a while: the load
    // must be done long before that.
    kestrel::test::FifoUnblocker fifo(m_dir->filePath(u"fifo.vcf"_s));
    kestrel::test::FifoUnblocker fifoInFolder(m_dir->filePath(u"folder/b.vcf"_s));
    QElapsedTimer timer;
    timer.start();
    const DesktopContacts contacts = DesktopContacts::LoadOutlookContacts(m_dir->filePath(source));
    QVERIFY(timer.elapsed() < 1500);
    QStringList numbers;
    for (const DesktopContact& contact : contacts.listed())
        numbers << contact.number;
    QCOMPARE(numbers, listed);
    for (QString& name : tooLarge)
        name = m_dir->filePath(name);
    QCOMPARE(contacts.tooLarge(), tooLarge);
}

QTEST_GUILESS_MAIN(tst_DesktopContacts)
#include "tst_desktopcontacts.moc"
