// The reader with the real Ghostscript: prints split into their letters'
// documents, and the prints it refuses.
#include "ClientTexts.h"
#include "PrintTags.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;
using namespace kestrel;

namespace {

const QString Data = QStringLiteral(KESTREL_TAGS_DATA);

// The text of each page of a document, as Ghostscript reads it.
QStringList pageTexts(const QString& path)
{
    QTemporaryDir pages;
    QProcess gs;
    gs.start(u"gs"_s, {u"-q"_s, u"-dSAFER"_s, u"-dBATCH"_s, u"-dNOPAUSE"_s, u"-sDEVICE=txtwrite"_s,
                       u"-sOutputFile="_s + pages.filePath(u"p%d.txt"_s), u"-f"_s, path});
    if (!gs.waitForFinished(60000) || gs.exitCode() != 0)
        return {u"gs failed"_s};
    QStringList texts;
    for (int page = 1;; ++page) {
        QFile file(pages.filePath(u"p%1.txt"_s.arg(page)));
        if (!file.open(QIODevice::ReadOnly))
            return texts;
        texts << QString::fromUtf8(file.readAll()).simplified();
    }
}

// One letter expected of a mail merge.
struct Expected
{
    QString number;
    QString name;
    int pages = 0;
};

QString digitsOf(QString number)
{
    number.replace(u"+"_s, u"00"_s);
    return number.remove(QRegularExpression(u"[^0-9]"_s));
}

// The letters of make-mailmerge.py's print, as the script dresses them.
QList<Expected> scriptLetters()
{
    const QStringList styles{u"06 123 45%1"_s, u"+39 (06) 123-45%1"_s, u"06.123.45.%1"_s, u"06/12345%1"_s,
                             u"[06] 12345%1"_s};
    QList<Expected> letters;
    for (int letter = 1; letter <= 20; ++letter) {
        letters << Expected{digitsOf(styles.at(letter % styles.size()).arg(letter, 2, 10, QChar(u'0'))),
                            u"Cliente %1"_s.arg(letter), letter % 3 == 0 ? 2 : 1};
    }
    return letters;
}

// The letters of the Writer mail merge: one per row of its data.
QList<Expected> writerLetters()
{
    QFile file(Data + u"/writer-mailmerge.csv"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Expected> letters;
    const QStringList rows = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& row : rows.mid(1)) {
        const QStringList fields = row.split(u';');
        letters << Expected{digitsOf(fields.at(0)), fields.at(1), fields.at(2) == u"si"_s ? 2 : 1};
    }
    return letters;
}

bool gsChildRunning()
{
    const QDir tasks(u"/proc/self/task"_s);
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + u"/children"_s));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& pid : children.readAll().split(' ')) {
            QFile comm(u"/proc/%1/comm"_s.arg(QString::fromLatin1(pid.trimmed())));
            if (!pid.trimmed().isEmpty() && comm.open(QIODevice::ReadOnly) &&
                comm.readAll().trimmed() == "gs")
                return true;
        }
    }
    return false;
}

} // namespace
Q_DECLARE_METATYPE(Expected)

class TestPrintTagReader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(u"gs"_s).isEmpty())
            QSKIP("Ghostscript (gs) is not installed");
        qRegisterMetaType<TagReading>();
        // The PostScript a print through CUPS arrives as (ps2write's output).
        QProcess gs;
        gs.start(u"gs"_s,
                 {u"-q"_s, u"-dSAFER"_s, u"-dBATCH"_s, u"-dNOPAUSE"_s, u"-sDEVICE=ps2write"_s,
                  u"-sOutputFile="_s + m_prints.filePath(u"cups.ps"_s), u"-f"_s, Data + u"/mailmerge.pdf"_s});
        QVERIFY(gs.waitForFinished(60000) && gs.exitCode() == 0);
        QFile untagged(m_prints.filePath(u"untagged.ps"_s));
        QVERIFY(untagged.open(QIODevice::WriteOnly));
        untagged.write(
            "%!PS\n/Helvetica findfont 12 scalefont setfont 72 700 moveto (Fattura 12) show showpage\n");
    }

    void mailMerge_data();
    void mailMerge();
    void refused_data();
    void refused();
    void deletedWhileReading();
    void runs_data();
    void runs();

private:
    std::optional<TagReading> read(const QString& print, TagReadOptions options);
    QTemporaryDir m_output;
    QTemporaryDir m_prints;
};

