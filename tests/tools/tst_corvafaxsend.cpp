// The command-line host, run as a user runs it, against the simulator.

#include "SimulatorProcess.h"

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
    void oneJobPerNumber();
    void failuresExitNonZero_data();
    void failuresExitNonZero();
    void usageErrors();

private:
    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    Run send(const QStringList& args, const QProcessEnvironment& env);

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

TestCorvafaxSend::Run TestCorvafaxSend::send(const QStringList& args, const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QString::fromUtf8(KESTREL_SEND_PATH), args);
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

void TestCorvafaxSend::oneJobPerNumber()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({u"--user"_s, u"ufficio"_s, u"--password"_s, u"pw"_s}));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"KESTREL_HTTP_PORT"_s, QString::number(sim.httpPort()));
    env.insert(u"KESTREL_FAX_PORT"_s, QString::number(sim.faxPort()));

    const Run run =
        send({u"--appliance"_s, u"127.0.0.1"_s, u"--user"_s, u"ufficio"_s, u"--password"_s, u"pw"_s,
              u"--notify"_s, u"a@b.it"_s, u"-d"_s, u"111"_s, u"-d"_s, u"222"_s, m_doc, m_doc},
             env);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList jobs = run.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(jobs.size(), 2);
    QCOMPARE(QStringList(sim.jobIds()), jobs);
    for (const QString& job : jobs) {
        QVERIFY(sim.waitForJob(job, 5000));
        QCOMPARE(sim.jobParameters(job).value(u"document"_s).size(), 2);
    }
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
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"KESTREL_HTTP_PORT"_s, QString::number(sim.httpPort()));
    env.insert(u"KESTREL_FAX_PORT"_s, QString::number(sim.faxPort()));
    const Run run = send(QStringList{u"--appliance"_s, u"127.0.0.1"_s, u"--timeout"_s, u"5"_s} + sendArgs +
                             QStringList{u"-d"_s, u"111"_s, u"-d"_s, u"222"_s, m_doc},
                         env);
    QVERIFY(run.exitCode > 0);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    QVERIFY(sim.jobIds().isEmpty());
}

void TestCorvafaxSend::usageErrors()
{
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QCOMPARE(send({u"-d"_s, u"1"_s, m_doc}, env).exitCode, 2);
    QCOMPARE(send({u"--appliance"_s, u"h"_s, m_doc}, env).exitCode, 2);
    QCOMPARE(send({u"--appliance"_s, u"h"_s, u"-d"_s, u"1"_s, m_dir.filePath(u"none.ps"_s)}, env).exitCode,
             2);
    QCOMPARE(send({u"--appliance"_s, u"h"_s, u"-d"_s, u"1:2"_s, m_doc}, env).exitCode, 2);
}

QTEST_GUILESS_MAIN(TestCorvafaxSend)
#include "tst_corvafaxsend.moc"
