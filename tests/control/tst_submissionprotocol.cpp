// The decisions of a submission, reply by reply, without sockets: what goes
// out, when a file is uploaded, when a job counts as submitted, and every
// reply that ends the session.

#include "ControlTexts.h"
#include "SubmissionProtocol.h"

#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

using namespace kestrel;

namespace {

// Marks the moment the last byte of the file being uploaded has left.
const QString FileSent = u"<file sent>"_s;
// The bytes of every file uploaded.
constexpr qint64 FileBytes = 4096;

Submission oneFileTwoNumbers(const QString& modem = u"any"_s)
{
    Submission s;
    s.userName = u"Mario"_s;
    s.password = u"Segreta1"_s;
    s.fileName = u"/d/a.ps,"_s;
    s.files = {u"/d/a.ps"_s};
    s.numbers = {u"111"_s, u"222"_s};
    s.notifyAddress = u"a@b"_s;
    s.modem = modem;
    s.compress = false; // the compressed mode has a test of its own
    return s;
}

Reply reply(const QString& text)
{
    bool ok = false;
    const int code = text.left(3).toInt(&ok);
    return {ok ? code : -1, text};
}

// What the session is told to do, one line per action.
QStringList transcript(const ProtocolStep& step)
{
    QStringList lines;
    if (step.failure)
        lines << u"fail: "_s + step.failure->message;
    if (step.loginRefused)
        lines << u"login refused"_s;
    if (step.openDataPort)
        lines << u"open %1"_s.arg(*step.openDataPort);
    if (step.submittedJob)
        lines << u"submitted "_s + *step.submittedJob;
    for (const QString& command : step.commands)
        lines << u"> "_s + command;
    if (step.uploadFile)
        lines << u"upload %1"_s.arg(*step.uploadFile);
    if (step.finished)
        lines << u"finished"_s;
    return lines;
}

QStringList run(SubmissionProtocol& protocol, const QStringList& inputs)
{
    QStringList lines;
    for (const QString& input : inputs)
        lines << transcript(input == FileSent ? protocol.onFileSent(FileBytes)
                                              : protocol.onReply(reply(input)));
    return lines;
}

const QStringList greeted{u"220 fax ready."_s, u"331 Password required for Mario."_s,
                          u"230 User Mario logged in."_s};
const QStringList parametersAnswered{
    u"200 New job created: jobid: 7 groupid: 7."_s,
    u"213 FROMUSER set to \"mario\"."_s,
    u"200 Type set to Image."_s,
    u"213 DIALSTRING set to \"111\"."_s,
    u"213 EXTERNAL set to \"111\"."_s,
    u"213 MAXDIALS set to 3."_s,
    u"213 NOTIFY set to \"done\"."_s,
    u"213 VRES set to 196."_s,
    u"213 USEXVRES set to NO."_s,
    u"213 SENDTIME set to NOW."_s,
    u"213 NOTIFYADDR set to \"a@b\"."_s,
};
const QStringList jobParameters{
    u"> jparm fromuser mario"_s, u"> type i"_s,
    u"> jparm dialstring %1"_s,  u"> jparm external %1"_s,
    u"> jparm maxdials 3"_s,     u"> jparm notify done"_s,
    u"> jparm vres 196"_s,       u"> jparm usexvres no"_s,
    u"> jparm sendtime now"_s,
};
const QStringList uploaded{u"250 CWD command successful."_s,
                           u"227 Entering passive mode (10,0,0,9,4,1)"_s,
                           u"150 Opening new data connection for /tmp/7-1.ps."_s,
                           FileSent,
                           u"226 Transfer complete."_s,
                           u"213 4096"_s};

// The commands of each step that sends any: what goes out in one write.
QList<QStringList> writes(SubmissionProtocol& protocol, const QStringList& inputs)
{
    QList<QStringList> batches;
    for (const QString& input : inputs) {
        const ProtocolStep step =
            input == FileSent ? protocol.onFileSent(FileBytes) : protocol.onReply(reply(input));
        if (!step.commands.isEmpty())
            batches << step.commands;
    }
    return batches;
}

// hfaxd's greeting: a server that reads commands ahead.
const QString hylafaxGreeting = u"220 vm server (HylaFAX (tm) Version 6.0.7) ready."_s;

// The replies of the second job of a pipelined session up to its jsubm.
QStringList secondJobAnswered()
{
    QStringList answers{u"250 CWD command successful."_s};
    QStringList job = parametersAnswered;
    job.replaceInStrings(u"jobid: 7 groupid: 7"_s, u"jobid: 8 groupid: 7"_s);
    job.replaceInStrings(u"\"111\""_s, u"\"222\""_s);
    answers << job << u"200 Added document /tmp/7-1.ps as docq/7-1.ps.8."_s
            << u"213 LASTTIME set to 000300."_s;
    return answers;
}

QStringList parametersFor(const QString& number)
{
    QStringList lines = jobParameters;
    lines.replaceInStrings(u"%1"_s, number);
    return lines;
}

} // namespace