std::optional<TagReading> TestPrintTagReader::read(const QString& print, TagReadOptions options)
{
    const std::unique_ptr<PrintTagReader> reader = makePrintTagReader();
    std::optional<TagReading> reading;
    connect(reader.get(), &PrintTagReader::finished, this, [&](const QString& path, const TagReading& found) {
        if (path == print)
            reading = found;
    });
    if (options.outputFolder.isEmpty())
        options.outputFolder = m_output.path();
    reader->read(print, options);
    if (!QTest::qWaitFor([&] { return reading.has_value(); }, 120000))
        return std::nullopt;
    return reading;
}

void TestPrintTagReader::mailMerge_data()
{
    QTest::addColumn<QString>("print");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QList<Expected>>("letters");
    QTest::newRow("PDF") << Data + u"/mailmerge.pdf"_s << u"pdf"_s << u"pdf"_s << scriptLetters();
    // Made a PDF first: pages are not picked reliably out of PostScript.
    QTest::newRow("PostScript") << Data + u"/mailmerge.ps"_s << u"pdf"_s << u"ps"_s << scriptLetters();
    QTest::newRow("PostScript through CUPS")
        << m_prints.filePath(u"cups.ps"_s) << u"pdf"_s << u"cups"_s << scriptLetters();
    // Ghostscript reads "%d" in a file name as a page number.
    QTest::newRow("folder named with %d")
        << Data + u"/mailmerge.pdf"_s << u"pdf"_s << u"100%d"_s << scriptLetters();
    // Tags in white 2 pt text after the recipient, names set with ligatures.
    QTest::newRow("Writer PDF") << Data + u"/writer-mailmerge.pdf"_s << u"pdf"_s << u"writer"_s
                                << writerLetters();
}

// Twenty letters of one or two pages: each document holds exactly its pages.
void TestPrintTagReader::mailMerge()
{
    QFETCH(QString, print);
    QFETCH(QString, extension);
    QFETCH(QString, folder);
    QFETCH(QList<Expected>, letters);
    QCOMPARE(letters.size(), 20);
    TagReadOptions options;
    options.outputFolder = m_output.filePath(folder);
    QVERIFY(QDir().mkpath(options.outputFolder));
    const std::optional<TagReading> reading = read(print, options);
    QVERIFY(reading);
    QCOMPARE(reading->problem, QString());
    QCOMPARE(reading->outcome, TagReading::Outcome::Tagged);
    QCOMPARE(reading->pages, 26);
    QCOMPARE(reading->commonPages, 0);
    QCOMPARE(reading->letters.size(), 20);
    for (int index = 0; index < 20; ++index) {
        const TaggedLetter& letter = reading->letters.at(index);
        const int number = index + 1;
        const int pages = letters.at(index).pages;
        QCOMPARE(letter.number, letters.at(index).number);
        QCOMPARE(letter.name, letters.at(index).name);
        QCOMPARE(letter.documentPages, pages);
        QVERIFY(letter.documentPath.endsWith(extension));
        QCOMPARE(QFileInfo(letter.documentPath).absolutePath(), options.outputFolder);
        const QStringList texts = pageTexts(letter.documentPath);
        QCOMPARE(texts.size(), pages);
        for (int page = 0; page < pages; ++page) {
            QVERIFY2(texts.at(page).startsWith(u"Lettera %1 pagina %2 "_s.arg(number).arg(page + 1)),
                     qPrintable(texts.at(page)));
        }
    }
}

void TestPrintTagReader::refused_data()
{
    QTest::addColumn<QByteArray>("print");
    QTest::addColumn<int>("timeLimitMs");
    QTest::addColumn<QString>("problem");
    namespace t = texts::tags;
    const QByteArray tagged = "%!PS\n/Helvetica findfont 12 scalefont setfont\n"
                              "72 700 moveto (@@FAX:0611@@) show showpage\n";
    // A scanned page: an image, no text.
    QTest::newRow("image-only page")
        << tagged + "72 600 translate 100 100 scale 8 8 8 [8 0 0 8 0 0] {<00ff00ff00ff00ff>} image showpage\n"
        << 60000 << t::refused(t::noText(2));
    QTest::newRow("print that never ends") << tagged + "{} loop\n"
                                           << 2000 << t::refused(t::readTimedOut(1, 2));
    // Read as text, its letters cannot be cut.
    QTest::newRow("tagged, not made a PDF")
        << tagged + "currentpagedevice /OutputDevice get /pdfwrite eq { nosuchoperator } if\n"
        << 60000 << t::refused(t::letterNotWritten(1, 1, u"*"_s));
    QTest::newRow("PostScript error") << QByteArray("%!PS\nnosuchoperator\n") << 60000 << t::refused(u"*"_s);
}

