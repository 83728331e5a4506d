// Captured prints read for the destinations their pages name, with a
// scripted reader that writes real PostScript letters and a recording
// stand-in for the control: where each print ends up, in turn, sent at once
// when the settings say so, and the letters' folders.

#include "ClientTexts.h"
#include "CorvanefaxHost.h"
#include "PrintIntake.h"
#include "RecordingControl.h"
#include "ScriptedMessageBox.h"
#include "ScriptedTagReader.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::RecordingControl;
using kestrel::test::ScriptedMessageBox;
using kestrel::test::ScriptedTagReader;

Q_DECLARE_METATYPE(kestrel::test::ScriptedTagReader::Script)

class TestPrintIntake : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void placed_data();
    void placed();
    void readingOptions_data();
    void readingOptions();
    void inTurn_data();
    void inTurn();
    void deletedWhileReading_data();
    void deletedWhileReading();
    void sentAtOnce_data();
    void sentAtOnce();
    void lettersFolder_data();
    void lettersFolder();

private:
    // Rossi (2 pages) and Bianchi (1 page).
    static ScriptedTagReader::Script twoLetters()
    {
        return ScriptedTagReader::tagged({{u"0123456789"_s, u"Rossi"_s, 2}, {u"022222"_s, u"Bianchi"_s, 1}});
    }
    QStringList rowsListed() const
    {
        QStringList rows;
        for (int r = 1; r < m_destinations.rows(); ++r)
            rows << m_destinations.rowCells(r).mid(1, 3).join(u'|');
        return rows;
    }

    std::unique_ptr<CorvanefaxHost> m_host;
    RecordingControl* m_control = nullptr;
    GridRows m_destinations{DestinationColumn::Count};
    GridRows m_documents{3};
    LineTable m_lines;
    ScriptedMessageBox m_box;
    SettingsValues m_settings;
    std::unique_ptr<SubmissionFlow> m_flow;
    std::unique_ptr<PrintIntake> m_intake;
    ScriptedTagReader* m_reader = nullptr;
};

void TestPrintIntake::init()
{
    m_intake.reset();
    m_flow.reset();
    m_host = std::make_unique<CorvanefaxHost>();
    auto control = std::make_unique<RecordingControl>();
    m_control = control.get();
    m_host->adopt(std::move(control), m_control);
    m_destinations.setRows(1);
    m_documents.setRows(1);
    m_box.clear();
    m_settings = SettingsValues();
    m_settings.mail = u"ufficio@example.org"_s;
    m_flow = std::make_unique<SubmissionFlow>(*m_host, m_destinations, m_documents, m_lines, m_box);
    m_flow->setSettings([this] { return m_settings; });
    auto reader = std::make_unique<ScriptedTagReader>();
    m_reader = reader.get();
    m_intake = std::make_unique<PrintIntake>(*m_flow, m_destinations, std::move(reader));
    m_intake->setSettings([this] { return m_settings; });
}

void TestPrintIntake::placed_data()
{
    QTest::addColumn<ScriptedTagReader::Script>("script");
    QTest::addColumn<QStringList>("destinations"); // number|name|pages
    QTest::addColumn<QStringList>("documents");
    QTest::addColumn<QString>("signal");
    QTest::newRow("no tag: the print listed as ever")
        << ScriptedTagReader::Script() << QStringList() << QStringList{u"/tmp/p.ps"_s} << u"listed"_s;
    QTest::newRow("tagged: one destination per letter, with its pages")
        << twoLetters() << QStringList{u"0123456789|Rossi|2"_s, u"022222|Bianchi|1"_s} << QStringList()
        << u"letters 2"_s;
    QTest::newRow("refused: the print left to the user, with the reason")
        << ScriptedTagReader::refused(u"pagina 3: numero illeggibile"_s) << QStringList()
        << QStringList{u"/tmp/p.ps"_s} << u"refused pagina 3: numero illeggibile"_s;
}

