#pragma once

// The address book as the program wires it, for the window tests: a real
// send window (a recording stand-in for its control), its start-up loading
// the desktop contacts from a vCard file, the contact store on a copy of
// the shipped empty database, and the address book on the send window's
// destinations. The windows talk to the store; the tests set the file up
// through a database of their own.

#include "ContactDatabase.h"
#include "DesktopContacts.h"
#include "FileContactStore.h"
#include "FrmAggiungi.h"
#include "FrmRubrica.h"
#include "FrmSend.h"
#include "ListGrid.h"
#include "RecordingControl.h"
#include "ScriptedMessageBox.h"
#include "TestFiles.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace kestrel::test {

using namespace Qt::StringLiterals;

// Two desktop contacts with a business fax number and one without.
inline const QByteArray SampleCards = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Rossi;Anna;;;\r\nORG:ACME\r\n"
                                      "TEL;TYPE=WORK,FAX:+39 06 1234\r\nEND:VCARD\r\n"
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Neri;Carla;;;\r\n"
                                      "TEL;TYPE=HOME:06 5555\r\nEND:VCARD\r\n"
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Verdi;Bruno;;;\r\nORG:Verdi\r\n"
                                      "TEL;TYPE=WORK,FAX:06 999\r\nEND:VCARD\r\n";

// Listed after the desktop contacts (rows 1 and 2) in the listing's order:
// Alfa 3, Zeta 4, Bianchi 5, Dell'Orto 6.
inline const QList<ContactRow> SampleRows{{u"+39 02 123"_s, u"Bianchi"_s, u"2"_s},
                                          {u"0622"_s, u"Zeta"_s, u"1"_s},
                                          {u"0733"_s, u"Dell'Orto"_s, u"3"_s},
                                          {u"0611"_s, u"Alfa"_s, u"1"_s}};

class AddressBookSetup
{
public:
    ScriptedMessageBox box;
    QStringList log; // notices and always-on-top requests, in order
    std::unique_ptr<ContactDatabase> database;
    std::unique_ptr<FileContactStore> store; // outlives the windows
    std::unique_ptr<Outbox> outbox;          // outlives the window
    std::unique_ptr<FrmSend> send;
    std::unique_ptr<FrmRubrica> book;

    // The send window loaded and the address book shown from its button.
    void start()
    {
        QVERIFY(m_dir.isValid());
        const QString databasePath = m_dir.filePath(u"rubrica.db"_s);
        QVERIFY(QFile::copy(QString::fromUtf8(KESTREL_SHIPPED_RUBRICA), databasePath));
        QFile::setPermissions(databasePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(testfiles::write(m_dir.filePath(u"contatti.vcf"_s), SampleCards));
        QVERIFY(testfiles::write(m_dir.filePath(u"KZV.INI"_s),
                                 "[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\nVCARD=" +
                                     m_dir.filePath(u"contatti.vcf"_s).toUtf8() + "\r\n"));
        m_settings = std::make_unique<SettingsStore>(m_dir.path());
        database = std::make_unique<ContactDatabase>(databasePath, box);
        for (const ContactRow& row : SampleRows)
            QVERIFY(database->insertContact(row));
        store = std::make_unique<FileContactStore>(databasePath);

        const auto onTop = [this](QWidget* window, bool on) {
            log << u"on top %1 %2"_s.arg(window->objectName()).arg(on);
        };
        outbox = std::make_unique<Outbox>(m_lines, box);
        FrmSend::Services s;
        s.settings = m_settings.get();
        s.lines = &m_lines;
        s.messageBox = &box;
        s.outbox = outbox.get();
        s.setAlwaysOnTop = onTop;
        s.loadDesktopContacts = [this] {
            m_desktop = DesktopContacts::LoadOutlookContacts(
                m_settings->values().vcard, {[this](const QString& text) { log << u"notice "_s + text; },
                                             [this] { log << u"notice closed"_s; },
                                             {}});
        };
        s.createControl = [](CorvanefaxHost& host) -> Status {
            host.adopt(std::make_unique<RecordingControl>());
            return {};
        };
        s.fetchPage = [](const QUrl&, int) -> Expected<QString> {
            return Error{u"no appliance in this test"_s};
        };
        send = std::make_unique<FrmSend>(s);
        book = std::make_unique<FrmRubrica>(FrmRubrica::Services{store.get(), &m_desktop, &box, onTop},
                                            send->destinations());
        QObject::connect(send.get(), &FrmSend::addressBookRequested, book.get(), &FrmRubrica::showWindow);
        QObject::connect(send.get(), &FrmSend::companionsHidden, book.get(), &FrmRubrica::hideWithEditor);
        send->load();
        send->showInFront();
        openBook();
    }

    // The address book shown from the send window, its contacts listed.
    void openBook()
    {
        QTest::mouseClick(send->findChild<QPushButton*>(u"cmdrubrica"_s), Qt::LeftButton);
        settle();
    }
    // Until the store has answered what the windows asked of it: a change
    // and the listing that follows it.
    void settle() const
    {
        QTRY_VERIFY(!book->isWaiting() && !(book->editor() && book->editor()->isSaving()));
    }
    QPushButton* bookButton(const QString& name) const { return book->findChild<QPushButton*>(name); }
    GridRows& rows() const { return book->rows(); }
    FrmAggiungi& editor() const { return *book->editor(); }

    // A mouse click on a cell of the address book (row 1 is the first
    // contact).
    void clickCell(int row, int col) const
    {
        ListGrid* grid = book->msfgRubrica();
        const QModelIndex index = grid->model()->index(row - 1, col);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }
    void clickHeader(int col) const
    {
        QHeaderView* header = book->msfgRubrica()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(col) + 3, header->height() / 2));
    }
    // The address book's marks, by row.
    QStringList marks() const { return rows().column(AddressBookGrid::Select); }
    int listedRow(const QString& number) const
    {
        return int(rows().column(AddressBookGrid::Number).indexOf(number)) + 1;
    }
    // What the database holds, in the listing's order.
    QList<ContactRow> stored() const
    {
        ScriptedMessageBox quiet;
        const auto listed = ContactDatabase(database->databasePath(), quiet).listContacts();
        return listed ? *listed : QList<ContactRow>();
    }
    // The editor's number, description, group, `InEdit` and save caption
    // (as read, without its mnemonic mark).
    QStringList editorFields() const
    {
        const FrmAggiungi& e = editor();
        return {e.txtNFax()->text(), e.txtDesc()->text(), e.cmbGruppo()->currentText(), e.inEdit(),
                QString(e.cmdAddContact()->text()).remove(u'&')};
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    LineTable m_lines;
    DesktopContacts m_desktop;
};

// Types text as key presses carrying it, one character at a time, whatever
// the script (QTest::keyClicks only types Latin-1).
inline void typeText(QWidget* widget, const QString& text)
{
    for (const char32_t c : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString::fromUcs4(&c, 1), Qt::NoModifier);
}

} // namespace kestrel::test
