// Sending to every destination through a recording stand-in for the
// control: the order of the calls, the file list and the numbers, the
// summary, and what a failed submission leaves for the next press.

#include "ClientTexts.h"
#include "CorvanefaxHost.h"
#include "HttpGet.h"
#include "ManualTimer.h"
#include "PageServer.h"
#include "RecordingControl.h"
#include "ScriptedMessageBox.h"
#include "SubmissionFlow.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::RecordingControl;
using kestrel::test::ScriptedMessageBox;

Q_DECLARE_METATYPE(kestrel::JobOptions)

class TestSubmissionFlow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void twoDestinationsTwoDocuments();
    void arguments_data();
    void arguments();
    void nothingToSend_data();
    void nothingToSend();
    void failedSubmissionLosesNothing_data();
    void failedSubmissionLosesNothing();
    void otherReportsAreNoFailure();
    void secondPressWhileRunning();
    void keepsToItsRows_data();
    void keepsToItsRows();
    void outcomeUnknownIsNeverSentAgain();
    void eachJobToldForTheHistory();
    void settingsOfTheMomentForEachSend();
    void applianceAwayAtSend();
    void watchRetriesWhileAway();
    void pressAsksTheApplianceOnce();
    void pressJoinsAnActivationUnderWay_data();
    void pressJoinsAnActivationUnderWay();
    void groupInOneSession();
    void groupFailsAtOneDestination();
    void numberWithoutDigits_data();
    void numberWithoutDigits();
    void jobOptionsForEveryDestination();
    void wrongJobOptionsSendNothing_data();
    void wrongJobOptionsSendNothing();
    void jobOptionsNeedTheControlsExtension();
    void lettersEachWithTheirOwnDocument_data();
    void lettersEachWithTheirOwnDocument();
    void unattendedPress();
    void unattendedStopsShort_data();
    void unattendedStopsShort();

private:
    void addDestination(const QString& number, const QString& description = {});
    void addDocument(const QString& path);
    QStringList documentPaths() const { return m_documents.column(1); }

    std::unique_ptr<CorvanefaxHost> m_host;
    RecordingControl* m_control = nullptr;
    GridRows m_destinations{DestinationColumn::Count};
    GridRows m_documents{3};
    LineTable m_lines;
    ScriptedMessageBox m_box;
    SettingsValues m_settings;
    QString m_lineText;
    std::unique_ptr<SubmissionFlow> m_flow;
};

void TestSubmissionFlow::init()
{
    m_host = std::make_unique<CorvanefaxHost>();
    auto control = std::make_unique<RecordingControl>();
    m_control = control.get();
    m_host->adopt(std::move(control), m_control);
    m_destinations.setRows(1);
    m_documents.setRows(1);
    m_box.clear();
    m_settings = SettingsValues();
    m_settings.mail = u"ufficio@example.org"_s;
    // One session per destination: the group in one session has tests of
    // its own below.
    m_settings.set(settings::GroupSend, u"0"_s);
    m_lineText.clear();
    m_lines = LineTable();
    m_lines.setRow(1, u"ttyS0"_s, u"Linea Uno"_s);
    m_lines.setRow(2, u"ttyS1"_s, u"Linea Due"_s);
    m_lines.setLineCount(2);
    m_flow = std::make_unique<SubmissionFlow>(*m_host, m_destinations, m_documents, m_lines, m_box);
    m_flow->setSettings([this] { return m_settings; });
    m_flow->setLineText([this] { return m_lineText; });
    connect(m_host.get(), &CorvanefaxHost::printedDocAvailable, m_flow.get(),
            &SubmissionFlow::addPrintedDocument);
}

void TestSubmissionFlow::addDestination(const QString& number, const QString& description)
{
    const int r = m_destinations.rows();
    m_destinations.setRows(r + 1);
    m_destinations.setText(r, 1, number);
    m_destinations.setText(r, 2, description);
}

// A destination in the list as a tagged print's letter: `entry` is
// "number" (typed, the document list's) or "number=document" (a letter).
static void addEntry(GridRows& destinations, const QString& entry)
{
    const QStringList parts = entry.split(u'=');
    QStringList cells(DestinationColumn::Count);
    cells[DestinationColumn::Number] = parts.at(0);
    if (parts.size() > 1) {
        cells[DestinationColumn::Pages] = u"1"_s;
        cells[DestinationColumn::Letter] = parts.at(1);
    }
    destinations.appendRow(cells);
}

void TestSubmissionFlow::addDocument(const QString& path)
{
    m_flow->addPrintedDocument(path);
}