class TestSubmissionProtocol : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void conformingServer();
    void replies_data();
    void replies();
    void passwordNeverShown();
    void unsettledJob_data();
    void unsettledJob();
    void compressedMode_data();
    void compressedMode();
    void modeFollowsEachFile();
    void sizeChecked_data();
    void sizeChecked();
    void jobOptionsForEveryJob();
    void jobOptionRefused_data();
    void jobOptionRefused();
    void pipelinedServer();
    void pipelinedReplies_data();
    void pipelinedReplies();
};

void TestSubmissionProtocol::conformingServer()
{
    // Two numbers: one login, one upload, two jobs that both name it.
    SubmissionProtocol protocol(oneFileTwoNumbers());
    QStringList expected;
    expected << u"> USER Mario"_s << u"> PASS Segreta1"_s << u"> jnew"_s << parametersFor(u"111"_s)
             << u"> jparm notifyaddr a@b"_s << u"> cwd /tmp"_s << u"> PASV"_s << u"open 1025"_s
             << u"> STOR /tmp/7-1.ps"_s << u"upload 0"_s << u"> SIZE /tmp/7-1.ps"_s
             << u"> jparm document /tmp/7-1.ps"_s << u"> JPARM LASTTIME 000300"_s << u"> jsubm"_s
             << u"submitted 7"_s << u"> cwd /"_s << u"> jnew"_s << parametersFor(u"222"_s)
             << u"> jparm notifyaddr a@b"_s << u"> jparm document /tmp/7-1.ps"_s
             << u"> JPARM LASTTIME 000300"_s << u"> jsubm"_s << u"submitted 8"_s << u"finished"_s;
    QStringList inputs = greeted + parametersAnswered + uploaded;
    inputs << u"200 Added document /tmp/7-1.ps as docq/7-1.ps.7."_s << u"213 LASTTIME set to 000300."_s
           << u"200 Job 7 submitted."_s << u"250 CWD command successful."_s;
    QStringList second = parametersAnswered;
    second.replaceInStrings(u"jobid: 7 groupid: 7"_s, u"jobid: 8 groupid: 7"_s);
    inputs << second << u"200 Added document /tmp/7-1.ps as docq/7-1.ps.8."_s
           << u"213 LASTTIME set to 000300."_s << u"200 Job 8 submitted."_s;
    QCOMPARE(run(protocol, inputs), expected);
    QVERIFY(protocol.ended());
    // A reply after the end changes nothing.
    QCOMPARE(transcript(protocol.onReply(reply(u"227 Entering passive mode (1,2,3,4,5,6)"_s))),
             QStringList());
}