void TestPrintIntake::placed()
{
    QFETCH(ScriptedTagReader::Script, script);
    QFETCH(QStringList, destinations);
    QFETCH(QStringList, documents);
    QFETCH(QString, signal);
    QStringList told;
    connect(m_intake.get(), &PrintIntake::printListed, this, [&told] { told << u"listed"_s; });
    connect(m_intake.get(), &PrintIntake::lettersListed, this,
            [&told](int letters) { told << u"letters "_s + QString::number(letters); });
    connect(m_intake.get(), &PrintIntake::printRefused, this,
            [&told](const QString&, const QString& problem) { told << u"refused "_s + problem; });
    m_reader->scripts = {script};
    m_intake->take(u"/tmp/p.ps"_s);
    QCOMPARE(told, QStringList{signal});
    QCOMPARE(rowsListed(), destinations);
    QCOMPARE(m_documents.column(1), documents);
    // A letter's own document is a real one, in the print's folder.
    QCOMPARE(m_intake->folders().size(), destinations.isEmpty() ? 0 : 1);
    for (const QString& letter : m_destinations.column(DestinationColumn::Letter)) {
        QVERIFY(letter.startsWith(m_intake->folders().constFirst() + u'/'));
        QVERIFY(QFileInfo(letter).size() > 0);
    }
    QVERIFY(m_control->sent.isEmpty());
}

void TestPrintIntake::readingOptions_data()
{
    QTest::addColumn<QString>("skipFirst");
    QTest::addColumn<bool>("dropped");
    QTest::newRow("pages before the first tag go to every letter") << u"0"_s << false;
    QTest::newRow("left out (TAGSKIPFIRST=1)") << u"1"_s << true;
}

// The reader writes into a folder of this print's own, that only the user
// can enter.
void TestPrintIntake::readingOptions()
{
    QFETCH(QString, skipFirst);
    QFETCH(bool, dropped);
    m_settings.set(settings::TagSkipFirst, skipFirst);
    m_reader->later = true;
    m_intake->take(u"/tmp/p.ps"_s);
    QCOMPARE(m_reader->reads.size(), 1);
    const TagReadOptions options = m_reader->reads.at(0).second;
    QCOMPARE(options.dropCommonPages, dropped);
    const QFileInfo folder(options.outputFolder);
    QVERIFY(folder.isDir());
    QVERIFY(folder.isWritable());
    QCOMPARE(int(folder.permissions() & 0x0077), 0); // nothing for the group and others
    QCOMPARE(QDir(options.outputFolder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestPrintIntake::inTurn_data()
{
    QTest::addColumn<QStringList>("steps"); // a print answered, or "wait" until b is listed
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("answered in order") << QStringList{u"a"_s, u"b"_s} << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("the second answered just before the first: order kept")
        << QStringList{u"b"_s, u"a"_s} << QStringList{u"a"_s, u"b"_s};
    // A huge print takes minutes to read.
    QTest::newRow("the first answered late: the second listed without it")
        << QStringList{u"b"_s, u"wait"_s, u"a"_s} << QStringList{u"b"_s, u"a"_s};
}

// Prints are read at once, and listed in the order they came unless one
// takes long; none is lost or listed twice.
void TestPrintIntake::inTurn()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, listed);
    m_reader->later = true;
    m_intake->take(u"a"_s);
    m_intake->take(u"b"_s);
    QCOMPARE(m_reader->reads.size(), 2);
    for (const QString& step : std::as_const(steps)) {
        if (step == u"wait"_s)
            QTRY_COMPARE(m_documents.column(1), QStringList{u"b"_s});
        else
            m_reader->finish(step);
    }
    QTRY_COMPARE(m_intake->waiting(), 0);
    QCOMPARE(m_documents.column(1), listed);
    QCOMPARE(m_reader->reads.size(), 2);
}

void TestPrintIntake::deletedWhileReading_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("both prints being read") << u"reading"_s;
    QTest::newRow("the second waiting for the first") << u"waiting"_s;
    // A handler may wait in an event loop, where anything runs.
    QTest::newRow("from the handler of the print listed") << u"handler"_s;
}

// Deleted with prints still read: nothing more is listed, and the letters'
// folders go.
void TestPrintIntake::deletedWhileReading()
{
    QFETCH(QString, when);
    m_reader->later = true;
    m_reader->scripts = {twoLetters()};
    m_intake->take(u"a"_s);
    m_intake->take(u"b"_s);
    m_intake->take(u"c"_s);
    const QStringList folders = m_intake->folders();
    QCOMPARE(folders.size(), 3);
    if (when == u"handler"_s) {
        connect(m_intake.get(), &PrintIntake::printListed, this, [this] { m_intake.reset(); });
        m_reader->finish(u"c"_s);
        m_reader->finish(u"a"_s);
        QVERIFY(!m_intake);
    } else {
        if (when == u"waiting"_s)
            m_reader->finish(u"b"_s);
        m_intake.reset();
    }
    QTest::qWait(10); // what was queued runs, if anything
    for (const QString& folder : folders)
        QVERIFY(!QFileInfo::exists(folder));
    QCOMPARE(m_documents.column(1), when == u"handler"_s ? QStringList{u"a"_s} : QStringList());
    QCOMPARE(m_destinations.rows(), 1);
}