void TestSubmissionFlow::twoDestinationsTwoDocuments()
{
    m_settings.cover = u"/home/u/cover.pdf"_s;
    addDestination(u"0612345"_s, u"Mario"_s);
    addDestination(u"0698765"_s);
    addDocument(u"/tmp/kestrel-1.ps"_s);
    addDocument(u"/tmp/kestrel-2.ps"_s);
    QCOMPARE(m_documents.text(2, 2), u"kestrel-2.ps"_s);
    QSignalSpy finished(m_flow.get(), &SubmissionFlow::finished);

    m_flow->send();
    const QString files = u"/home/u/cover.pdf,/tmp/kestrel-1.ps,/tmp/kestrel-2.ps,"_s;
    QCOMPARE(m_control->methods(), QStringList{u"SendFax 0612345"_s});
    QCOMPARE(m_control->sent.at(0).files, files);
    QCOMPARE(m_control->sent.at(0).notify, u"ufficio@example.org"_s);
    QCOMPARE(m_documents.rows(), 1); // handed over to the control
    QCOMPARE(m_destinations.rows(), 3);

    m_control->submit(u"17"_s);
    QCOMPARE(m_control->methods(),
             (QStringList{u"SendFax 0612345"_s, u"Termina"_s, u"Attiva"_s, u"SendFax 0698765"_s}));
    QCOMPARE(m_control->sent.at(1).files, files);
    QCOMPARE(m_destinations.rows(), 2);
    QCOMPARE(m_destinations.text(1, 1), u"0698765"_s);
    QVERIFY(m_box.shown().isEmpty());

    m_control->submit(u"18"_s);
    QCOMPARE(m_destinations.rows(), 1);
    QCOMPARE(m_box.shown().size(), 1);
    const MessageBoxRequest summary = m_box.shown().at(0);
    QCOMPARE(summary.text, u"FAX Inoltrato al server \rIndirizzo di conferma:ufficio@example.org\r"
                           u"Numero di Protocollo FAX:  17 18"_s);
    QCOMPARE(summary.icon, MsgIcon::Information);
    QCOMPARE(summary.title, u"KESTREL WinClient"_s);
    QCOMPARE(finished.size(), 1);
    QVERIFY(m_flow->jobList().isEmpty());
    QVERIFY(!m_flow->isRunning());
}

void TestSubmissionFlow::arguments_data()
{
    QTest::addColumn<QString>("cover");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("line"); // the selector's text
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("modem");
    const QString doc = u"/tmp/d.ps,"_s;
    QTest::newRow("no cover, no prefix, no line")
        << u"none"_s << u"none"_s << QString() << doc << u"111"_s << u"any"_s;
    QTest::newRow("PostScript cover")
        << u"/c/cover.ps"_s << u"none"_s << QString() << u"/c/cover.ps,"_s + doc << u"111"_s << u"any"_s;
    QTest::newRow("prefix in front") << u"none"_s << u"0"_s << QString() << doc << u"0111"_s << u"any"_s;
    QTest::newRow("a line chosen") << u"none"_s << u"none"_s << u"Linea Due"_s << doc << u"111"_s
                                   << u"ttyS1"_s;
    QTest::newRow("a line no row names")
        << u"none"_s << u"none"_s << u"Altro"_s << doc << u"111"_s << QString();
}

void TestSubmissionFlow::arguments()
{
    QFETCH(QString, cover);
    QFETCH(QString, prefix);
    QFETCH(QString, line);
    QFETCH(QString, files);
    QFETCH(QString, number);
    QFETCH(QString, modem);
    m_settings.cover = cover;
    m_settings.prefix = prefix;
    m_settings.maxDials = 7;
    m_lineText = line;
    addDestination(u"111"_s);
    addDocument(u"/tmp/d.ps"_s);
    m_flow->send();
    QCOMPARE(m_control->sent.size(), 1);
    QCOMPARE(m_control->sent.at(0).files, files);
    QCOMPARE(m_control->sent.at(0).number, number);
    QCOMPARE(m_control->sent.at(0).maxDials, qint16(7));
    QCOMPARE(m_control->sent.at(0).modem, modem);
}

void TestSubmissionFlow::nothingToSend_data()
{
    QTest::addColumn<QString>("cover");
    QTest::addColumn<bool>("destination");
    QTest::addColumn<bool>("document");
    QTest::addColumn<QString>("message");
    // The cover is checked first, even with both lists empty.
    QTest::newRow("upper-case PDF cover") << u"/c/COVER.PDF"_s << false << false << texts::WrongCover;
    QTest::newRow("no destination") << u"none"_s << false << true << texts::NoDestination;
    QTest::newRow("no document") << u"none"_s << true << false << texts::NoDocument;
}

void TestSubmissionFlow::nothingToSend()
{
    QFETCH(QString, cover);
    QFETCH(bool, destination);
    QFETCH(bool, document);
    QFETCH(QString, message);
    m_settings.cover = cover;
    if (destination)
        addDestination(u"111"_s);
    if (document)
        addDocument(u"/tmp/d.ps"_s);
    QSignalSpy coverRejected(m_flow.get(), &SubmissionFlow::coverRejected);
    m_flow->send();
    QCOMPARE(m_box.texts(), QStringList{message});
    QCOMPARE(m_box.shown().at(0).title, u"KESTREL WinClient"_s);
    QCOMPARE(coverRejected.size(), message == texts::WrongCover ? 1 : 0);
    QVERIFY(m_control->sent.isEmpty());
    QCOMPARE(m_destinations.rows(), destination ? 2 : 1);
    QCOMPARE(m_documents.rows(), document ? 2 : 1);
}