void TestSubmissionProtocol::replies_data()
{
    QTest::addColumn<QString>("modem");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QStringList>("tail"); // the last lines of the transcript

    const QString transferFailed = u"fail: "_s + texts::transferFailed();
    const auto unexpected = [](const QString& text) -> QString {
        return u"fail: "_s + texts::unexpectedReply(text);
    };
    const auto refused = [](const QString& text) -> QString {
        return u"fail: "_s + texts::refusedByServer(text);
    };
    const QStringList untilPassive =
        greeted + parametersAnswered + QStringList{u"250 CWD command successful."_s};
    const QStringList untilTransfer =
        untilPassive +
        QStringList{u"227 Entering passive mode (10,0,0,9,4,1)"_s, u"150 Opening new data connection."_s};

    QTest::newRow("warnings before the greeting")
        << u"any"_s << QStringList{u"130 Warning, client address is not listed."_s, u"220 ready."_s}
        << QStringList{u"> USER Mario"_s};
    QTest::newRow("service not available instead of a greeting")
        << u"any"_s << QStringList{u"421 Service not available."_s}
        << QStringList{refused(u"421 Service not available."_s)};
    QTest::newRow("no password asked")
        << u"any"_s << QStringList{u"220 ready."_s, u"230 logged in."_s} << QStringList{u"> jnew"_s};
    QTest::newRow("login refused") << u"any"_s
                                   << QStringList{u"220 ready."_s, u"331 Password?"_s,
                                                  u"530 Login incorrect."_s}
                                   << QStringList{u"login refused"_s};
    QTest::newRow("an empty line identifier refused, the job goes on")
        << QString()
        << greeted + QStringList{u"200 New job created: jobid: 7 groupid: 7."_s,
                                 u"213 a"_s,
                                 u"200 b"_s,
                                 u"213 c"_s,
                                 u"213 c2"_s,
                                 u"500 'jparm modem ': Syntax error."_s,
                                 u"213 d"_s,
                                 u"213 e"_s,
                                 u"213 f"_s,
                                 u"213 g"_s,
                                 u"213 SENDTIME set to NOW."_s}
        << QStringList{u"> jparm notifyaddr a@b"_s};
    // The server accepts a partial file after a cut connection, and a jsubm
    // already in its input: nothing of the job may follow.
    QTest::newRow("transfer aborted")
        << u"any"_s << untilTransfer + QStringList{FileSent, u"426 Data connection: Broken pipe."_s}
        << QStringList{transferFailed};
    QTest::newRow("transfer aborted before the last byte")
        << u"any"_s << untilTransfer + QStringList{u"426 Data connection: Broken pipe."_s}
        << QStringList{transferFailed};
    QTest::newRow("transfer confirmed before the last byte left")
        << u"any"_s << untilTransfer + QStringList{u"226 Transfer complete."_s}
        << QStringList{unexpected(u"226 Transfer complete."_s)};
    QTest::newRow("STOR refused") << u"any"_s
                                  << untilPassive +
                                         QStringList{u"227 Entering passive mode (10,0,0,9,4,1)"_s,
                                                     u"550 /tmp/7-1.ps: Operation not permitted."_s}
                                  << QStringList{refused(u"550 /tmp/7-1.ps: Operation not permitted."_s)};
    QTest::newRow("passive reply nobody asked for")
        << u"any"_s << greeted + QStringList{u"227 Entering passive mode (127,0,0,1,1,1)"_s}
        << QStringList{unexpected(u"227 Entering passive mode (127,0,0,1,1,1)"_s)};
    QTest::newRow("second passive reply during a transfer")
        << u"any"_s << untilTransfer + QStringList{u"227 Entering passive mode (127,0,0,1,1,1)"_s}
        << QStringList{unexpected(u"227 Entering passive mode (127,0,0,1,1,1)"_s)};
    QTest::newRow("transfer opening nobody asked for")
        << u"any"_s << greeted + QStringList{u"150 Opening new data connection."_s}
        << QStringList{unexpected(u"150 Opening new data connection."_s)};
    QTest::newRow("passive reply with port 0")
        << u"any"_s << untilPassive + QStringList{u"227 Entering passive mode (10,0,0,9,0,0)"_s}
        << QStringList{transferFailed};
    QTest::newRow("passive reply with a number out of range")
        << u"any"_s << untilPassive + QStringList{u"227 Entering passive mode (10,0,0,9,256,1)"_s}
        << QStringList{transferFailed};
    // A job number is put into file names and commands.
    QTest::newRow("job number with a line break")
        << u"any"_s << greeted + QStringList{u"200-New job created: jobid: 7\r\n200 DELE x groupid: 7."_s}
        << QStringList{u"fail: "_s + texts::noJobNumber()};
    QTest::newRow("job created without a number")
        << u"any"_s << greeted + QStringList{u"200 New job created: groupid: 7."_s}
        << QStringList{u"fail: "_s + texts::noJobNumber()};
    QTest::newRow("the same job number twice in a session")
        << u"any"_s
        << greeted + parametersAnswered + uploaded +
               QStringList{u"200 Added document."_s, u"213 LASTTIME set to 000300."_s,
                           u"200 Job 7 submitted."_s, u"250 CWD command successful."_s,
                           u"200 New job created: jobid: 7 groupid: 7."_s}
        << QStringList{unexpected(u"200 New job created: jobid: 7 groupid: 7."_s)};
    QTest::newRow("submission refused")
        << u"any"_s
        << untilPassive + QStringList{u"227 Entering passive mode (10,0,0,9,4,1)"_s,
                                      u"150 Opening."_s,
                                      FileSent,
                                      u"226 Transfer complete."_s,
                                      u"213 4096"_s,
                                      u"200 Added."_s,
                                      u"213 LASTTIME."_s,
                                      u"460 Failed to submit job 7."_s}
        << QStringList{refused(u"460 Failed to submit job 7."_s)};
}

