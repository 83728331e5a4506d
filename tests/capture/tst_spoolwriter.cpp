#include "SpoolWriter.h"

#include <QDir>
#include <QFile>
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

private:
    SpoolName::Plan plan() const;
    QStringList entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }
    static QByteArray read(const QString& path);

    QTemporaryDir m_dir;
};

void tst_SpoolWriter::init()
{
    for (const QString& name : entries())
        QFile::remove(m_dir.filePath(name));
}

SpoolName::Plan tst_SpoolWriter::plan() const
{
    return SpoolName::Plan(m_dir.path(), u"kestrel"_s, QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)), 0);
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
    QString error;
    auto writer = SpoolWriter::create(m_dir.path(), &error);
    QVERIFY2(writer, qPrintable(error));
    QVERIFY(writer->write("%!PS\n"));
    QVERIFY(writer->write(binary));
    QVERIFY(writer->write(QByteArray(100000, '\0')));
    QCOMPARE(writer->size(), 5 + 256 + 100000);
    // Nothing carries a spool name before the job is complete.
    QCOMPARE(entries().size(), 1);
    QVERIFY(entries().constFirst().startsWith(u'.'));

    const QString path = writer->commit(plan());
    QCOMPARE(path, m_dir.filePath(u"kestrel-202401020304050.ps"_s));
    QCOMPARE(read(path), QByteArray("%!PS\n") + binary + QByteArray(100000, '\0') + "\r\n");
    QCOMPARE(QFile::permissions(path) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
    writer.reset(); // a committed file stays
    QCOMPARE(entries(), QStringList{u"kestrel-202401020304050.ps"_s});
}

void tst_SpoolWriter::vanishedFolderFailsAtCommit()
{
    QTemporaryDir gone;
    auto writer = SpoolWriter::create(gone.path(), nullptr);
    QVERIFY(writer);
    writer->write("job");
    QVERIFY(gone.remove());
    QVERIFY(writer->commit(plan()).isEmpty());
    QVERIFY(!writer->errorString().isEmpty());
}

void tst_SpoolWriter::uncommittedJobLeavesNothing()
{
    auto writer = SpoolWriter::create(m_dir.path(), nullptr);
    QVERIFY(writer);
    writer->write("partial");
    writer.reset();
    QVERIFY(entries().isEmpty());
}

QTEST_GUILESS_MAIN(tst_SpoolWriter)
#include "tst_spoolwriter.moc"