void TestSubmissionFlow::failedSubmissionLosesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the session failed") << u"message"_s;
    QTest::newRow("the server refused the login") << u"login"_s;
    QTest::newRow("SendFax did not start") << u"refused at once"_s;
}

void TestSubmissionFlow::failedSubmissionLosesNothing()
{
    QFETCH(QString, how);
    addDestination(u"111"_s);
    addDestination(u"222"_s);
    addDocument(u"/tmp/a.ps"_s);
    addDocument(u"/tmp/b.ps"_s);
    QSignalSpy restored(m_flow.get(), &SubmissionFlow::documentsRestored);
    m_flow->send();
    m_control->submit(u"5"_s); // the first destination went
    // A document printed while the second one is being sent.
    m_control->printed(u"/tmp/c.ps"_s);
    if (how == u"message"_s) {
        m_control->message(u"Il server fax ha chiuso la connessione: fax non inviato"_s);
    } else if (how == u"login"_s) {
        m_control->site->messageBox().show({QString(LoginRefused.toString()), u"KestrelOCX"_s});
    } else {
        // The next press fails before the session starts.
        m_control->message(u"Il server fax ha chiuso la connessione: fax non inviato"_s);
        m_control->onSendFax = [](const QString&) {
            return QVariant();
        };
        m_flow->send();
        QCOMPARE(documentPaths(), (QStringList{u"/tmp/a.ps"_s, u"/tmp/b.ps"_s, u"/tmp/c.ps"_s}));
    }
    QVERIFY(!m_flow->isRunning());
    QCOMPARE(restored.size(), 1);
    // The user learns which destination got its fax before the failure.
    QCOMPARE(m_box.shown().size(), 1);
    QVERIFY2(m_box.shown().at(0).text.contains(u"Numero di Protocollo FAX dei fax già inoltrati: 5"_s),
             qPrintable(m_box.shown().at(0).text));
    m_box.clear();
    // The documents are back, ahead of the one printed since; the
    // destination that did not get the fax is still first.
    QCOMPARE(documentPaths(), (QStringList{u"/tmp/a.ps"_s, u"/tmp/b.ps"_s, u"/tmp/c.ps"_s}));
    QCOMPARE(m_documents.text(1, 2), u"a.ps"_s);
    QCOMPARE(m_destinations.column(1), QStringList{u"222"_s});

    // Pressing send again retries.
    m_control->onSendFax = nullptr;
    m_flow->send();
    QCOMPARE(m_control->sent.constLast().number, u"222"_s);
    QCOMPARE(m_control->sent.constLast().files, u"/tmp/a.ps,/tmp/b.ps,/tmp/c.ps,"_s);
}

void TestSubmissionFlow::otherReportsAreNoFailure()
{
    addDestination(u"111"_s);
    addDocument(u"/tmp/a.ps"_s);
    m_flow->send();
    // A print job that could not be captured, reported during the send.
    m_control->message(u"Impossibile salvare il documento stampato nella cartella temporanea /tmp"_s);
    QVERIFY(m_flow->isRunning());
    QCOMPARE(m_documents.rows(), 1);
    m_control->submit(u"9"_s);
    QVERIFY(!m_flow->isRunning());
    QCOMPARE(m_box.shown().size(), 1); // the summary
}

void TestSubmissionFlow::secondPressWhileRunning()
{
    addDestination(u"111"_s);
    addDocument(u"/tmp/a.ps"_s);
    QSignalSpy running(m_flow.get(), &SubmissionFlow::runningChanged);
    m_flow->send();
    addDocument(u"/tmp/b.ps"_s);
    m_flow->send();
    QCOMPARE(m_control->sent.size(), 1);
    QCOMPARE(documentPaths(), QStringList{u"/tmp/b.ps"_s});
    m_control->submit(u"3"_s);
    QCOMPARE(running.size(), 2);
    QCOMPARE(running.at(0).at(0).toBool(), true);
    QCOMPARE(running.at(1).at(0).toBool(), false);
}

void TestSubmissionFlow::keepsToItsRows_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QStringList>("nextNumbers"); // the SendFax calls after the first
    QTest::addColumn<QStringList>("documentsLeft");
    QTest::newRow("the destination on its way removed")
        << u"remove destination 1"_s << QStringList{u"222"_s, u"333"_s} << QStringList();
    QTest::newRow("another destination removed")
        << u"remove destination 2"_s << QStringList{u"333"_s} << QStringList();
    QTest::newRow("a document removed and one printed while connecting")
        << u"remove document 1, print"_s << QStringList{u"222"_s, u"333"_s} << QStringList{u"/tmp/c.ps"_s};
}