void TestSubmissionProtocol::replies()
{
    QFETCH(QString, modem);
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, tail);
    SubmissionProtocol protocol(oneFileTwoNumbers(modem));
    const QStringList lines = run(protocol, inputs);
    QVERIFY2(lines.size() >= tail.size(), qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.mid(lines.size() - tail.size()), tail);
    if (tail.constFirst().startsWith(u"fail"_s) || tail.constFirst() == u"login refused"_s) {
        QVERIFY(protocol.ended());
        // Nothing more comes of this session, whatever the server says.
        QCOMPARE(transcript(protocol.onReply(reply(u"200 Job 7 submitted."_s))), QStringList());
    }
}

void TestSubmissionProtocol::passwordNeverShown()
{
    SubmissionProtocol protocol(oneFileTwoNumbers());
    run(protocol, {u"220 ready."_s, u"331 Password required."_s});
    QCOMPARE(protocol.waitingFor(), u"PASS ********"_s);
    const ProtocolStep step = protocol.onReply(reply(u"503 Already logged in."_s));
    QVERIFY(step.failure);
    QVERIFY(step.failure->why.contains(u"PASS ********"_s));
    QVERIFY(!step.failure->why.contains(u"Segreta1"_s));
}

void TestSubmissionProtocol::unsettledJob_data()
{
    // Once "jsubm" is out, the server may hold the job whatever happens next;
    // before it, or after the server said no, it holds nothing.
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<bool>("jsubmSent");
    QTest::addColumn<QString>("unsettled");
    const QStringList untilDocuments = greeted + parametersAnswered + uploaded;
    const QStringList untilJsubm =
        untilDocuments + QStringList{u"200 Added document."_s, u"213 LASTTIME set to 000300."_s};
    QTest::newRow("jsubm awaiting its answer") << untilJsubm << true << u"7"_s;
    QTest::newRow("an unasked reply instead of the answer")
        << untilJsubm + QStringList{u"227 Entering passive mode (1,2,3,4,5,6)"_s} << true << u"7"_s;
    QTest::newRow("jsubm refused") << untilJsubm + QStringList{u"460 Failed to submit job 7."_s} << true
                                   << QString();
    QTest::newRow("jsubm answered") << untilJsubm + QStringList{u"200 Job 7 submitted."_s} << true
                                    << QString();
    // A job that lost a document line must not go in without it.
    QTest::newRow("a document line refused")
        << untilDocuments + QStringList{u"550 /tmp/7-1.ps: No such file or directory."_s} << false
        << QString();
}

