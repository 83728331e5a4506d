#include "ProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestProgramFolder : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void chosenInOrder_data()
    {
        QTest::addColumn<QString>("override");
        QTest::addColumn<QString>("executableFolder");
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<QString>("expected");
        // Paths relative to the test's temporary folder; "bin" exists.
        QTest::newRow("override wins") << u"portable"_s << u"bin"_s << u"config"_s << u"portable"_s;
        QTest::newRow("writable executable folder") << QString() << u"bin"_s << u"config"_s << u"bin"_s;
        QTest::newRow("missing executable folder")
            << QString() << u"gone"_s << u"config"_s << u"config/kestrel"_s;
        QTest::newRow("no executable folder") << QString() << QString() << u"config"_s << u"config/kestrel"_s;
        QTest::newRow("XDG_CONFIG_HOME unset")
            << QString() << QString() << QString() << u"home/.config/kestrel"_s;
    }
    void chosenInOrder()
    {
        QFETCH(QString, override);
        QFETCH(QString, executableFolder);
        QFETCH(QString, configHome);
        QFETCH(QString, expected);
        QVERIFY(QDir(m_dir->path()).mkdir(u"bin"_s));
        const auto inDir = [this](const QString& name) {
            return name.isEmpty() ? name : m_dir->filePath(name);
        };
        ProgramFolder::Sources sources{inDir(override), inDir(executableFolder), inDir(configHome),
                                       m_dir->filePath(u"home"_s)};
        const QString folder = ProgramFolder::resolve(sources);
        QCOMPARE(folder, m_dir->filePath(expected));
        QVERIFY(QFileInfo(folder).isDir());
    }

    void fallbackPrivateToTheUser()
    {
        const QString folder = ProgramFolder::resolve({{}, {}, m_dir->filePath(u"config"_s), {}});
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, 0700u);
    }

    void relativeConfigHomeIgnored()
    {
        const QString folder = ProgramFolder::resolve({{}, {}, u"relative"_s, m_dir->filePath(u"home"_s)});
        QCOMPARE(folder, m_dir->filePath(u"home/.config/kestrel"_s));
    }

    void environmentRead()
    {
        qputenv(ProgramFolder::Variable, m_dir->path().toLocal8Bit());
        QCOMPARE(ProgramFolder::resolve(), m_dir->path());
        qunsetenv(ProgramFolder::Variable);
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