void TestSubmissionFlow::keepsToItsRows()
{
    // What the user does while the control works never makes another row
    // count as sent.
    QFETCH(QString, meanwhile);
    QFETCH(QStringList, nextNumbers);
    QFETCH(QStringList, documentsLeft);
    addDestination(u"111"_s);
    addDestination(u"222"_s);
    addDestination(u"333"_s);
    addDocument(u"/tmp/a.ps"_s);
    addDocument(u"/tmp/b.ps"_s);
    const auto act = [&] {
        if (meanwhile == u"remove destination 1"_s)
            m_destinations.removeRow(1);
        else if (meanwhile == u"remove destination 2"_s)
            m_destinations.removeRow(2);
        else {
            m_documents.removeRow(1);
            m_control->printed(u"/tmp/c.ps"_s);
        }
    };
    if (meanwhile.startsWith(u"remove document"_s)) {
        // While SendFax waits for the server.
        m_control->onSendFax = [&](const QString&) {
            m_control->onSendFax = nullptr;
            act();
            return QVariant(u"OnRun"_s);
        };
        m_flow->send();
    } else {
        m_flow->send();
        act();
    }
    for (int job = 1; m_flow->isRunning() && job < 5; ++job)
        m_control->submit(QString::number(job));
    QStringList numbers;
    for (const RecordingControl::SentFax& fax : std::as_const(m_control->sent))
        numbers << fax.number;
    QCOMPARE(numbers, QStringList{u"111"_s} + nextNumbers);
    QCOMPARE(m_control->sent.at(0).files, u"/tmp/a.ps,/tmp/b.ps,"_s);
    QCOMPARE(documentPaths(), documentsLeft);
    QCOMPARE(m_destinations.rows(), 1);
}

void TestSubmissionFlow::outcomeUnknownIsNeverSentAgain()
{
    // The server may hold the second job: it is not sent again, its
    // documents do not come back, and the summary says to check it.
    addDestination(u"111"_s);
    addDestination(u"222"_s);
    addDestination(u"333"_s);
    addDocument(u"/tmp/a.ps"_s);
    m_flow->send();
    m_control->submit(u"41"_s);
    m_control->message(OutcomeUnknownJob.toString() + u"42 al numero 222 potrebbe essere partito: "_s +
                       FaxOutcomeUnknown.toString());
    QCOMPARE(m_control->sent.constLast().number, u"333"_s);
    m_control->submit(u"43"_s);
    QVERIFY(!m_flow->isRunning());
    QCOMPARE(m_destinations.rows(), 1);
    QCOMPARE(m_documents.rows(), 1);
    QCOMPARE(m_box.shown().size(), 1);
    QCOMPARE(m_box.shown().at(0).text,
             texts::submissionSummary(u"ufficio@example.org"_s, u" 41 43"_s, u" 42"_s));
    QVERIFY(m_box.shown().at(0).text.contains(u"Esito da verificare"_s));

    // Only that job, alone: no summary of jobs that went.
    m_box.clear();
    addDestination(u"444"_s);
    addDocument(u"/tmp/b.ps"_s);
    m_flow->send();
    m_control->message(OutcomeUnknownJob.toString() + u"44 al numero 444: "_s + FaxOutcomeUnknown.toString());
    QCOMPARE(m_box.texts(), QStringList{texts::outcomeToCheck(u" 44"_s)});
    QCOMPARE(m_documents.rows(), 1);
}

// Each job as the history records it: the destination as listed and as
// dialled, its description, the documents without the cover page.
void TestSubmissionFlow::eachJobToldForTheHistory()
{
    m_settings.ip = u"fax.local"_s;
    m_settings.prefix = u"0"_s;
    m_settings.cover = u"/home/u/cover.pdf"_s;
    addDestination(u"111"_s, u"Studio Rossi"_s);
    addDestination(u"222"_s);
    addDocument(u"/tmp/a.ps"_s);
    addDocument(u"/tmp/b.ps"_s);
    QSignalSpy submitted(m_flow.get(), &SubmissionFlow::jobSubmitted);
    QSignalSpy unknown(m_flow.get(), &SubmissionFlow::jobOutcomeUnknown);
    m_flow->send();
    m_control->submit(u"41"_s);
    m_control->message(OutcomeUnknownJob.toString() + u"42 al numero 0222: "_s +
                       FaxOutcomeUnknown.toString());
    QCOMPARE(submitted.size(), 1);
    QCOMPARE(unknown.size(), 1);
    const auto first = submitted.at(0).at(0).value<SubmittedJob>();
    const auto second = unknown.at(0).at(0).value<SubmittedJob>();
    const QStringList documents{u"/tmp/a.ps"_s, u"/tmp/b.ps"_s};
    QCOMPARE((QStringList{first.job, first.appliance, first.number, first.dialled, first.description}),
             (QStringList{u"41"_s, u"fax.local"_s, u"111"_s, u"0111"_s, u"Studio Rossi"_s}));
    QCOMPARE(first.documents, documents);
    QCOMPARE((QStringList{second.job, second.number, second.dialled, second.description}),
             (QStringList{u"42"_s, u"222"_s, u"0222"_s, QString()}));
    QCOMPARE(second.documents, documents);
}

void TestSubmissionFlow::settingsOfTheMomentForEachSend()
{
    // A password corrected in the options window counts from the next
    // destination on, without a new control.
    addDestination(u"111"_s);
    addDestination(u"222"_s);
    addDocument(u"/tmp/a.ps"_s);
    m_settings.pass = u"vecchia"_s;
    m_flow->send();
    QCOMPARE(m_control->PasswordUtente(), u"vecchia"_s);
    m_settings.pass = u"nuova"_s;
    m_control->submit(u"1"_s);
    QCOMPARE(m_control->PasswordUtente(), u"nuova"_s);
    QCOMPARE(m_control->calls.filter(u"PasswordUtente="_s).size(), 2);
}