void TestSubmissionProtocol::unsettledJob()
{
    QFETCH(QStringList, inputs);
    QFETCH(bool, jsubmSent);
    QFETCH(QString, unsettled);
    SubmissionProtocol protocol(oneFileTwoNumbers());
    const QStringList lines = run(protocol, inputs);
    QCOMPARE(lines.contains(u"> jsubm"_s), jsubmSent);
    QCOMPARE(protocol.unsettledJob().value_or(QString()), unsettled);
}

void TestSubmissionProtocol::compressedMode_data()
{
    // Asked with the job, so it costs no wait; a server that refuses it gets
    // the files as they are, and the fax goes all the same.
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("compressed");
    QTest::newRow("taken (hfaxd)") << u"200 Mode set to ZIP."_s << true;
    QTest::newRow("refused") << u"504 Mode Z not supported."_s << false;
    QTest::newRow("not understood") << u"500 MODE: Command not recognized."_s << false;
}

void TestSubmissionProtocol::compressedMode()
{
    QFETCH(QString, answer);
    QFETCH(bool, compressed);
    Submission submission = oneFileTwoNumbers();
    submission.compress = true;
    SubmissionProtocol protocol(submission);
    const QStringList sent = run(protocol, greeted);
    QCOMPARE(sent.mid(sent.size() - 2), (QStringList{u"> MODE Z"_s, u"> jnew"_s}));
    QStringList rest = parametersAnswered + uploaded;
    rest.prepend(answer);
    const QStringList lines = run(protocol, rest);
    QCOMPARE(protocol.compressed(), compressed);
    QVERIFY2(lines.contains(u"upload 0"_s), qPrintable(lines.join(u'\n')));
}

void TestSubmissionProtocol::modeFollowsEachFile()
{
    // A file that does not compress goes plain, the next one compressed:
    // the mode changes only between them, asked with the passive request.
    Submission submission = oneFileTwoNumbers();
    submission.compress = true;
    submission.files = {u"/d/a.ps"_s, u"/d/photo.pdf"_s, u"/d/b.ps"_s};
    submission.compressible = {true, false, true};
    SubmissionProtocol protocol(submission);
    QStringList inputs = greeted;
    inputs << u"200 Mode set to ZIP."_s << parametersAnswered;
    QStringList lines = run(protocol, inputs);
    QVERIFY(lines.contains(u"> MODE Z"_s));
    lines = run(protocol, {u"250 CWD command successful."_s, u"227 Entering passive mode (10,0,0,9,4,1)"_s,
                           u"150 Opening."_s, FileSent});
    QVERIFY(protocol.compressed());
    lines = run(protocol, {u"226 Transfer complete."_s});
    QCOMPARE(lines, (QStringList{u"> SIZE /tmp/7-1.ps"_s, u"> MODE S"_s, u"> PASV"_s}));
    run(protocol, {u"213 4096"_s, u"200 Mode set to Stream."_s, u"227 Entering passive mode (10,0,0,9,4,1)"_s,
                   u"150 Opening."_s});
    QVERIFY(!protocol.compressed());
    lines = run(protocol, {FileSent, u"226 Transfer complete."_s});
    QCOMPARE(lines, (QStringList{u"> SIZE /tmp/7-2.pdf"_s, u"> MODE Z"_s, u"> PASV"_s}));
}

void TestSubmissionProtocol::sizeChecked_data()
{
    // After each 226 the server is asked what it holds of the file; the job
    // goes in only when it holds every byte that was sent.
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("outcome"); // "> jsubm", or what the session fails with
    const QString incomplete = u"fail: "_s + texts::documentIncomplete(u"/d/a.ps"_s);
    QTest::newRow("the whole file (hfaxd)") << u"213 4096"_s << u"> jsubm"_s;
    QTest::newRow("its first 1,000 bytes") << u"213 1000"_s << incomplete;
    QTest::newRow("more than was sent (a compressed stream kept as it came)") << u"213 4107"_s << incomplete;
    QTest::newRow("no such file (hfaxd)") << u"550 /tmp/7-1.ps: not a plain file."_s << incomplete;
    // A server without the command: its 226 is all it gives, as before.
    QTest::newRow("command not recognized") << u"500 SIZE: Command not recognized."_s << u"> jsubm"_s;
    QTest::newRow("command not implemented") << u"502 SIZE not implemented."_s << u"> jsubm"_s;
    QTest::newRow("refused for a while")
        << u"421 Service not available."_s
        << u"fail: "_s + texts::refusedByServer(u"421 Service not available."_s);
    QTest::newRow("not a number") << u"213 about 4 KB"_s
                                  << u"fail: "_s + texts::unexpectedReply(u"213 about 4 KB"_s);
}

