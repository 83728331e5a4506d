// The notice when a fax ends, against a small notification service of the
// test's own on a private session bus: the test runs itself again under
// dbus-run-session (and skips, saying why, where that is missing). Where
// the desktop has no such service the notice goes to the fallback.

#include "ClientTexts.h"
#include "DesktopNotices.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using namespace kestrel;

namespace {

constexpr const char* PrivateBusMark = "KESTREL_PRIVATE_BUS";

// What a desktop's notification service does, as far as the program uses it.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown
    {
        QString summary;
        QStringList actions;
    };
    QList<Shown> shown;
    bool silent = false; // takes the notice and never answers

public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString&,
                const QStringList& actions, const QVariantMap&, int, const QDBusMessage& call)
    {
        shown.append({summary, actions});
        if (silent)
            call.setDelayedReply(true);
        return uint(shown.size()) + 100;
    }
    QStringList GetCapabilities() { return {u"actions"_s, u"body"_s}; }
};

} // namespace

class TestDesktopNotices : public QObject
{
    Q_OBJECT
    std::unique_ptr<QDBusConnection> m_serviceBus;
    NotificationService m_service;

    struct Fallen
    {
        int fax;
        QString text;
        bool resend;
    };
    QList<Fallen> m_fallen;
    DesktopNotices::Fallback fallback()
    {
        return [this](int fax, const QString& text, bool resend) {
            m_fallen.append({fax, text, resend});
        };
    }

    void requirePrivateBus()
    {
        if (qEnvironmentVariable(PrivateBusMark) != u"1"_s)
            QSKIP("dbus-run-session is missing: no private session bus to hold a notification service");
    }
    void invoke(uint id, const QString& key)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(QString::fromLatin1(DesktopNotices::Path),
                                       QString::fromLatin1(DesktopNotices::Interface), u"ActionInvoked"_s);
        signal << id << key;
        m_serviceBus->send(signal);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariable(PrivateBusMark) != u"1"_s)
            return;
        // The service on a connection of its own, as another program.
        m_serviceBus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"notification-service"_s));
        QVERIFY(m_serviceBus->isConnected());
        QVERIFY(m_serviceBus->registerObject(QString::fromLatin1(DesktopNotices::Path), &m_service,
                                             QDBusConnection::ExportAllSlots));
        QVERIFY(m_serviceBus->registerService(QString::fromLatin1(DesktopNotices::Service)));
    }
    void init()
    {
        m_fallen.clear();
        m_service.shown.clear();
        m_service.silent = false;
    }

    void throughTheService_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("resend");
        QTest::newRow("sent") << texts::history::sentNotice(u"Studio Rossi"_s, 3) << false;
        QTest::newRow("failed") << texts::history::failedNotice(u"0612345"_s, u"Busy signal detected"_s)
                                << true;
    }
    void throughTheService()
    {
        QFETCH(QString, text);
        QFETCH(bool, resend);
        requirePrivateBus();
        DesktopNotices notices(QDBusConnection::sessionBus(), fallback());
        QSignalSpy resent(&notices, &DesktopNotices::resendRequested);
        QSignalSpy opened(&notices, &DesktopNotices::openRequested);
        notices.show(4, text, resend);
        QTRY_COMPARE(m_service.shown.size(), 1);
        QCOMPARE(m_service.shown.at(0).summary, text);
        QCOMPARE(m_service.shown.at(0).actions.contains(texts::history::ResendAction), resend);
        // The service's answer, with the notice's id, is in.
        QTRY_VERIFY(notices.findChildren<QDBusPendingCallWatcher*>().isEmpty());
        invoke(101, QString::fromLatin1(DesktopNotices::ResendKey));
        invoke(101, QString::fromLatin1(DesktopNotices::OpenKey));
        invoke(999, QString::fromLatin1(DesktopNotices::ResendKey)); // another program's notice
        QTRY_COMPARE(opened.size(), 1);
        QCOMPARE(opened.at(0).at(0).toInt(), 4);
        // Only a notice that offered it resends (the service shows what the
        // program asked for; a key it never offered is not acted on).
        QCOMPARE(resent.size(), resend ? 1 : 0);
        QVERIFY(m_fallen.isEmpty());
    }

    // A desktop whose bus has nobody to show notices.
    void noServiceOnTheBus()
    {
        requirePrivateBus();
        QVERIFY(m_serviceBus->unregisterService(QString::fromLatin1(DesktopNotices::Service)));
        DesktopNotices notices(QDBusConnection::sessionBus(), fallback());
        notices.show(2, u"Fax a 0612345 inviato (1 pagine)"_s, false);
        QTRY_COMPARE(m_fallen.size(), 1);
        QCOMPARE(m_fallen.at(0).text, u"Fax a 0612345 inviato (1 pagine)"_s);
        QVERIFY(m_service.shown.isEmpty());
        QVERIFY(m_serviceBus->registerService(QString::fromLatin1(DesktopNotices::Service)));
    }

    // A service that takes the call and never answers: the notice goes to
    // the fallback once the bounded wait is over (the bus alone waits 25 s).
    void serviceNeverAnswers()
    {
        requirePrivateBus();
        m_service.silent = true;
        DesktopNotices notices(QDBusConnection::sessionBus(), fallback());
        notices.show(5, u"Fax a 0612345 inviato (1 pagine)"_s, false);
        QTRY_COMPARE(m_service.shown.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_fallen.size(), 1, 15000);
        QCOMPARE(m_fallen.at(0).fax, 5);
    }

    void noBus()
    {
        DesktopNotices notices(QDBusConnection(u"no-bus"_s), fallback());
        notices.show(3, u"Fax a 0612345 non riuscito: No answer"_s, true);
        QCOMPARE(m_fallen.size(), 1);
        QCOMPARE(m_fallen.at(0).fax, 3);
        QVERIFY(m_fallen.at(0).resend);
    }
};

int main(int argc, char* argv[])
{
    // Once more under a private session bus, unless this is that run.
    if (qEnvironmentVariableIsEmpty(PrivateBusMark)) {
        ::setenv(PrivateBusMark, "1", 1);
        char self[4096] = {};
        if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
            return 1;
        std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--"), self};
        for (int i = 1; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        ::execvp(args.front(), args.data());
        ::setenv(PrivateBusMark, "missing", 1);
    }
    QCoreApplication app(argc, argv);
    TestDesktopNotices test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktopnotices.moc"
