#include "SpoolWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using kestrel::SpoolName;
using kestrel::SpoolWriter;

class tst_SpoolWriter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void streamsEveryByteThenCrLf();
    void vanishedFolderFailsAtCommit();
    void uncommittedJobLeavesNothing();
    void takenNamesAreSkippedAndNeverFollowed_data();
    void takenNamesAreSkippedAndNeverFollowed();

private:
    SpoolName::Plan plan() const;
    QStringList entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }
    static QByteArray read(const QString& path);
    static std::unique_ptr<SpoolWriter> newWriter(const QString& folder);

    QTemporaryDir m_dir;
};

void tst_SpoolWriter::init()
{
    // Links, dangling ones too, and folders left by the previous row.
    const QDir dir(m_dir.path());
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        QFile::remove(dir.filePath(name)) || QDir(dir.filePath(name)).removeRecursively();
}

SpoolName::Plan tst_SpoolWriter::plan() const
{
    return SpoolName::Plan(m_dir.path(), u"kestrel"_s, QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)), 0);
}

std::unique_ptr<SpoolWriter> tst_SpoolWriter::newWriter(const QString& folder)
{
    auto created = SpoolWriter::create(folder);
    if (!created) {
        qWarning("%s", qPrintable(created.error().message));
        return nullptr;
    }
    return std::move(*created);
}

QByteArray tst_SpoolWriter::read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void tst_SpoolWriter::streamsEveryByteThenCrLf()
{
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(static_cast<char>(i));
    auto writer = newWriter(m_dir.path());
    QVERIFY(writer);
    QVERIFY(writer->write("%!PS\n"));
    QVERIFY(writer->write(binary));
    QVERIFY(writer->write(QByteArray(100000, '\0')));
    QCOMPARE(writer->size(), 5 + 256 + 100000);
    // Nothing carries a spool name before the job is complete.
    QCOMPARE(entries().size(), 1);
    QVERIFY(entries().constFirst().startsWith(u'.'));

    const QString path = writer->commit(plan()).value();
    QCOMPARE(path, m_dir.filePath(u"kestrel-202401020304050.ps"_s));
    QCOMPARE(read(path), QByteArray("%!PS\n") + binary + QByteArray(100000, '\0') + "\r\n");
    QCOMPARE(QFile::permissions(path) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
    writer.reset(); // a committed file stays
    QCOMPARE(entries(), QStringList{u"kestrel-202401020304050.ps"_s});
}

void tst_SpoolWriter::vanishedFolderFailsAtCommit()
{
    QTemporaryDir gone;
    auto writer = newWriter(gone.path());
    QVERIFY(writer);
    QVERIFY(writer->write("job"));
    QVERIFY(gone.remove());
    const auto committed = writer->commit(plan());
    QVERIFY(!committed);
    QVERIFY(!committed.error().message.isEmpty());
}

void tst_SpoolWriter::uncommittedJobLeavesNothing()
{
    auto writer = newWriter(m_dir.path());
    QVERIFY(writer);
    QVERIFY(writer->write("partial"));
    writer.reset();
    QVERIFY(entries().isEmpty());
}

void tst_SpoolWriter::takenNamesAreSkippedAndNeverFollowed_data()
{
    QTest::addColumn<QString>("planted");
    QTest::newRow("dangling link") << u"dangling"_s;
    QTest::newRow("link to a file of someone else") << u"link"_s;
    QTest::newRow("file") << u"file"_s;
    QTest::newRow("folder") << u"folder"_s;
}

void tst_SpoolWriter::takenNamesAreSkippedAndNeverFollowed()
{
    QFETCH(QString, planted);
    // Someone else's folder, where a link at a predictable name would send
    // the document.
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(u"received.ps"_s);
    const QString first = m_dir.filePath(u"kestrel-202401020304050.ps"_s);
    if (planted == "dangling"_L1) {
        QVERIFY(QFile::link(target, first));
    } else if (planted == "link"_L1) {
        QFile theirs(target);
        QVERIFY(theirs.open(QIODevice::WriteOnly));
        theirs.write("theirs");
        theirs.close();
        QVERIFY(QFile::link(target, first));
    } else if (planted == "file"_L1) {
        QFile theirs(first);
        QVERIFY(theirs.open(QIODevice::WriteOnly));
        theirs.write("theirs");
    } else {
        QVERIFY(QDir(m_dir.path()).mkdir(u"kestrel-202401020304050.ps"_s));
    }

    auto writer = newWriter(m_dir.path());
    QVERIFY(writer);
    QVERIFY(writer->write("%!PS private"));
    const QString path = writer->commit(plan()).value();
    QCOMPARE(path, m_dir.filePath(u"kestrel-202401020304051.ps"_s));
    QCOMPARE(read(path), QByteArray("%!PS private\r\n"));
    // What was planted is as it was, and nothing reached the other folder.
    QCOMPARE(QFileInfo(first).isSymLink(), planted == "dangling"_L1 || planted == "link"_L1);
    if (planted == "dangling"_L1)
        QVERIFY(!QFileInfo::exists(target));
    if (planted == "link"_L1 || planted == "file"_L1)
        QCOMPARE(read(first), QByteArray("theirs"));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden).size(),
             planted == "link"_L1 ? 1 : 0);
}

QTEST_GUILESS_MAIN(tst_SpoolWriter)
#include "tst_spoolwriter.moc"
