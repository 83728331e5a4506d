#include "PrivateProfile.h"

#include "FifoUnblocker.h"
#include "TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrel;
using namespace Qt::StringLiterals;
namespace files = kestrel::testfiles;

namespace {

constexpr uid_t Nobody = 65534;

// Runs check as an ordinary user: as root (who may write into any folder)
// in a child process that becomes "nobody"; its answer is the exit status.
bool unprivileged(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(::setgid(Nobody) == 0 && ::setuid(Nobody) == 0 && check() ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

class TestPrivateProfile : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(u"KZV.INI"_s);
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no file
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no file") << QByteArray() << u"IP"_s << u"dflt"_s;
        QTest::newRow("any case, blanks trimmed")
            << QByteArray("[Main]\n ip = 10.0.0.1 \n") << u"Ip"_s << u"10.0.0.1"_s;
        QTest::newRow("repeated section") << QByteArray("[MAIN]\n[X]\n[main]\nIP=2\n") << u"IP"_s << u"2"_s;
        QTest::newRow("comment") << QByteArray("[MAIN]\n;IP=1\n") << u"IP"_s << u"dflt"_s;
        QTest::newRow("CRLF, byte order mark")
            << QByteArray("\xEF\xBB\xBF[MAIN]\r\nX=0\r\nIP=1\r\n") << u"IP"_s << u"1"_s;
        QTest::newRow("255 cut to 254")
            << "[MAIN]\nIP=" + QByteArray(255, 'a') << u"IP"_s << QString(254, u'a');
        QTest::newRow("Windows-1252") << QByteArray("; Citt\xE0\r\n[MAIN]\r\nIP=Citt\xE0 \x80 \x93ok\x94\r\n")
                                      << u"IP"_s << u"Città € “ok”"_s;
        QTest::newRow("Windows-1252, last byte accented")
            << QByteArray("[MAIN]\r\nIP=Citt\xE0") << u"IP"_s << u"Città"_s;
    }
    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QVERIFY(file.isNull() || files::write(m_path, file));
        QCOMPARE(PrivateProfile(m_path).readString(u"MAIN"_s, key, u"dflt"_s), expected);
    }