void TestSubmissionFlow::applianceAwayAtSend()
{
    // The appliance was away: it is looked for once more before the fax
    // goes; still away, nothing is sent and nothing leaves the lists.
    ApplianceWatch watch(*m_host);
    m_flow->setApplianceWatch(&watch);
    bool away = true;
    m_control->onAttiva = [&] {
        if (away)
            m_control->message(ApplianceOffline.toString());
    };
    (void)watch.activate(); // the mock always succeeds; the test looks at the watch
    QVERIFY(watch.isAway());
    addDestination(u"111"_s);
    addDocument(u"/tmp/a.ps"_s);
    m_flow->send();
    QCOMPARE(m_control->methods(), (QStringList{u"Attiva"_s, u"Attiva"_s}));
    QCOMPARE(m_box.texts(), QStringList{texts::ApplianceAway});
    QCOMPARE(m_documents.rows(), 2);
    QCOMPARE(m_destinations.rows(), 2);

    QSignalSpy back(&watch, &ApplianceWatch::backOnline);
    away = false;
    m_flow->send();
    QCOMPARE(back.size(), 1);
    QCOMPARE(m_control->sent.size(), 1);
}

void TestSubmissionFlow::watchRetriesWhileAway()
{
    // Away at start: looked for again and again (never during a submission,
    // which activates by itself), and the window is told once it is back.
    ApplianceWatch watch(*m_host);
    watch.setRetryMs(20);
    bool away = true;
    bool busy = false;
    watch.setBusy([&busy] { return busy; });
    m_control->onAttiva = [&] {
        if (away)
            m_control->message(ApplianceOffline.toString());
        QVERIFY(!busy);
    };
    QSignalSpy back(&watch, &ApplianceWatch::backOnline);
    (void)watch.activate(); // the mock always succeeds; the test looks at the watch
    QTRY_VERIFY(m_control->methods().size() >= 3);
    busy = true;
    QTest::qWait(100);
    busy = false;
    away = false;
    QTRY_COMPARE(back.size(), 1);
    const qsizetype activations = m_control->methods().size();
    QTest::qWait(100);
    QCOMPARE(m_control->methods().size(), activations);
    QCOMPARE(back.size(), 1);
}

// "Invia FAX" while the appliance is away and its pages hang: the watch's
// retry falls due inside the press's wait for the page (its minute made
// short here) and starts no second wait; the press says at once that it is
// asking, and the box comes from that one wait.
void TestSubmissionFlow::pressAsksTheApplianceOnce()
{
    QStringList asked;
    PageServer appliance(&asked);
    appliance.setSilentPage(u"/"_s);
    ApplianceWatch watch(*m_host);
    watch.setRetryMs(1);
    m_flow->setApplianceWatch(&watch);
    bool checkingInTheWait = false;
    m_control->onAttiva = [&] {
        checkingInTheWait = m_flow->isChecking();
        if (!httpGet(QUrl(u"http://127.0.0.1:%1/"_s.arg(appliance.port())), 300))
            m_control->message(ApplianceOffline.toString());
    };
    (void)watch.activate(); // the mock always succeeds; the test looks at the watch
    addDestination(u"111"_s);
    addDocument(u"/tmp/a.ps"_s);
    QSignalSpy checking(m_flow.get(), &SubmissionFlow::checkingAppliance);
    asked.clear();
    m_flow->send();
    QCOMPARE(asked.size(), 1);
    QVERIFY(checkingInTheWait);
    QCOMPARE(checking.size(), 2);
    QCOMPARE(checking.at(0).at(0).toBool(), true);
    QCOMPARE(checking.at(1).at(0).toBool(), false);
    QCOMPARE(m_box.texts(), QStringList{texts::ApplianceAway});
}

// The press comes while the watch's retry waits for the appliance: it asks
// no second time, and has that wait's answer.
void TestSubmissionFlow::pressJoinsAnActivationUnderWay_data()
{
    QTest::addColumn<bool>("back");
    QTest::newRow("still away: the box") << false;
    QTest::newRow("back: the fax goes") << true;
}

void TestSubmissionFlow::pressJoinsAnActivationUnderWay()
{
    QFETCH(bool, back);
    test::ManualTimer minute;
    ApplianceWatch watch(*m_host);
    watch.setTimer(minute);
    m_flow->setApplianceWatch(&watch);
    m_control->onAttiva = [this] {
        m_control->message(ApplianceOffline.toString());
    };
    (void)watch.activate(); // the mock always succeeds; the test looks at the watch
    addDestination(u"111"_s);
    addDocument(u"/tmp/a.ps"_s);
    bool pressed = false;
    bool checkingInTheWait = false;
    m_control->onAttiva = [&] {
        if (!std::exchange(pressed, true)) {
            m_flow->send();
            checkingInTheWait = m_flow->isChecking();
        }
        QVERIFY(m_box.shown().isEmpty());
        if (!back)
            m_control->message(ApplianceOffline.toString());
    };
    minute.fire();
    QVERIFY(checkingInTheWait);
    QTRY_VERIFY(!m_flow->isChecking());
    QCOMPARE(m_control->methods().count(u"Attiva"_s), 2);
    QCOMPARE(m_box.texts(), back ? QStringList() : QStringList{texts::ApplianceAway});
    QCOMPARE(m_control->sent.size(), back ? 1 : 0);
}