void TestPrintIntake::sentAtOnce_data()
{
    QTest::addColumn<bool>("atOnce");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("sent");         // SendFax numbers
    QTest::addColumn<QStringList>("destinations"); // left in the list
    QTest::addColumn<int>("listed");               // lettersListed
    QTest::newRow("nothing else listed: every letter sent")
        << true << u"nothing"_s << QStringList{u"0123456789"_s, u"022222"_s} << QStringList() << 0;
    QTest::newRow("a destination listed: the letters wait for the user")
        << true << u"destination"_s << QStringList()
        << QStringList{u"0611||"_s, u"0123456789|Rossi|2"_s, u"022222|Bianchi|1"_s} << 1;
    QTest::newRow("a fax on its way: the letters sent after it")
        << true << u"sending"_s << QStringList{u"0611"_s, u"0123456789"_s, u"022222"_s} << QStringList() << 0;
    // Listed at once, the press under way would send them unasked.
    QTest::newRow("not at once, a fax on its way: listed after it")
        << false << u"sending"_s << QStringList{u"0611"_s}
        << QStringList{u"0123456789|Rossi|2"_s, u"022222|Bianchi|1"_s} << 1;
}

// TAGSEND: a print whose pages name every destination goes without the
// window, never mixed with what the user has listed, never in the middle
// of another press; and no press takes letters along that came after it.
void TestPrintIntake::sentAtOnce()
{
    QFETCH(bool, atOnce);
    QFETCH(QString, before);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, destinations);
    QFETCH(int, listed);
    m_settings.set(settings::TagSend, atOnce ? u"1"_s : u"0"_s);
    m_settings.set(settings::GroupSend, u"0"_s);
    QSignalSpy lettersListed(m_intake.get(), &PrintIntake::lettersListed);
    if (before != u"nothing"_s) {
        m_destinations.appendRow({QString(), u"0611"_s});
        m_flow->addPrintedDocument(u"/tmp/d.ps"_s);
    }
    if (before == u"sending"_s)
        m_flow->send();
    m_reader->scripts = {twoLetters()};
    m_intake->take(u"/tmp/p.ps"_s);
    int job = 0;
    for (int session = 0; session < m_control->sent.size(); ++session) {
        m_control->submit(QString::number(++job));
        // The held print is placed from the event loop.
        QTest::qWait(0);
    }
    QStringList numbers;
    for (const RecordingControl::SentFax& fax : std::as_const(m_control->sent))
        numbers << fax.number;
    QCOMPARE(numbers, sent);
    QCOMPARE(rowsListed(), destinations);
    QCOMPARE(lettersListed.size(), listed);
}

void TestPrintIntake::lettersFolder_data()
{
    QTest::addColumn<QString>("then");
    QTest::addColumn<bool>("kept");
    QTest::newRow("one letter removed: the other needs it") << u"remove one"_s << true;
    QTest::newRow("every letter removed") << u"remove both"_s << false;
    QTest::newRow("the list emptied") << u"empty"_s << false;
    // "Reinvia" puts a letter that went back into the window.
    QTest::newRow("sent: kept for Reinvia") << u"send"_s << true;
}

void TestPrintIntake::lettersFolder()
{
    QFETCH(QString, then);
    QFETCH(bool, kept);
    m_reader->scripts = {twoLetters()};
    m_intake->take(u"/tmp/p.ps"_s);
    QCOMPARE(m_intake->folders().size(), 1);
    const QString folder = m_intake->folders().constFirst();
    if (then == u"remove one"_s || then == u"remove both"_s)
        m_destinations.removeRow(1);
    if (then == u"remove both"_s)
        m_destinations.removeRow(1);
    if (then == u"empty"_s)
        m_destinations.setRows(1);
    if (then == u"send"_s) {
        m_flow->send();
        m_control->submit(u"1"_s);
        m_control->submit(u"2"_s);
        QCOMPARE(m_destinations.rows(), 1);
    }
    QCOMPARE(QFileInfo::exists(folder), kept);
    QCOMPARE(m_intake->folders().size(), kept ? 1 : 0);
    m_intake.reset();
    QVERIFY(!QFileInfo::exists(folder)); // gone with the program
}

QTEST_GUILESS_MAIN(TestPrintIntake)
#include "tst_printintake.moc"