void TestSubmissionProtocol::sizeChecked()
{
    QFETCH(QString, answer);
    QFETCH(QString, outcome);
    SubmissionProtocol protocol(oneFileTwoNumbers());
    QStringList inputs = greeted + parametersAnswered + uploaded;
    inputs.removeLast(); // the size
    QStringList lines = run(protocol, inputs);
    // The question goes with the job's document lines, never with "jsubm".
    QCOMPARE(lines.mid(lines.size() - 3),
             (QStringList{u"> SIZE /tmp/7-1.ps"_s, u"> jparm document /tmp/7-1.ps"_s,
                          u"> JPARM LASTTIME 000300"_s}));
    lines = run(protocol, {answer, u"200 Added document."_s, u"213 LASTTIME set to 000300."_s});
    QVERIFY2(!lines.isEmpty(), qPrintable(answer));
    QCOMPARE(lines.constLast(), outcome);
    QCOMPARE(protocol.ended(), outcome.startsWith(u"fail"_s));
}

namespace {

Submission withOptions()
{
    Submission s = oneFileTwoNumbers();
    s.options = {QDateTime(QDate(2027, 3, 1), QTime(21, 30), QTimeZone::utc()), 5, true, 4};
    return s;
}

// The replies of a job made with withOptions(): one more line (tries).
QStringList optionsAnswered(const QString& job)
{
    QStringList answered = parametersAnswered;
    answered.replaceInStrings(u"jobid: 7 groupid: 7"_s, u"jobid: %1 groupid: 7"_s.arg(job));
    answered.insert(answered.indexOf(u"213 MAXDIALS set to 3."_s) + 1, u"213 MAXTRIES set to 4."_s);
    return answered;
}

} // namespace

void TestSubmissionProtocol::jobOptionsForEveryJob()
{
    SubmissionProtocol protocol(withOptions());
    QStringList inputs = greeted + optionsAnswered(u"7"_s) + uploaded;
    inputs << u"200 Added document."_s << u"213 LASTTIME set to 000500."_s << u"200 Job 7 submitted."_s
           << u"250 CWD command successful."_s << optionsAnswered(u"8"_s) << u"200 Added document."_s
           << u"213 LASTTIME set to 000500."_s << u"200 Job 8 submitted."_s;
    const QStringList lines = run(protocol, inputs);
    QCOMPARE(lines.constLast(), u"finished"_s);
    for (const QString& option : {u"> jparm maxtries 4"_s, u"> jparm vres 98"_s,
                                  u"> jparm sendtime 202703012130"_s, u"> JPARM LASTTIME 000500"_s})
        QVERIFY2(lines.count(option) == 2,
                 qPrintable(option + u" not in both jobs:\n"_s + lines.join(u'\n')));
    QVERIFY(!lines.contains(u"> jparm vres 196"_s));
    QVERIFY(!lines.contains(u"> jparm sendtime now"_s));
}

// A server that refuses one of the options: the fax is not sent (the job is
// never submitted) and the user reads the server's words.
void TestSubmissionProtocol::jobOptionRefused_data()
{
    QTest::addColumn<QString>("refusedAfter"); // the answer before the refused one
    QTest::addColumn<QString>("refusal");
    QTest::newRow("tries") << u"213 MAXDIALS set to 3."_s
                           << u"500 'jparm maxtries 4': Unrecognized command."_s;
    QTest::newRow("send time") << u"213 USEXVRES set to NO."_s
                               << u"500 'jparm sendtime 202703012130': Syntax error."_s;
    QTest::newRow("kill time") << u"200 Added document."_s << u"500 'JPARM LASTTIME 000500': Syntax error."_s;
}

