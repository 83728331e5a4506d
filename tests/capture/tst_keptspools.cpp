#include "KeptSpools.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using kestrel::KeptSpools;

// The note of spool files kept at shutdown, in a folder others may write to.
class tst_KeptSpools : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void eachOwnFileIsTakenOnce();
    void noteSomeoneElsePutThereIsLeftAlone_data();
    void noteSomeoneElsePutThereIsLeftAlone();

private:
    QString makeFile(const QString& name, const QByteArray& content = "%!PS\n")
    {
        QFile file(m_temp.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(content);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return file.fileName();
    }

    QTemporaryDir m_temp;
};

void tst_KeptSpools::eachOwnFileIsTakenOnce()
{
    KeptSpools note(m_temp.path());
    const QString first = makeFile(u"kestrel-1.ps"_s);
    const QString second = makeFile(u"kestrel 2\n.ps"_s);
    const QString link = m_temp.filePath(u"link.ps"_s);
    QVERIFY(QFile::link(first, link));
    QVERIFY(QDir().mkdir(m_temp.filePath(u"folder.ps"_s)));
    for (const QString& file :
         {first, m_temp.filePath(u"gone.ps"_s), link, m_temp.filePath(u"folder.ps"_s), second})
        QVERIFY(note.add(file));
    QCOMPARE(*note.take(), QStringList({first, second}));
    QVERIFY(!QFile::exists(note.notePath()));
    QCOMPARE(*note.take(), QStringList());
}

void tst_KeptSpools::noteSomeoneElsePutThereIsLeftAlone_data()
{
    QTest::addColumn<QString>("what");
    for (const char* what :
         {"symlink", "hardlink", "fifo", "readable by others", "another user's", "too large"})
        QTest::newRow(what) << QString::fromLatin1(what);
}

void tst_KeptSpools::noteSomeoneElsePutThereIsLeftAlone()
{
    // A file of the user's listing a spool file: never written, emptied or
    // announced through the note's name.
    QFETCH(QString, what);
    KeptSpools note(QDir(m_temp.path()).filePath(what));
    QVERIFY(QDir().mkdir(QDir(m_temp.path()).filePath(what)));
    const QString spool = makeFile(u"kestrel-1.ps"_s);
    const QByteArray content = QFile::encodeName(spool) + '\0';
    const QString victim = makeFile(what + u"/victim"_s, content);
    const QByteArray path = QFile::encodeName(note.notePath());
    if (what == u"symlink"_s)
        QVERIFY(::symlink(QFile::encodeName(victim).constData(), path.constData()) == 0);
    else if (what == u"hardlink"_s)
        QVERIFY(::link(QFile::encodeName(victim).constData(), path.constData()) == 0);
    else if (what == u"fifo"_s)
        QVERIFY(::mkfifo(path.constData(), 0600) == 0);
    else
        QVERIFY(QFile::copy(victim, note.notePath()));
    if (what == u"readable by others"_s)
        QVERIFY(::chmod(path.constData(), 0644) == 0);
    if (what == u"another user's"_s && (::geteuid() != 0 || ::chown(path.constData(), 65534, 65534) != 0))
        QSKIP("only root can give a file to another user");
    if (what == u"too large"_s)
        QVERIFY(::truncate(path.constData(), KeptSpools::MaxBytes + 1) == 0);

    QVERIFY(!note.add(spool));
    QVERIFY(!note.take());
    QFile check(victim);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), content);
}

QTEST_GUILESS_MAIN(tst_KeptSpools)
#include "tst_keptspools.moc"
