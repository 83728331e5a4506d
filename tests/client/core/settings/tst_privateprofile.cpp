#include "PrivateProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kestrel;
using namespace Qt::StringLiterals;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The permission bits as ls shows them in octal.
int mode(const QString& path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
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
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray main = "[MAIN]\nIP=10.0.0.1\n";
        QTest::newRow("no file") << QByteArray() << u"MAIN"_s << u"IP"_s << u"dflt"_s;
        QTest::newRow("found") << main << u"MAIN"_s << u"IP"_s << u"10.0.0.1"_s;
        QTest::newRow("section and key in any case")
            << QByteArray("[Main]\n ip = 10.0.0.1 \n") << u"MAIN"_s << u"Ip"_s << u"10.0.0.1"_s;
        QTest::newRow("missing key") << main << u"MAIN"_s << u"MAIL"_s << u"dflt"_s;
        QTest::newRow("missing section") << main << u"OTHER"_s << u"IP"_s << u"dflt"_s;
        QTest::newRow("key of another section")
            << QByteArray("[OTHER]\nIP=1\n[MAIN]\nUSER=u\n") << u"MAIN"_s << u"IP"_s << u"dflt"_s;
        QTest::newRow("repeated section")
            << QByteArray("[MAIN]\nUSER=u\n[X]\nIP=1\n[main]\nIP=2\n") << u"MAIN"_s << u"IP"_s << u"2"_s;
        QTest::newRow("first of two keys")
            << QByteArray("[MAIN]\nIP=1\nIP=2\n") << u"MAIN"_s << u"IP"_s << u"1"_s;
        QTest::newRow("comment is no key")
            << QByteArray("[MAIN]\n;IP=1\n") << u"MAIN"_s << u"IP"_s << u"dflt"_s;
        QTest::newRow("empty value is a value")
            << QByteArray("[MAIN]\nIP=\n") << u"MAIN"_s << u"IP"_s << QString();
        QTest::newRow("quotes removed")
            << QByteArray("[MAIN]\nPASS=\" a b \"\n") << u"MAIN"_s << u"PASS"_s << u" a b "_s;
        QTest::newRow("one quote kept")
            << QByteArray("[MAIN]\nPASS=\"ab\n") << u"MAIN"_s << u"PASS"_s << u"\"ab"_s;
        QTest::newRow("CRLF") << QByteArray("[MAIN]\r\nIP=1.2.3.4\r\n") << u"MAIN"_s << u"IP"_s
                              << u"1.2.3.4"_s;
        QTest::newRow("byte order mark")
            << QByteArray("\xEF\xBB\xBF[MAIN]\nIP=x\n") << u"MAIN"_s << u"IP"_s << u"x"_s;
        QTest::newRow("254 of 300") << "[MAIN]\nPASS=" + QByteArray(300, 'a') + '\n'
                                    << u"MAIN"_s << u"PASS"_s << QString(254, u'a');
        QTest::newRow("254 of 255") << "[MAIN]\nPASS=" + QByteArray(255, 'a') + '\n'
                                    << u"MAIN"_s << u"PASS"_s << QString(254, u'a');
        QTest::newRow("254 kept") << "[MAIN]\nPASS=" + QByteArray(254, 'a') << u"MAIN"_s << u"PASS"_s
                                  << QString(254, u'a');
        QTest::newRow("UTF-8") << QByteArray("[MAIN]\nCITY=Citt\xC3\xA0\n") << u"MAIN"_s << u"CITY"_s
                               << u"Città"_s;
        QTest::newRow("Windows-1252")
            << QByteArray("; Citt\xE0\r\n[MAIN]\r\nCITY=Citt\xE0 \x80 \x93ok\x94\r\n") << u"MAIN"_s
            << u"CITY"_s << u"Città € “ok”"_s;
    }
    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        if (!file.isNull())
            writeBytes(m_path, file);
        QCOMPARE(PrivateProfile(m_path).readString(section, key, u"dflt"_s), expected);
    }

    void writeKeepsTheRest_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        const QByteArray lf = "; workstation 3\n\n[OTHER]\nIP=9\n\n[MAIN]\nIP=1\nUSER=u\n\n[LAST]\nk = v\n";
        QTest::newRow("replace, LF")
            << lf << u"ip"_s << u"2"_s
            << QByteArray("; workstation 3\n\n[OTHER]\nIP=9\n\n[MAIN]\nIP=2\nUSER=u\n\n[LAST]\nk = v\n");
        QTest::newRow("add to section, LF")
            << lf << u"MAIL"_s << u"a@b"_s
            << QByteArray(
                   "; workstation 3\n\n[OTHER]\nIP=9\n\n[MAIN]\nIP=1\nUSER=u\nMAIL=a@b\n\n[LAST]\nk = v\n");
        QByteArray crlf = lf;
        crlf.replace("\n", "\r\n");
        QTest::newRow("replace, CRLF")
            << crlf << u"USER"_s << u"x"_s
            << QByteArray(
                   "; workstation 3\r\n\r\n[OTHER]\r\nIP=9\r\n\r\n[MAIN]\r\nIP=1\r\nUSER=x\r\n\r\n[LAST]\r\n"
                   "k = v\r\n");
        QTest::newRow("add to section, CRLF")
            << crlf << u"MAIL"_s << u"a@b"_s
            << QByteArray(
                   "; workstation 3\r\n\r\n[OTHER]\r\nIP=9\r\n\r\n[MAIN]\r\nIP=1\r\nUSER=u\r\nMAIL=a@b\r\n"
                   "\r\n[LAST]\r\nk = v\r\n");
        QTest::newRow("section appended, CRLF") << QByteArray("[A]\r\nk=v\r\n") << u"IP"_s << u"2"_s
                                                << QByteArray("[A]\r\nk=v\r\n[MAIN]\r\nIP=2\r\n");
        QTest::newRow("section appended after unended line")
            << QByteArray("[A]\nk=v") << u"IP"_s << u"2"_s << QByteArray("[A]\nk=v\n[MAIN]\nIP=2\n");
        QTest::newRow("empty file") << QByteArray("") << u"IP"_s << u"2"_s << QByteArray("[MAIN]\nIP=2\n");
        QTest::newRow("unended key line stays unended")
            << QByteArray("[MAIN]\nIP=1") << u"IP"_s << u"2"_s << QByteArray("[MAIN]\nIP=2");
        QTest::newRow("key after unended header")
            << QByteArray("[MAIN]") << u"IP"_s << u"2"_s << QByteArray("[MAIN]\nIP=2\n");
        QTest::newRow("blanks kept by quotes") << QByteArray("[MAIN]\nPASS=x\n") << u"PASS"_s << u" pw "_s
                                               << QByteArray("[MAIN]\nPASS=\" pw \"\n");
        QTest::newRow("empty value") << QByteArray("[MAIN]\nIP=1\n") << u"IP"_s << QString()
                                     << QByteArray("[MAIN]\nIP=\n");
        QTest::newRow("byte order mark kept") << QByteArray("\xEF\xBB\xBF[MAIN]\nIP=1\n") << u"IP"_s << u"2"_s
                                              << QByteArray("\xEF\xBB\xBF[MAIN]\nIP=2\n");
        const QByteArray ansi = "; Citt\xE0\r\n[MAIN]\r\nCITY=x\r\n";
        QTest::newRow("Windows-1252 stays Windows-1252")
            << ansi << u"CITY"_s << u"Città €"_s
            << QByteArray("; Citt\xE0\r\n[MAIN]\r\nCITY=Citt\xE0 \x80\r\n");
        QTest::newRow("Windows-1252 becomes UTF-8 when it cannot hold the value")
            << ansi << u"CITY"_s << u"Ωmega"_s << u"; Città\r\n[MAIN]\r\nCITY=Ωmega\r\n"_s.toUtf8();
        QTest::newRow("UTF-8 stays UTF-8")
            << QByteArray("; Citt\xC3\xA0\n[MAIN]\n") << u"CITY"_s << u"Città"_s
            << QByteArray("; Citt\xC3\xA0\n[MAIN]\nCITY=Citt\xC3\xA0\n");
    }
    void writeKeepsTheRest()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        writeBytes(m_path, before);
        PrivateProfile profile(m_path);
        QVERIFY(profile.writeString(u"MAIN"_s, key, value));
        QCOMPARE(readBytes(m_path), after);
        QCOMPARE(profile.readString(u"MAIN"_s, key, u"dflt"_s), value);
    }

    // Whatever the user types is what a later read gives back.
    void valuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        for (const QString& value : {u" leading"_s, u"trailing "_s, u"\"quoted\""_s, u"'single'"_s, u"\"\""_s,
                                     u"a=b;c[d]"_s, u"\"half"_s, u"€ Città 日本"_s})
            QTest::newRow(qPrintable(value)) << value;
    }
    void valuesRoundTrip()
    {
        QFETCH(QString, value);
        PrivateProfile profile(m_path);
        QVERIFY(profile.writeString(u"MAIN"_s, u"PASS"_s, value));
        QVERIFY(profile.writeString(u"MAIN"_s, u"USER"_s, u"after"_s));
        QCOMPARE(profile.readString(u"MAIN"_s, u"PASS"_s, u"dflt"_s), value);
    }

    void unsafeWritesRefused_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("value with LF") << u"MAIN"_s << u"PASS"_s << u"x\nIP=evil"_s;
        QTest::newRow("value with CR") << u"MAIN"_s << u"PASS"_s << u"x\rIP=evil"_s;
        QTest::newRow("key with =") << u"MAIN"_s << u"IP=x"_s << u"1"_s;
        QTest::newRow("empty key") << u"MAIN"_s << QString() << u"1"_s;
        QTest::newRow("section with ]") << u"MA]IN"_s << u"IP"_s << u"1"_s;
    }
    void unsafeWritesRefused()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before = "[MAIN]\nPASS=old\n";
        writeBytes(m_path, before);
        QVERIFY(!PrivateProfile(m_path).writeString(section, key, value));
        QCOMPARE(readBytes(m_path), before);
    }

    void createdOwnerOnly()
    {
        QVERIFY(PrivateProfile(m_path).writeString(u"MAIN"_s, u"PASS"_s, u"secret"_s));
        QCOMPARE(mode(m_path), 0600);
    }

    void saveMakesAnOpenFileOwnerOnly()
    {
        writeBytes(m_path, "[MAIN]\nPASS=old\n");
        QFile::setPermissions(m_path, OwnerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        QVERIFY(PrivateProfile(m_path).writeString(u"MAIN"_s, u"PASS"_s, u"new"_s));
        QCOMPARE(mode(m_path), 0600);
        QCOMPARE(readBytes(m_path), QByteArray("[MAIN]\nPASS=new\n"));
        // Nothing left beside it.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"KZV.INI"_s});
    }

    void failedWriteReported()
    {
        PrivateProfile profile(m_dir->filePath(u"missing/KZV.INI"_s));
        const Status written = profile.writeString(u"MAIN"_s, u"IP"_s, u"1"_s);
        QVERIFY(!written);
        QVERIFY(!written.error().message.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
