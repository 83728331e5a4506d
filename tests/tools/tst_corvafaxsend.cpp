// The command-line host, run as a user runs it, against the simulator.

#include "SimulatorProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using kestrel::test::SimulatorProcess;

class TestCorvafaxSend : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void oneSessionForAllNumbers();
    void failuresExitNonZero_data();
    void failuresExitNonZero();
    void passwordKeptPrivate_data();
    void passwordKeptPrivate();
    void oneTimeLimitEverywhere();
    void waitsForOutcome_data();
    void waitsForOutcome();
    void usageErrors();

private:
    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    Run send(const QStringList& args, const QProcessEnvironment& env, const QByteArray& input = {});
    static QProcessEnvironment environmentFor(const SimulatorProcess& sim);

    QTemporaryDir m_dir;
    QString m_doc;
};

void TestCorvafaxSend::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_doc = m_dir.filePath(u"doc.ps"_s);
    QFile file(m_doc);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("%!PS-Adobe-3.0\n%%Pages: 1\n%%Page: 1 1\nshowpage\n%%EOF\n");
}

QProcessEnvironment TestCorvafaxSend::environmentFor(const SimulatorProcess& sim)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"KESTREL_HTTP_PORT"_s, QString::number(sim.httpPort()));
    env.insert(u"KESTREL_FAX_PORT"_s, QString::number(sim.faxPort()));
    return env;
}

TestCorvafaxSend::Run TestCorvafaxSend::send(const QStringList& args, const QProcessEnvironment& env,
                                             const QByteArray& input)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QString::fromUtf8(KESTREL_SEND_PATH), args);
    process.write(input);
    process.closeWriteChannel();
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

void TestCorvafaxSend::oneSessionForAllNumbers()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({u"--user"_s, u"ufficio"_s, u"--password"_s, u"pw"_s}));
    const Run run =
        send({u"--appliance"_s, u"127.0.0.1"_s, u"--user"_s, u"ufficio"_s, u"--password"_s, u"pw"_s,
              u"--notify"_s, u"a@b.it"_s, u"-d"_s, u"111"_s, u"-d"_s, u"222"_s, m_doc, m_doc},
             environmentFor(sim));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList jobs = run.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(jobs.size(), 2);
    QCOMPARE(QStringList(sim.jobIds()), jobs);
    // One login, each document uploaded once and named by both jobs.
    QCOMPARE(sim.sessionCount(), 1);
    QCOMPARE(sim.sessionBytes().count("STOR "), 2);
    for (const QString& job : jobs)
        QVERIFY(sim.waitForJob(job, 5000));
    const QStringList documents = sim.jobParameters(jobs.at(0)).value(u"document"_s);
    QCOMPARE(documents.size(), 2);
    QCOMPARE(sim.jobParameters(jobs.at(1)).value(u"document"_s), documents);
    QCOMPARE(sim.jobParameters(jobs.at(1)).value(u"dialstring"_s), QStringList{u"222"_s});
}

void TestCorvafaxSend::failuresExitNonZero_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("sendArgs");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << QStringList{u"--user"_s, u"ufficio"_s, u"--password"_s, u"pw"_s}
                                    << QStringList{u"--user"_s, u"ufficio"_s, u"--password"_s, u"no"_s}
                                    << u"Nome utente o password errati"_s;
    QTest::newRow("appliance offline") << QStringList{u"--http-fault"_s, u"no-closing-tag"_s} << QStringList()
                                       << u"Appliance KESTREL Offline"_s;
    QTest::newRow("job refused") << QStringList{u"--fault"_s, u"refuse-jsubm"_s} << QStringList()
                                 << u"ha rifiutato il fax"_s;
}

void TestCorvafaxSend::failuresExitNonZero()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, sendArgs);
    QFETCH(QString, reason);
    SimulatorProcess sim;
    QVERIFY(sim.start(simArgs));
    const Run run = send(QStringList{u"--appliance"_s, u"127.0.0.1"_s, u"--timeout"_s, u"5"_s} + sendArgs +
                             QStringList{u"-d"_s, u"111"_s, u"-d"_s, u"222"_s, m_doc},
                         environmentFor(sim));
    QVERIFY(run.exitCode > 0);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    QVERIFY2(run.err.contains(u"fax al numero 111 non inviato"_s), qPrintable(run.err));
    QVERIFY2(run.err.contains(u"fax al numero 222 non inviato"_s), qPrintable(run.err));
    QVERIFY(sim.jobIds().isEmpty());
}

void TestCorvafaxSend::passwordKeptPrivate_data()
{
    QTest::addColumn<QString>("source"); // "file 600", "file 644" or "stdin"
    QTest::addColumn<int>("exitCode");
    QTest::newRow("private file") << u"file 600"_s << 0;
    QTest::newRow("file others can read") << u"file 644"_s << 2;
    QTest::newRow("standard input") << u"stdin"_s << 0;
}

