#pragma once

#include "AddressBookGrid.h"
#include "ContactRow.h"
#include "ContactStore.h"
#include "GridRows.h"

#include <QHash>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace kestrel {

class DesktopContacts;
class FrmAggiungi;
class IMessageBox;
class ListGrid;

// The address book window FrmRubrica: the desktop contacts with a fax
// number, then the database contacts, in one grid. The user marks contacts
// and adds the marked ones, or a whole group, to the send window's
// destinations; from here the contact editor opens. Modeless and always on
// top. Closing unloads it (the next showing lists afresh, marks gone);
// hiding with the send window keeps rows and marks. The store's contacts
// come later than the desktop ones: until they do, the list says it is
// reading them, and the window never waits for them. A shared book whose
// server is away shows its last listing read-only (no new contact) and says
// so once; its return is said once too, with the list read again.
class FrmRubrica : public QWidget
{
    Q_OBJECT
public:
    struct Services
    {
        ContactStore* store = nullptr;
        // Read at start-up, from the send window's load on; listed as it is
        // at each `ListaNumeri`, and when it arrives.
        const DesktopContacts* desktopContacts = nullptr;
        // The question before a deletion, the SQL error dialog, and the
        // editor's boxes.
        IMessageBox* messageBox = nullptr;
        std::function<void(QWidget* window, bool onTop)> setAlwaysOnTop;
    };

    // destinations: the send window's destination rows (`msfgDest`), which
    // must outlive this window.
    FrmRubrica(Services services, GridRows& destinations, QWidget* parent = nullptr);
    ~FrmRubrica() override;

    // The window's load: on top, group "1", the grid set up and listed.
    void load();
    bool isLoaded() const { return m_loaded; }
    // The send window's "&Rubrica": loaded when it is not, then shown.
    void showWindow();
    // The send window put away: this window and the editor hide, keeping
    // everything they hold.
    void hideWithEditor();

    // Rebuilds the whole list; every mark is lost. The store's contacts
    // follow when its listing arrives.
    void ListaNumeri();
    // A listing asked for has not arrived yet ("Carico rubrica..." shows).
    bool isListing() const { return m_listing != 0; }
    // A listing or a deletion has not been answered yet.
    bool isWaiting() const { return m_listing != 0 || !m_deletions.isEmpty(); }
    // Appends the desktop contacts.
    void OLStart();
    // The desktop contacts are in (they are read while the program starts):
    // a loaded list gets them at its top, its marks kept.
    void desktopContactsArrived();

    GridRows& rows() { return m_rows; }
    ListGrid* msfgRubrica() const { return m_msfgRubrica; }
    QComboBox* cmbSendGrp() const { return m_cmbSendGrp; }
    QPushButton* cmdNewContact() const { return m_cmdNewContact; }
    QLabel* PicOL() const { return m_picOL; }
    QLabel* lblLoading() const { return m_lblLoading; }
    // The editor; null until first opened.
    FrmAggiungi* editor() const { return m_editor.get(); }

    // The handlers, as the window's controls run them.
    void gridClick(int row, int col);
    // Enter on a cell of the grid: the editor from "Edit", else the mark.
    void gridEnter(int row, int col);
    // Delete on a row: a database contact is deleted after a question.
    void gridDelete(int row);
    void cmdAddSelectClick();
    void cmdAddGrpClick();
    void cmdNewContactClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    // The columns as designed, each widened until its header and what it
    // holds read whole in the fonts in use.
    void fitColumns();
    void LoadDatabaseRows();
    void databaseRowsListed(int ticket, const Expected<QList<ContactRow>>& listed);
    void deletionFinished(int ticket, const ContactStore::ChangeResult& result);
    void showLoading(bool loading);
    // The shared book away (its last listing shown, no new contact) or
    // reachable; the change is said once.
    void showReadOnly(bool away);
    // The contact of a database row as the listing read it: the texts a
    // change is guarded by (the grid shows the number normalised).
    ContactRow listedContact(const ContactRow& shown) const;
    FrmAggiungi& editorWindow();

    Services m_services;
    GridRows& m_destinations;
    GridRows m_rows{AddressBookGrid::ColumnCount};
    AddressBookGrid m_grid{m_rows};
    bool m_loaded = false;
    bool m_toldAway = false; // the shared book's absence was said, its return not yet
    std::unique_ptr<FrmAggiungi> m_editor;
    QHash<qint64, ContactRow> m_listed; // the database rows listed, by rowid
    int m_listing = 0;                  // the ticket of the listing awaited, 0 for none
    bool m_showsListing = false;        // the list holds the store's listing
    QHash<int, ContactRow> m_deletions; // the contacts being deleted, by ticket

    ListGrid* m_msfgRubrica = nullptr;
    QPushButton* m_cmdNewContact = nullptr;
    QPushButton* m_cmdAddGrp = nullptr;
    QComboBox* m_cmbSendGrp = nullptr;
    QPushButton* m_cmdAddSelect = nullptr;
    QLabel* m_picOL = nullptr;
    QLabel* m_lblLoading = nullptr;
};

} // namespace kestrel
