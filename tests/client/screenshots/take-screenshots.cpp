// Takes a picture of every window of the client, filled as a user sees it,
// for the README: corvafax-screenshots OUTPUT_FOLDER. Run it on a real
// display (scripts/screenshots.sh uses Xvfb). The fax control is a stand-in:
// the pictures need no appliance.

#include "ClientApplication.h"
#include "ClientTexts.h"
#include "ContactDatabase.h"
#include "DesktopNotices.h"
#include "DesktopShell.h"
#include "Dialog.h"
#include "FaxHistory.h"
#include "FaxStatusWindow.h"
#include "FrmAggiungi.h"
#include "FrmMsg.h"
#include "FrmOption.h"
#include "FrmRubrica.h"
#include "FrmSend.h"
#include "RecordingControl.h"
#include "RecordingFaxStatus.h"
#include "ScriptedTagReader.h"
#include "SendOptionsRow.h"
#include "WidgetMessageBox.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace kestrel;

namespace {

bool save(QWidget& window, const QString& folder, const QString& name)
{
    window.show();
    window.raise();
    // Let it lay out and paint first.
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    const QString path = folder + u'/' + name + u".png"_s;
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

// A few faxes of each kind, as the status window lists them.
void fillHistory(FaxHistory& history)
{
    struct Fax
    {
        const char16_t* job;
        const char16_t* number;
        const char16_t* name;
        FaxState state;
        int sent, total, tries;
        const char16_t* reason;
        int minutesAgo;
    };
    const Fax faxes[] = {
        {u"118", u"0612345", u"Studio Rossi", FaxState::Sent, 3, 3, 1, u"", 190},
        {u"119", u"0298765432", u"Dell'Orto forniture", FaxState::Failed, 0, 2, 3, u"Busy signal detected",
         150},
        {u"120", u"0556677", u"Ufficio acquisti", FaxState::Cancelled, 0, 1, 0, u"Job aborted by request",
         95},
        {u"121", u"0698765", u"", FaxState::ToCheck, 0, 0, 0, u"", 40},
        {u"122", u"0612345", u"Studio Rossi", FaxState::Sending, 1, 4, 1, u"", 3},
        {u"123", u"0245678", u"", FaxState::Queued, 0, 2, 1, u"No answer from remote", 1},
    };
    const QDateTime now = QDateTime::currentDateTime();
    for (const Fax& fax : faxes) {
        FaxRecord record;
        record.job = QString::fromUtf16(fax.job);
        record.appliance = u"fax.ufficio.local"_s;
        record.number = QString::fromUtf16(fax.number);
        record.name = QString::fromUtf16(fax.name);
        record.state = fax.state;
        record.pagesSent = fax.sent;
        record.pagesTotal = fax.total;
        record.tries = fax.tries;
        record.reason = QString::fromUtf16(fax.reason);
        record.submitted = now.addSecs(-60 * fax.minutesAgo);
        history.add(record);
    }
}

// The notice as the desktop's notification service draws it, cut from the
// screen; without one, as the program's own notice window shows it.
bool saveNotice(ClientApplication& client, const QString& folder)
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    QElapsedTimer waited;
    waited.start();
    while (bus && !bus->isServiceRegistered(QString::fromLatin1(DesktopNotices::Service)) &&
           waited.elapsed() < 3000)
        QThread::msleep(50);
    const QString text = texts::history::failedNotice(u"Dell'Orto forniture"_s, u"Numero occupato"_s);
    if (!bus || !bus->isServiceRegistered(QString::fromLatin1(DesktopNotices::Service))) {
        // In place of whatever notice the start left on show.
        FrmMsg& notice = FrmMsg::load();
        notice.setNotice(text);
        notice.setTimerEnabled(false);
        notice.show();
        return save(notice, folder, u"fax-notice"_s);
    }
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    client.notices().show(1, text, true);
    settle(1500);
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    // The notice is what is not the empty screen's black.
    QRect drawn;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            if (qGray(screen.pixel(x, y)) > 8)
                drawn |= QRect(x, y, 1, 1);
        }
    }
    const QString path = folder + u"/fax-notice.png"_s;
    if (drawn.isEmpty() || !screen.copy(drawn.adjusted(-8, -8, 8, 8)).save(path)) {
        std::fprintf(stderr, "no notice on the screen\n");
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ClientApplication::setUpApplication();
    if (argc != 2) {
        std::fprintf(stderr, "usage: corvafax-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir program;
    QFile ini(program.filePath(u"KZV.INI"_s));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[MAIN]\r\nIP=fax.ufficio.local\r\nUSER=ufficio\r\nPASS=segreta\r\nMAIL=fax@ufficio.example\r\n"
              "PREFIX=0\r\nCOVER=/home/ufficio/copertina.pdf\r\n");
    ini.close();

    // The program as main() makes it, with a stand-in for the fax control
    // and the appliance's line page.
    ClientApplication::Replacements replacements;
    replacements.trayAvailable = [] {
        return true;
    };
    replacements.createControl = [](CorvanefaxHost& host) -> Status {
        host.adopt(std::make_unique<test::RecordingControl>());
        return {};
    };
    replacements.fetchPage = [](const QUrl&, int) -> Expected<QString> {
        return u"<p1>ttyS0</p1><n1>Linea Uno</n1><p2>ttyS1</p2><n2>Linea Due</n2>"_s;
    };
    // Desktop contacts of the program folder.
    QFile cards(program.filePath(u"contatti.vcf"_s));
    if (!cards.open(QIODevice::WriteOnly))
        return 1;
    cards.write("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Bianchi;Laura;;;\r\nORG:Bianchi Srl\r\n"
                "TEL;TYPE=WORK,FAX:+39 02 555 1234\r\nEND:VCARD\r\n");
    cards.close();
    replacements.createFaxStatus = [](FaxStatusHost& host) -> Status {
        host.adopt(std::make_unique<test::RecordingFaxStatus>());
        return {};
    };
    // Prints read at once: two without tags, then a mail merge of letters.
    test::ScriptedTagReader* reader = nullptr;
    replacements.makeTagReader = [&reader] {
        auto scripted = std::make_unique<test::ScriptedTagReader>();
        reader = scripted.get();
        return scripted;
    };
    ClientApplication client(program.path(), replacements);
    if (!client.start())
        return 1;
    bool ok = true;

    FrmSend& send = client.sendWindow();
    auto& control = static_cast<test::RecordingControl&>(*send.host().control());
    control.printed(u"/tmp/kestrel-202612081015231.ps"_s);
    control.printed(u"/tmp/kestrel-202612081016470.ps"_s);
    send.destinations().appendRow({QString(), u"0612345"_s, u"Studio Rossi"_s});
    send.destinations().appendRow({QString(), u"0698765"_s, QString()});
    ok &= save(send, out, u"send-window"_s);
    send.sendOptions()->setOpen(true);
    ok &= save(send, out, u"send-options"_s);
    send.sendOptions()->setOpen(false);
    send.hide();

    send.destinations().setRows(1);
    send.documents().setRows(1);
    reader->scripts = {test::ScriptedTagReader::tagged({{u"0612345"_s, u"Studio Rossi"_s, 2},
                                                        {u"0298765432"_s, u"Dell'Orto forniture"_s, 3},
                                                        {u"0556677"_s, u"Ufficio acquisti"_s, 2}})};
    control.printed(u"/tmp/kestrel-202612081130112.ps"_s);
    ok &= save(send, out, u"send-window-letters"_s);
    send.destinations().setRows(1);
    send.hide();

    FrmOption& optionsWindow = client.optionsWindow();
    optionsWindow.showModeless();
    ok &= save(optionsWindow, out, u"options-window"_s);
    optionsWindow.hide();

    FrmMsg& notice = FrmMsg::load();
    notice.setNotice(u"Appliance KESTREL Offline"_s);
    notice.setTimerEnabled(false);
    notice.show();
    ok &= save(notice, out, u"notice"_s);

    WidgetMessageBox box;
    DesktopShell shell;
    Dialog menu(box, shell, Dialog::Intervals{1, 60000});
    ok &= save(menu, out, u"tray-menu"_s);
    menu.hide();

    // The address book with a few contacts of each kind.
    ContactDatabase& contacts = client.contacts();
    for (const ContactRow& row : {ContactRow{u"0612345"_s, u"Studio Rossi"_s, u"1"_s},
                                  ContactRow{u"0298765432"_s, u"Dell'Orto forniture"_s, u"1"_s},
                                  ContactRow{u"0556677"_s, u"Ufficio acquisti"_s, u"2"_s}}) {
        if (!contacts.insertContact(row))
            return 1;
    }
    FrmRubrica& book = client.addressBook();
    book.showWindow();
    // The contacts are read on the store's thread.
    QElapsedTimer listing;
    listing.start();
    while (book.isWaiting() && listing.elapsed() < 10'000) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    book.gridClick(3, 1); // marked for sending
    ok &= save(book, out, u"address-book"_s);
    book.gridClick(2, 5); // "-": the editor on a stored contact
    if (!book.editor())
        return 1;
    ok &= save(*book.editor(), out, u"contact-editor"_s);
    book.editor()->hide();
    book.hide();

    fillHistory(client.history());
    FaxStatusWindow& status = client.statusWindow();
    status.showInFront();
    // The fax still queued, selected: "Annulla fax" and "Sposta invio..." apply.
    const QList<FaxRecord>& faxes = client.history().records();
    for (int fax = 0; fax < faxes.size(); ++fax) {
        if (faxes.at(fax).state == FaxState::Queued)
            status.showFax(fax);
    }
    ok &= save(status, out, u"status-window"_s);
    ok &= saveNotice(client, out);
    return ok ? 0 : 1;
}