void TestSubmissionProtocol::jobOptionRefused()
{
    QFETCH(QString, refusedAfter);
    QFETCH(QString, refusal);
    SubmissionProtocol protocol(withOptions());
    QStringList inputs = greeted + optionsAnswered(u"7"_s) + uploaded + QStringList{u"200 Added document."_s};
    inputs = inputs.mid(0, inputs.indexOf(refusedAfter) + 1);
    inputs << refusal;
    const QStringList lines = run(protocol, inputs);
    QCOMPARE(lines.constLast(), u"fail: "_s + texts::refusedByServer(refusal));
    QVERIFY(protocol.ended());
    QVERIFY(!lines.contains(u"> jsubm"_s));
    QVERIFY(!protocol.unsettledJob());
}

void TestSubmissionProtocol::pipelinedServer()
{
    // A server that reads ahead gets a job's creation, parameters, notify
    // address and passive request in one write, and the next job's with the
    // jsubm of the job before; each jsubm waits for every line of its job.
    SubmissionProtocol protocol(oneFileTwoNumbers());
    QStringList secondJob{u"jsubm"_s, u"cwd /"_s, u"jnew"_s};
    for (const QString& line : parametersFor(u"222"_s))
        secondJob << line.mid(2);
    secondJob << u"jparm notifyaddr a@b"_s << u"jparm document /tmp/7-1.ps"_s << u"JPARM LASTTIME 000300"_s;
    QStringList firstJob{u"jnew"_s};
    for (const QString& line : parametersFor(u"111"_s))
        firstJob << line.mid(2);
    firstJob << u"jparm notifyaddr a@b"_s << u"cwd /tmp"_s << u"PASV"_s;
    const QList<QStringList> expected{
        {u"USER Mario"_s},
        {u"PASS Segreta1"_s},
        firstJob,
        {u"STOR /tmp/7-1.ps"_s},
        {u"SIZE /tmp/7-1.ps"_s, u"jparm document /tmp/7-1.ps"_s, u"JPARM LASTTIME 000300"_s},
        secondJob,
        {u"jsubm"_s},
    };
    QStringList inputs{hylafaxGreeting, u"331 Password required for Mario."_s,
                       u"230 User Mario logged in."_s};
    inputs << parametersAnswered << uploaded << u"200 Added document /tmp/7-1.ps as docq/7-1.ps.7."_s
           << u"213 LASTTIME set to 000300."_s << u"200 Job 7 submitted."_s << secondJobAnswered();
    QCOMPARE(writes(protocol, inputs), expected);
    QVERIFY(protocol.pipelined());
    const QStringList last = transcript(protocol.onReply(reply(u"200 Job 8 submitted."_s)));
    QCOMPARE(last, (QStringList{u"submitted 8"_s, u"finished"_s}));
}

