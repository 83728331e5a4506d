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
    void recordFolderIsTheUsersAlone_data();
    void recordFolderIsTheUsersAlone();

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

void tst_KeptSpools::recordFolderIsTheUsersAlone_data()
{
    // What is at the data folder's "kestrel" place; whether the session's
    // runtime folder is private; where the note goes ("" for nowhere).
    QTest::addColumn<QString>("place");
    QTest::addColumn<bool>("runtimePrivate");
    QTest::addColumn<QString>("folder");
    QTest::newRow("nothing yet") << u"nothing"_s << true << u"data/kestrel"_s;
    QTest::newRow("own folder open to others") << u"open folder"_s << true << u"data/kestrel"_s;
    QTest::newRow("a link to a folder") << u"link"_s << true << u"runtime"_s;
    QTest::newRow("a file") << u"file"_s << true << u"runtime"_s;
    QTest::newRow("a file, runtime folder open to others") << u"file"_s << false << QString();
}

void tst_KeptSpools::recordFolderIsTheUsersAlone()
{
    QFETCH(QString, place);
    QFETCH(bool, runtimePrivate);
    QFETCH(QString, folder);
    QTemporaryDir root;
    const QString data = root.filePath(u"data"_s);
    const QString runtime = root.filePath(u"runtime"_s);
    QVERIFY(QDir().mkpath(data));
    QVERIFY(::mkdir(QFile::encodeName(runtime).constData(), runtimePrivate ? 0700 : 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(runtime).constData(), runtimePrivate ? 0700 : 0755) == 0);
    const QByteArray kestrel = QFile::encodeName(data + u"/kestrel"_s);
    if (place == u"open folder"_s)
        QVERIFY(::mkdir(kestrel.constData(), 0777) == 0 && ::chmod(kestrel.constData(), 0777) == 0);
    else if (place == u"link"_s)
        QVERIFY(::symlink(QFile::encodeName(root.filePath(u"elsewhere"_s)).constData(),
                          kestrel.constData()) == 0 &&
                QDir().mkdir(root.filePath(u"elsewhere"_s)));
    else if (place == u"file"_s)
        QVERIFY(QFile(data + u"/kestrel"_s).open(QIODevice::WriteOnly));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));

    const kestrel::Expected<QString> record = KeptSpools::recordFolder();

    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_RUNTIME_DIR");
    if (folder.isEmpty()) {
        QVERIFY(!record);
        QVERIFY2(record.error().message.contains(data + u"/kestrel"_s), qPrintable(record.error().message));
        return;
    }
    QVERIFY2(record, qPrintable(record ? QString() : record.error().message));
    QCOMPARE(*record, root.filePath(folder));
    struct stat info = {};
    QVERIFY(::lstat(QFile::encodeName(*record).constData(), &info) == 0);
    QVERIFY(S_ISDIR(info.st_mode));
    QCOMPARE(info.st_mode & 0777, mode_t(0700));
}

QTEST_GUILESS_MAIN(tst_KeptSpools)
#include "tst_keptspools.moc"