void TestSubmissionFlow::groupInOneSession()
{
    // Every destination in one SendFax: one upload, one job each, reported
    // in order. Rows removed meanwhile are never taken for another; one
    // added meanwhile goes in a session of its own afterwards.
    m_settings.set(settings::GroupSend, u"1"_s);
    m_settings.prefix = u"0"_s;
    addDestination(u"111"_s);
    addDestination(u"222"_s);
    addDestination(u"333"_s);
    addDocument(u"/tmp/a.ps"_s);
    m_flow->send();
    QCOMPARE(m_control->methods(), QStringList{u"SendFax 0111:0222:0333"_s});
    m_destinations.removeRow(2); // 222, while its job is on its way
    addDestination(u"444"_s);
    m_control->submit(u"1"_s);
    QCOMPARE(m_destinations.column(1), (QStringList{u"333"_s, u"444"_s}));
    m_control->submit(u"2"_s);
    m_control->submit(u"3"_s);
    QCOMPARE(m_destinations.column(1), QStringList{u"444"_s});
    QCOMPARE(m_control->methods().constLast(), u"SendFax 0444"_s);
    m_control->submit(u"4"_s);
    QVERIFY(!m_flow->isRunning());
    QCOMPARE(m_box.texts(), QStringList{texts::submissionSummary(u"ufficio@example.org"_s, u" 1 2 3 4"_s)});
}

void TestSubmissionFlow::groupFailsAtOneDestination()
{
    // The session ends at the second destination: it and those after it
    // stay, with the documents back, as one session per destination would
    // leave them.
    m_settings.set(settings::GroupSend, u"1"_s);
    addDestination(u"111"_s);
    addDestination(u"222"_s);
    addDestination(u"333"_s);
    addDocument(u"/tmp/a.ps"_s);
    m_flow->send();
    m_control->submit(u"7"_s);
    m_control->message(u"Il server fax ha chiuso la connessione: fax non inviato"_s);
    QVERIFY(!m_flow->isRunning());
    QCOMPARE(m_destinations.column(1), (QStringList{u"222"_s, u"333"_s}));
    QCOMPARE(documentPaths(), QStringList{u"/tmp/a.ps"_s});
    QVERIFY(m_box.texts().constLast().contains(u"Numero di Protocollo FAX dei fax già inoltrati: 7"_s));
}

void TestSubmissionFlow::numberWithoutDigits_data()
{
    QTest::addColumn<bool>("group");
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("addedMeanwhile"); // while the first job is on its way
    QTest::newRow("one session, stored as n.d. (listed empty)") << true << QString() << false;
    QTest::newRow("one session each, only a slash") << false << u"/"_s << false;
    QTest::newRow("one session each, added meanwhile") << false << QString() << true;
}

// A destination without a digit would make no job (the control leaves
// empty numbers out): the press sends nothing and names it; one added after
// the press stops the submission there, the jobs that went told.
void TestSubmissionFlow::numberWithoutDigits()
{
    QFETCH(bool, group);
    QFETCH(QString, number);
    QFETCH(bool, addedMeanwhile);
    m_settings.set(settings::GroupSend, group ? u"1"_s : u"0"_s);
    m_settings.prefix = u"0"_s; // a prefix alone is no number either
    addDestination(u"111"_s, u"Studio Rossi"_s);
    if (!addedMeanwhile)
        addDestination(number, u"Mario Bianchi"_s);
    addDestination(u"333"_s, u"Verdi"_s);
    addDocument(u"/tmp/a.ps"_s);
    QSignalSpy submitted(m_flow.get(), &SubmissionFlow::jobSubmitted);
    m_flow->send();
    const QString refusal = texts::numbers::noDigits(u"Mario Bianchi"_s, number);
    if (!addedMeanwhile) {
        QCOMPARE(m_box.texts(), QStringList{refusal});
        QVERIFY(m_control->sent.isEmpty());
        QVERIFY(!m_flow->isRunning());
        QCOMPARE(m_destinations.column(1), (QStringList{u"111"_s, number, u"333"_s}));
        QCOMPARE(documentPaths(), QStringList{u"/tmp/a.ps"_s});
        return;
    }
    m_destinations.insertRows(2, {{QString(), number, u"Mario Bianchi"_s}});
    m_control->submit(u"1"_s);
    QCOMPARE(m_control->sent.size(), 1);
    QVERIFY(!m_flow->isRunning());
    QCOMPARE(m_box.texts().size(), 2);
    QCOMPARE(m_box.texts().at(0), refusal);
    QVERIFY(m_box.texts().at(1).contains(u"già inoltrati: 1"_s));
    QCOMPARE(m_destinations.column(1), (QStringList{number, u"333"_s}));
    QCOMPARE(documentPaths(), QStringList{u"/tmp/a.ps"_s});
    QCOMPARE(submitted.size(), 1);
    QCOMPARE(submitted.at(0).at(0).value<SubmittedJob>().description, u"Studio Rossi"_s);
}