void TestSubmissionProtocol::pipelinedReplies_data()
{
    // Answers are taken in order, each for the command it answers: one that
    // does not fit ends the session, and no job goes in without every line
    // of it taken.
    QTest::addColumn<QString>("modem");
    QTest::addColumn<QStringList>("replies"); // after the login
    QTest::addColumn<QString>("last");        // the last line of the transcript
    QTest::addColumn<QStringList>("submitted");
    QTest::addColumn<int>("jsubms"); // sent
    QTest::addColumn<QString>("unsettled");

    const auto unexpected = [](const QString& text) -> QString {
        return u"fail: "_s + texts::unexpectedReply(text);
    };
    const auto refused = [](const QString& text) -> QString {
        return u"fail: "_s + texts::refusedByServer(text);
    };
    const QStringList untilLines = parametersAnswered + uploaded.mid(0, uploaded.size() - 1);
    const QStringList firstLines{u"213 4096"_s, u"200 Added document /tmp/7-1.ps as docq/7-1.ps.7."_s,
                                 u"213 LASTTIME set to 000300."_s};
    const QStringList firstJob = untilLines + firstLines + QStringList{u"200 Job 7 submitted."_s};
    const QStringList second = secondJobAnswered();
    const QString documentRefusal = u"550 /tmp/7-1.ps: No such file or directory."_s;

    // A refusal that does not end the session: the answers after it are
    // still matched with their commands.
    QStringList withLine = firstJob + second + QStringList{u"200 Job 8 submitted."_s};
    for (const QString& external : {u"213 EXTERNAL set to \"111\"."_s, u"213 EXTERNAL set to \"222\"."_s})
        withLine.insert(withLine.indexOf(external) + 1, u"500 'jparm modem ': Syntax error."_s);
    QTest::newRow("an empty line identifier refused in each batch")
        << QString() << withLine << u"finished"_s << QStringList{u"7"_s, u"8"_s} << 2 << QString();
    // hfaxd carries out the commands after a refused one; the session ends
    // at the refusal, and the job's jsubm never goes out.
    QTest::newRow("a document line of the second job refused")
        << u"any"_s << firstJob + second.mid(0, second.size() - 2) + QStringList{documentRefusal}
        << refused(documentRefusal) << QStringList{u"7"_s} << 1 << QString();
    // One reply too many shifts every answer after it: the next one no
    // longer fits its command.
    QTest::newRow("a parameter answered twice")
        << u"any"_s << firstJob + second.mid(0, 3) + QStringList{u"213 FROMUSER set to \"mario\"."_s}
        << unexpected(u"213 FROMUSER set to \"mario\"."_s) << QStringList{u"7"_s} << 1 << QString();
    QTest::newRow("jsubm answered twice")
        << u"any"_s << firstJob + QStringList{u"200 Job 7 submitted."_s}
        << unexpected(u"200 Job 7 submitted."_s) << QStringList{u"7"_s} << 1 << QString();
    // The server went on with the next job without answering jsubm: the job
    // may be in, or not; the session ends as if the answer never came.
    QTest::newRow("jsubm skipped, the next job answered")
        << u"any"_s << untilLines + firstLines + second.mid(0, 1) << u"fail: "_s + texts::replyTimeout()
        << QStringList() << 1 << u"7"_s;
    QTest::newRow("jsubm skipped, the next command refused")
        << u"any"_s << untilLines + firstLines + QStringList{u"550 /: Permission denied."_s}
        << refused(u"550 /: Permission denied."_s) << QStringList() << 1 << u"7"_s;
    QTest::newRow("jsubm confirmed for another job")
        << u"any"_s << untilLines + firstLines + QStringList{u"200 Job 9 submitted."_s}
        << unexpected(u"200 Job 9 submitted."_s) << QStringList() << 1 << u"7"_s;
    QTest::newRow("jsubm refused: the next job made is never submitted")
        << u"any"_s
        << untilLines + firstLines + QStringList{u"460 Failed to submit job 7: Unspecified reason."_s}
        << refused(u"460 Failed to submit job 7: Unspecified reason."_s) << QStringList() << 1 << QString();
}

void TestSubmissionProtocol::pipelinedReplies()
{
    QFETCH(QString, modem);
    QFETCH(QStringList, replies);
    QFETCH(QString, last);
    QFETCH(QStringList, submitted);
    QFETCH(int, jsubms);
    QFETCH(QString, unsettled);
    SubmissionProtocol protocol(oneFileTwoNumbers(modem));
    QStringList inputs{hylafaxGreeting, u"331 Password required for Mario."_s,
                       u"230 User Mario logged in."_s};
    const QStringList lines = run(protocol, inputs + replies);
    QCOMPARE(lines.filter(QRegularExpression(u"^submitted "_s)).replaceInStrings(u"submitted "_s, QString()),
             submitted);
    QCOMPARE(lines.constLast(), last);
    QCOMPARE(lines.count(u"> jsubm"_s), jsubms);
    QCOMPARE(protocol.unsettledJob().value_or(QString()), unsettled);
    if (last.startsWith(u"fail"_s)) // nothing more comes of it
        QCOMPARE(transcript(protocol.onReply(reply(u"200 Job 8 submitted."_s))), QStringList());
}

QTEST_GUILESS_MAIN(TestSubmissionProtocol)
#include "tst_submissionprotocol.moc"
