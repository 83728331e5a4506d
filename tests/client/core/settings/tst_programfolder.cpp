#include "ProgramFolder.h"

#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestProgramFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chosenInOrder_data()
    {
        QTest::addColumn<QString>("override");
        QTest::addColumn<QString>("executableFolder");
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<QString>("expected");
        // In a fresh temporary folder where only "bin" exists.
        QTest::newRow("override wins") << u"portable"_s << u"bin"_s << u"config"_s << u"portable"_s;
        QTest::newRow("writable executable folder") << QString() << u"bin"_s << u"config"_s << u"bin"_s;
        QTest::newRow("missing executable folder")
            << QString() << u"gone"_s << u"config"_s << u"config/kestrel"_s;
        QTest::newRow("XDG_CONFIG_HOME unset")
            << QString() << QString() << QString() << u"home/.config/kestrel"_s;
        QTest::newRow("XDG_CONFIG_HOME relative")
            << QString() << QString() << u"!rel"_s << u"home/.config/kestrel"_s;
    }
    void chosenInOrder()
    {
        QFETCH(QString, override);
        QFETCH(QString, executableFolder);
        QFETCH(QString, configHome);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"bin"_s));
        const auto in = [&](const QString& name) {
            return name.isEmpty() || name.startsWith(u'!') ? name.mid(1) : dir.filePath(name);
        };
        const QString folder = ProgramFolder::resolve(
            {in(override), in(executableFolder), in(configHome), dir.filePath(u"home"_s)});
        QCOMPARE(folder, dir.filePath(expected));
        // Created when missing, private where it is the fallback.
        QCOMPARE(testfiles::mode(folder),
                 expected == u"bin"_s ? testfiles::mode(dir.filePath(u"bin"_s)) : 0700);
    }

    void environmentRead()
    {
        QTemporaryDir dir;
        qputenv(ProgramFolder::Variable, dir.path().toLocal8Bit());
        QCOMPARE(ProgramFolder::resolve(), dir.path());
        qunsetenv(ProgramFolder::Variable);
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
