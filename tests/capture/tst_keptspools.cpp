#include "KeptSpools.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using kestrel::KeptSpools;

// The note of spool files kept at shutdown, in a folder that others may
// write to.
class tst_KeptSpools : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void eachFileIsTakenOnce();
    void whatIsNoLongerTheUsersFileIsSkipped();
    void noteSomeoneElsePutThereIsLeftAlone_data();
    void noteSomeoneElsePutThereIsLeftAlone();

private:
    QString makeFile(const QString& name, const QByteArray& content = "%!PS\n");

    std::unique_ptr<QTemporaryDir> m_temp;
};

void tst_KeptSpools::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
}

QString tst_KeptSpools::makeFile(const QString& name, const QByteArray& content)
{
    QFile file(m_temp->filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return file.fileName();
}

void tst_KeptSpools::eachFileIsTakenOnce()
{
    KeptSpools note(m_temp->path());
    const QString first = makeFile(u"kestrel-1.ps"_s);
    const QString second = makeFile(u"kestrel 2\n.ps"_s);
    QVERIFY(note.add(first));
    QVERIFY(note.add(second));
    QCOMPARE(QFileInfo(note.notePath()).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    QCOMPARE(*note.take(), QStringList({first, second}));
    QVERIFY(!QFile::exists(note.notePath()));
    QCOMPARE(*note.take(), QStringList());
}

void tst_KeptSpools::whatIsNoLongerTheUsersFileIsSkipped()
{
    KeptSpools note(m_temp->path());
    const QString kept = makeFile(u"kept.ps"_s);
    const QString link = m_temp->filePath(u"link.ps"_s);
    QVERIFY(QFile::link(kept, link));
    QVERIFY(QDir().mkdir(m_temp->filePath(u"folder.ps"_s)));
    for (const QString& file : {m_temp->filePath(u"gone.ps"_s), link, m_temp->filePath(u"folder.ps"_s), kept})
        QVERIFY(note.add(file));
    QCOMPARE(*note.take(), QStringList{kept});
}

void tst_KeptSpools::noteSomeoneElsePutThereIsLeftAlone_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("link to a file of the user's") << u"symlink"_s;
    QTest::newRow("second name of a file of the user's") << u"hardlink"_s;
    QTest::newRow("FIFO") << u"fifo"_s;
    QTest::newRow("readable by others") << u"public"_s;
    QTest::newRow("another user's") << u"foreign"_s;
    QTest::newRow("too large") << u"large"_s;
}

void tst_KeptSpools::noteSomeoneElsePutThereIsLeftAlone()
{
    QFETCH(QString, what);
    KeptSpools note(m_temp->path());
    const QString spool = makeFile(u"kestrel-1.ps"_s);
    // A file of the user's, listing a spool file, that the note must not
    // write to, empty or announce.
    const QByteArray victimContent = QFile::encodeName(spool) + '\0';
    const QString victim = makeFile(u"victim"_s, victimContent);
    QVERIFY(QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner));
    const QByteArray notePath = QFile::encodeName(note.notePath());
    if (what == u"symlink"_s) {
        QVERIFY(::symlink(QFile::encodeName(victim).constData(), notePath.constData()) == 0);
    } else if (what == u"hardlink"_s) {
        QVERIFY(::link(QFile::encodeName(victim).constData(), notePath.constData()) == 0);
    } else if (what == u"fifo"_s) {
        QVERIFY(::mkfifo(notePath.constData(), 0600) == 0);
    } else {
        QVERIFY(QFile::copy(victim, note.notePath()));
        if (what == u"public"_s) {
            QVERIFY(::chmod(notePath.constData(), 0644) == 0);
        } else if (what == u"foreign"_s) {
            if (::geteuid() != 0)
                QSKIP("only root can give a file to another user");
            QVERIFY(::chown(notePath.constData(), 65534, 65534) == 0);
        } else {
            QVERIFY(::truncate(notePath.constData(), KeptSpools::MaxBytes + 1) == 0);
        }
    }

    QVERIFY(!note.add(spool));
    QVERIFY(!note.take());
    QVERIFY(QFileInfo::exists(note.notePath()) || QFileInfo(note.notePath()).isSymLink());
    QFile check(victim);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), victimContent);
}

QTEST_GUILESS_MAIN(tst_KeptSpools)
#include "tst_keptspools.moc"