    // One key changes; every other byte stays, line breaks included.
    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const QByteArray lf = "; workstation 3\n\n[OTHER]\nIP=9\n\n[MAIN]\nIP=1\n\n[LAST]\nk = v\n";
        const auto crlf = [](QByteArray bytes) {
            return bytes.replace("\n", "\r\n");
        };
        QTest::newRow("replace, LF")
            << lf << u"ip"_s << u"2"_s
            << QByteArray("; workstation 3\n\n[OTHER]\nIP=9\n\n[MAIN]\nIP=2\n\n[LAST]\nk = v\n");
        QTest::newRow("add to section, CRLF")
            << crlf(lf) << u"MAIL"_s << u"a@b"_s
            << crlf("; workstation 3\n\n[OTHER]\nIP=9\n\n[MAIN]\nIP=1\nMAIL=a@b\n\n[LAST]\nk = v\n");
        QTest::newRow("section appended, CRLF")
            << crlf("[A]\nk=v\n") << u"IP"_s << u"2"_s << crlf("[A]\nk=v\n[MAIN]\nIP=2\n");
        QTest::newRow("after an unended line")
            << QByteArray("[A]\nk=v") << u"IP"_s << u"2"_s << QByteArray("[A]\nk=v\n[MAIN]\nIP=2\n");
        QTest::newRow("unended line stays so")
            << QByteArray("[MAIN]\nIP=1") << u"IP"_s << u"2"_s << QByteArray("[MAIN]\nIP=2");
        QTest::newRow("blanks kept by quotes")
            << QByteArray() << u"PASS"_s << u" pw "_s << QByteArray("[MAIN]\nPASS=\" pw \"\n");
        QTest::newRow("quotes kept by quotes")
            << QByteArray() << u"PASS"_s << u"'pw'"_s << QByteArray("[MAIN]\nPASS=\"'pw'\"\n");
        const QByteArray ansi = "; Citt\xE0\r\n[MAIN]\r\nIP=x\r\n";
        QTest::newRow("Windows-1252 stays so")
            << ansi << u"IP"_s << u"Città €"_s << QByteArray("; Citt\xE0\r\n[MAIN]\r\nIP=Citt\xE0 \x80\r\n");
        QTest::newRow("Windows-1252 turned UTF-8")
            << ansi << u"IP"_s << u"Ωmega"_s << u"; Città\r\n[MAIN]\r\nIP=Ωmega\r\n"_s.toUtf8();
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QVERIFY(before.isNull() || files::write(m_path, before));
        PrivateProfile profile(m_path);
        QVERIFY(profile.writeString(u"MAIN"_s, key, value));
        QCOMPARE(files::read(m_path), after);
        QCOMPARE(profile.readString(u"MAIN"_s, key, u"dflt"_s), value);
    }

    // A line break would add a key of the user's choosing to the file.
    void lineBreakRefused()
    {
        QVERIFY(files::write(m_path, "[MAIN]\nPASS=old\n"));
        QVERIFY(!PrivateProfile(m_path).writeString(u"MAIN"_s, u"PASS"_s, u"x\r\nIP=evil"_s));
        QCOMPARE(files::read(m_path), QByteArray("[MAIN]\nPASS=old\n"));
    }

    void ownerOnly()
    {
        QVERIFY(PrivateProfile(m_path).writeString(u"MAIN"_s, u"PASS"_s, u"secret"_s));
        QCOMPARE(files::mode(m_path), 0600);
        QVERIFY(QFile::setPermissions(m_path, QFile::permissions(m_path) | QFileDevice::ReadOther));
        QVERIFY(PrivateProfile(m_path).writeString(u"MAIN"_s, u"PASS"_s, u"new"_s));
        QCOMPARE(files::mode(m_path), 0600);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"KZV.INI"_s});
    }

    // What is no regular file of at most 1 MiB reads as the defaults, at
    // once, and is never written over.
    void refusedFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << u"fifo"_s;
        QTest::newRow("symlink to a FIFO") << u"link to fifo"_s;
        QTest::newRow("symlink to a device") << u"link to device"_s;
        QTest::newRow("over 1 MiB") << u"large"_s;
    }
    void refusedFiles()
    {
        QFETCH(QString, kind);
        const QString fifo = m_dir->filePath(u"fifo"_s);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QByteArray large =
            "[MAIN]\nIP=10.0.0.1\n;" + QByteArray(PrivateProfile::MaxFileSize, 'x') + '\n';
        if (kind == u"fifo"_s)
            QVERIFY(QFile::rename(fifo, m_path));
        else if (kind == u"link to fifo"_s)
            QVERIFY(QFile::link(fifo, m_path));
        else if (kind == u"link to device"_s)
            QVERIFY(QFile::link(u"/dev/null"_s, m_path));
        else
            QVERIFY(files::write(m_path, large));
        const QFileInfo before(m_path);
        test::FifoUnblocker unblocker(kind == u"fifo"_s ? m_path : fifo);
        QElapsedTimer timer;
        timer.start();
        PrivateProfile profile(m_path);
        QCOMPARE(profile.readString(u"MAIN"_s, u"IP"_s, u"dflt"_s), u"dflt"_s);
        QVERIFY(!profile.readable());
        QVERIFY(!profile.writeString(u"MAIN"_s, u"IP"_s, u"10.0.0.2"_s));
        QVERIFY2(timer.elapsed() < 1500, "waited on a file that is no regular file");
        const QFileInfo after(m_path);
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(after.isFile(), before.isFile());
        if (kind == u"large"_s)
            QCOMPARE(files::read(m_path), large);
    }

    // A file the user may write in a folder that takes no new file.
    void writtenInPlaceInReadOnlyFolder()
    {
        const QString folder = m_dir->filePath(u"program"_s);
        const QString path = folder + u"/KZV.INI"_s;
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(files::write(path, "[MAIN]\nIP=1\nPASS=old and longer\n"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        if (::geteuid() == 0) {
            for (const QString& owned : {m_dir->path(), folder, path})
                QVERIFY(::chown(QFile::encodeName(owned).constData(), Nobody, Nobody) == 0);
        }
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0500) == 0);
        QVERIFY(unprivileged(
            [&] { return bool(PrivateProfile(path).writeString(u"MAIN"_s, u"PASS"_s, u"new"_s)); }));
        QCOMPARE(files::read(path), QByteArray("[MAIN]\nIP=1\nPASS=new\n"));
        QCOMPARE(files::mode(path), 0600);
    }
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