// The options of the press go with every session of it (one per
// destination here), whatever the row says meanwhile, and the history is
// told the planned time.
void TestSubmissionFlow::jobOptionsForEveryDestination()
{
    const QDateTime tomorrow(QDate::currentDate().addDays(1), QTime(9, 30));
    JobOptions asked{tomorrow, 5, true, 4};
    m_flow->setJobOptions([&asked] { return asked; });
    addDestination(u"0611"_s);
    addDestination(u"0622"_s);
    addDocument(u"/tmp/d.ps"_s);
    QSignalSpy jobs(m_flow.get(), &SubmissionFlow::jobSubmitted);
    m_flow->send();
    const JobOptions pressed = asked;
    asked = JobOptions{};
    m_control->submit(u"17"_s);
    m_control->submit(u"18"_s);
    QCOMPARE(m_control->sent.size(), 2);
    QCOMPARE(m_control->sent.at(0).options, pressed);
    QCOMPARE(m_control->sent.at(1).options, pressed);
    QCOMPARE(jobs.size(), 2);
    QCOMPARE(jobs.at(1).at(0).value<SubmittedJob>().planned, tomorrow);
}

void TestSubmissionFlow::wrongJobOptionsSendNothing_data()
{
    QTest::addColumn<JobOptions>("options");
    QTest::addColumn<QString>("message");
    const QDateTime now = QDateTime::currentDateTime();
    QTest::newRow("send time past") << JobOptions{now.addDays(-1), {}, false, {}}
                                    << texts::sendoptions::SendTimePast;
    QTest::newRow("more than a year ahead")
        << JobOptions{now.addDays(400), {}, false, {}} << texts::sendoptions::SendTimeTooFar;
    QTest::newRow("given up before it goes")
        << JobOptions{now.addDays(1), 0, false, {}} << texts::sendoptions::KillBeforeSend;
    QTest::newRow("no tries") << JobOptions{{}, {}, false, 0} << texts::sendoptions::TriesOutOfRange;
}

void TestSubmissionFlow::wrongJobOptionsSendNothing()
{
    QFETCH(JobOptions, options);
    QFETCH(QString, message);
    m_flow->setJobOptions([options] { return options; });
    addDestination(u"0611"_s);
    addDocument(u"/tmp/d.ps"_s);
    m_flow->send();
    QVERIFY(m_control->sent.isEmpty());
    QCOMPARE(m_box.shown().size(), 1);
    QCOMPARE(m_box.shown().at(0).text, message);
    QVERIFY(!m_flow->isRunning());
    QCOMPARE(m_documents.rows(), 2);
    QCOMPARE(m_destinations.rows(), 2);
}

// A control library of before the options: a fax to be sent later is not
// sent at once instead.
void TestSubmissionFlow::jobOptionsNeedTheControlsExtension()
{
    auto control = std::make_unique<RecordingControl>();
    m_control = control.get();
    m_host->adopt(std::move(control)); // held as the first interface only
    m_flow->setJobOptions([] { return JobOptions{{}, {}, true, {}}; });
    addDestination(u"0611"_s);
    addDocument(u"/tmp/d.ps"_s);
    QSignalSpy failed(m_host.get(), &CorvanefaxHost::submissionFailed);
    m_flow->send();
    QVERIFY(m_control->sent.isEmpty());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), NoJobOptions.toString());
    QCOMPARE(m_documents.rows(), 2); // back for the next press
    QVERIFY(!m_flow->isRunning());
}

void TestSubmissionFlow::lettersEachWithTheirOwnDocument_data()
{
    QTest::addColumn<bool>("group");
    QTest::addColumn<QString>("cover");
    QTest::addColumn<QStringList>("destinations"); // "number" or "number=letter"
    QTest::addColumn<QStringList>("listed");       // the document list at the press
    QTest::addColumn<QStringList>("sessions");     // "numbers files" of each SendFax
    QTest::addColumn<QStringList>("documentsLeft");
    const QStringList letters{u"111=/l/a.ps"_s, u"222=/l/b.ps"_s};
    const QStringList each{u"111 /l/a.ps,"_s, u"222 /l/b.ps,"_s};
    QTest::newRow("letters, one session each, the list left alone")
        << true << u"none"_s << letters << QStringList{u"/tmp/d.ps"_s} << each << QStringList{u"/tmp/d.ps"_s};
    QTest::newRow("letters, nothing in the document list")
        << true << u"none"_s << letters << QStringList() << each << QStringList();
    QTest::newRow("the cover before each letter")
        << false << u"/c/cover.pdf"_s << letters << QStringList()
        << QStringList{u"111 /c/cover.pdf,/l/a.ps,"_s, u"222 /c/cover.pdf,/l/b.ps,"_s} << QStringList();
    QTest::newRow("typed numbers together with the list, then a letter")
        << true << u"none"_s << QStringList{u"111"_s, u"222"_s, u"333=/l/c.ps"_s}
        << QStringList{u"/tmp/d.ps"_s} << QStringList{u"111:222 /tmp/d.ps,"_s, u"333 /l/c.ps,"_s}
        << QStringList();
    QTest::newRow("a letter, then a typed number with the list")
        << true << u"none"_s << QStringList{u"111=/l/a.ps"_s, u"222"_s} << QStringList{u"/tmp/d.ps"_s}
        << QStringList{u"111 /l/a.ps,"_s, u"222 /tmp/d.ps,"_s} << QStringList();
}