// Nothing is written for a refused print; the problem names the page.
void TestPrintTagReader::refused()
{
    QFETCH(QByteArray, print);
    QFETCH(int, timeLimitMs);
    QFETCH(QString, problem);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"print.ps"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(print);
    file.close();
    TagReadOptions options;
    options.timeLimitMs = timeLimitMs;
    const QStringList before = QDir(m_output.path()).entryList(QDir::Files);
    const std::optional<TagReading> reading = read(path, options);
    QVERIFY(reading);
    QCOMPARE(reading->outcome, TagReading::Outcome::Refused);
    QVERIFY(reading->letters.isEmpty());
    if (problem.endsWith(u'*'))
        QVERIFY2(reading->problem.startsWith(problem.chopped(1)), qPrintable(reading->problem));
    else
        QCOMPARE(reading->problem, problem);
    QCOMPARE(QDir(m_output.path()).entryList(QDir::Files), before);
}

// A print that never yields its text holds up no other; a reader deleted
// mid-read stops its Ghostscript and reports nothing.
void TestPrintTagReader::deletedWhileReading()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"endless.ps"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("%!PS\n{} loop\n");
    file.close();
    auto reader = makePrintTagReader();
    QSignalSpy finished(reader.get(), &PrintTagReader::finished);
    TagReadOptions options;
    options.outputFolder = m_output.path();
    reader->read(path, options);
    const QString next = Data + u"/mailmerge.pdf"_s;
    reader->read(next, options);
    QTRY_VERIFY_WITH_TIMEOUT(finished.size() == 1, 120000);
    QCOMPARE(finished.at(0).at(0).toString(), next);
    QCOMPARE(finished.at(0).at(1).value<TagReading>().letters.size(), 20);
    QVERIFY(gsChildRunning());
    reader.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!gsChildRunning(), 20000);
}

void TestPrintTagReader::runs_data()
{
    QTest::addColumn<QString>("print");
    QTest::addColumn<QStringList>("devices"); // of the Ghostscript runs, in turn
    // Most prints carry no tag: they reach the window at once.
    QTest::newRow("untagged PostScript: its text only")
        << m_prints.filePath(u"untagged.ps"_s) << QStringList{u"txtwrite"_s};
    QTest::newRow("tagged PostScript: made a PDF to cut its letters")
        << Data + u"/mailmerge.ps"_s << QStringList{u"txtwrite"_s, u"pdfwrite"_s, u"pdfwrite"_s};
    QTest::newRow("tagged PDF: cut as it is")
        << Data + u"/mailmerge.pdf"_s << QStringList{u"txtwrite"_s, u"pdfwrite"_s};
}

// The text is read from the print as it came; only a tagged print is made a
// PDF, once.
void TestPrintTagReader::runs()
{
    QFETCH(QString, print);
    QFETCH(QStringList, devices);
    // A "gs" first on the path that notes each run.
    QTemporaryDir bin;
    const QString log = bin.filePath(u"runs"_s);
    QFile wrapper(bin.filePath(u"gs"_s));
    QVERIFY(wrapper.open(QIODevice::WriteOnly));
    wrapper.write("#!/bin/sh\nfor a in \"$@\"; do case $a in -sDEVICE=*) echo \"${a#-sDEVICE=}\" >>'" +
                  log.toUtf8() + "';; esac; done\nexec '" + QStandardPaths::findExecutable(u"gs"_s).toUtf8() +
                  "' \"$@\"\n");
    wrapper.close();
    QVERIFY(wrapper.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    const std::optional<TagReading> reading = read(print, TagReadOptions());
    qputenv("PATH", path);
    QVERIFY(reading);
    QVERIFY(reading->outcome != TagReading::Outcome::Refused);
    QFile runs(log);
    QVERIFY(runs.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(runs.readAll()).split(u'\n', Qt::SkipEmptyParts), devices);
}

QTEST_GUILESS_MAIN(TestPrintTagReader)
#include "tst_printtagreader.moc"
