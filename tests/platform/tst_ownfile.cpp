// The user's own regular file, opened without following a link: what each
// kind of file found at the name gives.
#include "OwnFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrel;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(OwnFile::Mode)

class TestOwnFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void open_data()
    {
        using Mode = OwnFile::Mode;
        QTest::addColumn<QString>("found"); // what is at the name
        QTest::addColumn<int>("foundMode");
        QTest::addColumn<int>("flags");
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<bool>("singleLink");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<int>("number"); // 0: opened
        QTest::addColumn<int>("modeAfter");
        const int rw = O_RDWR;
        QTest::newRow("own file") << u"file"_s << 0644 << rw << Mode::AsFound << false << qint64(-1) << 0
                                  << 0644;
        QTest::newRow("missing") << u"none"_s << 0 << rw << Mode::AsFound << false << qint64(-1) << ENOENT
                                 << -1;
        QTest::newRow("missing, made")
            << u"none"_s << 0 << (rw | O_CREAT) << Mode::AsFound << false << qint64(-1) << 0 << 0600;
        QTest::newRow("link to an own file")
            << u"symlink"_s << 0600 << rw << Mode::AsFound << false << qint64(-1) << ELOOP << -1;
        QTest::newRow("FIFO") << u"fifo"_s << 0600 << O_RDONLY << Mode::AsFound << false << qint64(-1)
                              << int(OwnFile::NotRegular) << -1;
        QTest::newRow("folder") << u"folder"_s << 0700 << O_RDONLY << Mode::AsFound << false << qint64(-1)
                                << int(OwnFile::NotRegular) << -1;
        QTest::newRow("another user's") << u"foreign"_s << 0600 << O_RDONLY << Mode::AsFound << false
                                        << qint64(-1) << int(OwnFile::OtherOwner) << -1;
        QTest::newRow("second name, one wanted") << u"hardlink"_s << 0600 << rw << Mode::AsFound << true
                                                 << qint64(-1) << int(OwnFile::OtherNames) << -1;
        QTest::newRow("second name, allowed")
            << u"hardlink"_s << 0600 << rw << Mode::AsFound << false << qint64(-1) << 0 << 0600;
        QTest::newRow("over the bound")
            << u"file"_s << 0600 << rw << Mode::AsFound << false << qint64(3) << int(OwnFile::TooLarge) << -1;
        QTest::newRow("at the bound")
            << u"file"_s << 0600 << rw << Mode::AsFound << false << qint64(4) << 0 << 0600;
        QTest::newRow("shared, refused") << u"file"_s << 0640 << rw << Mode::RefuseShared << false
                                         << qint64(-1) << int(OwnFile::Shared) << 0640;
        QTest::newRow("owner's alone, taken")
            << u"file"_s << 0700 << rw << Mode::RefuseShared << false << qint64(-1) << 0 << 0700;
        QTest::newRow("shared, made unshared")
            << u"file"_s << 0664 << rw << Mode::MakeUnshared << false << qint64(-1) << 0 << 0600;
        QTest::newRow("owner's alone, kept")
            << u"file"_s << 0400 << O_RDONLY << Mode::MakeUnshared << false << qint64(-1) << 0 << 0400;
        QTest::newRow("owner's alone, made 0600")
            << u"file"_s << 0400 << O_RDONLY << Mode::MakeOwnerOnly << false << qint64(-1) << 0 << 0600;
    }
    void open()
    {
        QFETCH(QString, found);
        QFETCH(int, foundMode);
        QFETCH(int, flags);
        QFETCH(OwnFile::Mode, mode);
        QFETCH(bool, singleLink);
        QFETCH(qint64, maxBytes);
        QFETCH(int, number);
        QFETCH(int, modeAfter);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"note"_s);
        const QByteArray name = QFile::encodeName(path);
        const QString target = dir.filePath(u"target"_s);
        if (found == u"file"_s || found == u"foreign"_s || found == u"hardlink"_s) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("four") == 4);
        } else if (found == u"symlink"_s) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(QFile::link(target, path));
        } else if (found == u"fifo"_s) {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (found == u"folder"_s) {
            QCOMPARE(::mkdir(name.constData(), 0700), 0);
        }
        if (found == u"hardlink"_s)
            QCOMPARE(::link(name.constData(), QFile::encodeName(target).constData()), 0);
        if (found == u"foreign"_s) {
            if (::geteuid() != 0)
                QSKIP("giving a file to another user needs root");
            QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
        }
        if (found != u"none"_s && found != u"symlink"_s)
            QCOMPARE(::chmod(name.constData(), mode_t(foundMode)), 0);

        const Expected<OwnFile> opened = OwnFile::open(path, {flags, mode, singleLink, maxBytes});

        QCOMPARE(opened ? 0 : opened.error().number, number);
        if (opened) {
            QVERIFY(opened->descriptor() >= 0);
            QVERIFY(S_ISREG(opened->info().st_mode));
            QCOMPARE(int(opened->info().st_mode & 07777), modeAfter);
        } else {
            QVERIFY(opened.error().message.startsWith(path + u": "_s));
        }
        struct stat info = {};
        if (modeAfter >= 0 && ::stat(name.constData(), &info) == 0)
            QCOMPARE(int(info.st_mode & 07777), modeAfter);
    }
};

QTEST_GUILESS_MAIN(TestOwnFile)
#include "tst_ownfile.moc"