// Each letter of a tagged print goes alone with its own document, never
// with the others' nor with the document list; one summary names every job.
void TestSubmissionFlow::lettersEachWithTheirOwnDocument()
{
    QFETCH(bool, group);
    QFETCH(QString, cover);
    QFETCH(QStringList, destinations);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, sessions);
    QFETCH(QStringList, documentsLeft);
    m_settings.set(settings::GroupSend, group ? u"1"_s : u"0"_s);
    m_settings.cover = cover;
    for (const QString& entry : std::as_const(destinations))
        addEntry(m_destinations, entry);
    for (const QString& path : std::as_const(listed))
        addDocument(path);
    m_flow->send();
    QStringList sent;
    QStringList jobList;
    for (int session = 0; session < m_control->sent.size(); ++session) {
        const RecordingControl::SentFax fax = m_control->sent.at(session);
        sent << fax.number + u' ' + fax.files;
        for (qsizetype n = 0; n < fax.number.count(u':') + 1; ++n) {
            jobList << QString::number(jobList.size() + 1);
            m_control->submit(jobList.constLast());
        }
    }
    QCOMPARE(sent, sessions);
    QVERIFY(!m_flow->isRunning());
    QCOMPARE(m_destinations.rows(), 1);
    QCOMPARE(documentPaths(), documentsLeft);
    QCOMPARE(m_box.texts(),
             QStringList{texts::submissionSummary(u"ufficio@example.org"_s, u' ' + jobList.join(u' '))});
}

// Without the user: the settings' send options whatever the window's row
// says, and no summary box: the jobs go to sentUnattended, and the window
// is left as it is.
void TestSubmissionFlow::unattendedPress()
{
    m_settings.set(settings::Standard, u"1"_s);
    m_flow->setJobOptions([] { return JobOptions{{}, 12, false, 3}; });
    addEntry(m_destinations, u"111=/l/a.ps"_s);
    addEntry(m_destinations, u"222=/l/b.ps"_s);
    QSignalSpy sentUnattended(m_flow.get(), &SubmissionFlow::sentUnattended);
    QSignalSpy finished(m_flow.get(), &SubmissionFlow::finished);
    m_flow->sendUnattended();
    m_control->submit(u"31"_s);
    m_control->submit(u"32"_s);
    QCOMPARE(m_control->sent.size(), 2);
    QCOMPARE(m_control->sent.at(0).options, jobOptionsOf(m_settings));
    QVERIFY(m_box.shown().isEmpty());
    QCOMPARE(sentUnattended.size(), 1);
    const auto jobs = sentUnattended.at(0).at(0).value<QList<SubmittedJob>>();
    QCOMPARE(jobs.size(), 2);
    QCOMPARE(jobs.at(1).job, u"32"_s);
    QCOMPARE(jobs.at(1).documents, QStringList{u"/l/b.ps"_s});
    // The window, opened meanwhile to list another print, stays open.
    QCOMPARE(finished.size(), 0);
}

void TestSubmissionFlow::unattendedStopsShort_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("a number without digits") << u"no digits"_s;
    QTest::newRow("the session failed") << u"failed"_s;
}

// What is left stays listed, the user told why, and the window is to come
// up (unattendedStopped), with no summary of the jobs.
void TestSubmissionFlow::unattendedStopsShort()
{
    QFETCH(QString, how);
    addEntry(m_destinations, u"111=/l/a.ps"_s);
    addEntry(m_destinations, how == u"no digits"_s ? u"n.d.=/l/b.ps"_s : u"222=/l/b.ps"_s);
    QSignalSpy stopped(m_flow.get(), &SubmissionFlow::unattendedStopped);
    QSignalSpy sentUnattended(m_flow.get(), &SubmissionFlow::sentUnattended);
    m_flow->sendUnattended();
    if (how == u"failed"_s) {
        m_control->submit(u"5"_s);
        m_control->message(u"Il server fax ha chiuso la connessione: fax non inviato"_s);
        QVERIFY(m_box.texts().constLast().contains(u"già inoltrati: 5"_s));
    } else {
        QCOMPARE(m_box.texts(), QStringList{texts::numbers::noDigits(QString(), u"n.d."_s)});
    }
    QCOMPARE(stopped.size(), 1);
    QCOMPARE(sentUnattended.size(), 0);
    QVERIFY(!m_flow->isRunning());
    QCOMPARE(m_destinations.column(DestinationColumn::Letter).constLast(), u"/l/b.ps"_s);
}

QTEST_GUILESS_MAIN(TestSubmissionFlow)
#include "tst_submissionflow.moc"