void TestCorvafaxSend::passwordKeptPrivate()
{
    QFETCH(QString, source);
    QFETCH(int, exitCode);
    const QByteArray secret = "Segreta-77";
    SimulatorProcess sim;
    QVERIFY(sim.start({u"--user"_s, u"ufficio"_s, u"--password"_s, QString::fromLatin1(secret)}));
    QStringList args{u"--appliance"_s, u"127.0.0.1"_s, u"--user"_s, u"ufficio"_s, u"--debug"_s};
    QByteArray input;
    if (source == u"stdin"_s) {
        args << u"--password-file"_s << u"-"_s;
        input = secret + "\n";
    } else {
        const QString path = m_dir.filePath(u"secret-"_s + source.right(3));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(secret + "\n");
        file.close();
        QVERIFY(file.setPermissions(source.endsWith(u"600"_s)
                                        ? QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                        : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther));
        args << u"--password-file"_s << path;
    }
    const Run run = send(args + QStringList{u"-d"_s, u"111"_s, m_doc}, environmentFor(sim), input);
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
    // Not even the debug log shows it.
    QVERIFY(!run.err.contains(QString::fromLatin1(secret)));
    if (exitCode == 0)
        QCOMPARE(sim.jobIds().size(), 1);
    else
        QVERIFY2(run.err.contains(u"chmod 600"_s), qPrintable(run.err));
}

void TestCorvafaxSend::oneTimeLimitEverywhere()
{
    // The limit reaches the appliance page that activation waits for.
    SimulatorProcess silent;
    QVERIFY(silent.start({u"--http-fault"_s, u"no-answer"_s}));
    QElapsedTimer clock;
    clock.start();
    Run run = send({u"--appliance"_s, u"127.0.0.1"_s, u"--timeout"_s, u"2"_s, u"-d"_s, u"1"_s, m_doc},
                   environmentFor(silent));
    QVERIFY(run.exitCode > 0);
    QVERIFY2(run.err.contains(u"Appliance KESTREL Offline"_s), qPrintable(run.err));
    QVERIFY(clock.elapsed() < 15000);

    // A limit too large for the timers means the longest wait, not none.
    SimulatorProcess sim;
    QVERIFY(sim.start());
    run = send({u"--appliance"_s, u"127.0.0.1"_s, u"--timeout"_s, u"2147484"_s, u"-d"_s, u"1"_s, m_doc},
               environmentFor(sim));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(sim.jobIds().size(), 1);
}

void TestCorvafaxSend::waitsForOutcome_data()
{
    QTest::addColumn<QString>("doneAfter");
    QTest::addColumn<QStringList>("waitArgs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said"); // "%1": the job
    QTest::newRow("sent") << u"0.5"_s << QStringList{u"--wait"_s} << 0 << u"%1\n%1 inviato\n"_s;
    QTest::newRow("still queued at the limit")
        << u"60"_s << QStringList{u"--wait"_s, u"--wait-limit"_s, u"2"_s} << 3 << u"%1\n"_s;
}

void TestCorvafaxSend::waitsForOutcome()
{
    QFETCH(QString, doneAfter);
    QFETCH(QStringList, waitArgs);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    SimulatorProcess sim;
    QVERIFY(sim.start({u"--done-after"_s, doneAfter}));
    const Run run = send(QStringList{u"--appliance"_s, u"127.0.0.1"_s, u"-d"_s, u"111"_s, m_doc} + waitArgs,
                         environmentFor(sim));
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
    QCOMPARE(run.out, said.arg(sim.jobIds().value(0)));
    if (exitCode != 0)
        QVERIFY2(run.err.contains(u"esito non ancora noto: "_s + sim.jobIds().value(0)), qPrintable(run.err));
}

void TestCorvafaxSend::usageErrors()
{
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QCOMPARE(send({u"-d"_s, u"1"_s, m_doc}, env).exitCode, 2);
    QCOMPARE(send({u"--appliance"_s, u"h"_s, m_doc}, env).exitCode, 2);
    QCOMPARE(send({u"--appliance"_s, u"h"_s, u"-d"_s, u"1"_s, m_dir.filePath(u"none.ps"_s)}, env).exitCode,
             2);
    QCOMPARE(send({u"--appliance"_s, u"h"_s, u"-d"_s, u"1:2"_s, m_doc}, env).exitCode, 2);
    QCOMPARE(
        send({u"--appliance"_s, u"h"_s, u"--wait-limit"_s, u"5"_s, u"-d"_s, u"1"_s, m_doc}, env).exitCode, 2);
    // Dial attempts the fax server would take as 65535 or none at all.
    for (const QString& dials : {u"0"_s, u"-1"_s, u"100"_s, u"tre"_s}) {
        const Run run =
            send({u"--appliance"_s, u"127.0.0.1"_s, u"--maxdials"_s, dials, u"-d"_s, u"1"_s, m_doc}, env);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(u"--maxdials must be a number from 1 to 99"_s), qPrintable(run.err));
    }
}

QTEST_GUILESS_MAIN(TestCorvafaxSend)
#include "tst_corvafaxsend.moc"
