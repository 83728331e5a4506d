#pragma once

#include "ContactRow.h"
#include "ContactStore.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrel {

class IMessageBox;

// The contact editor frmAggiungi: creates, changes and deletes one contact
// of the database. The hidden label `InEdit` shows the number of the edited
// contact as listed, empty for a new contact; the contact itself is the
// database row it was listed from, so that a save or a deletion touches
// that row alone, and only while it holds what was listed. The address book opens it; after every save or
// deletion it asks for the list to be rebuilt and closes. A save or a deletion that fails (its dialog said
// why) keeps it open as it was, to try again. Closing unloads it: the next opening starts afresh in
// new-contact mode, while hiding keeps fields and mode. A save or deletion is answered later: until it
// is, the buttons are disabled and the fields stay as they are.
class FrmAggiungi : public QWidget
{
    Q_OBJECT
public:
    struct Services
    {
        ContactStore* store = nullptr;
        IMessageBox* messageBox = nullptr;
        std::function<void(QWidget* window, bool onTop)> setAlwaysOnTop;
    };

    explicit FrmAggiungi(Services services, QWidget* parent = nullptr);

    // The window's load: on top, new-contact mode, empty fields, group "1".
    void load();
    bool isLoaded() const { return m_loaded; }

    // The address book's "&Nuovo Contatto": shown, new-contact mode, the
    // fields as they are.
    void openNew();
    // The address book's "Edit": the listed contact in the fields, its
    // number in `InEdit`, "Modifica" on the save button; shown with the
    // number selected.
    void openEdited(const ContactRow& listed);

    QString inEdit() const;

    QLineEdit* txtNFax() const { return m_txtNFax; }
    QLineEdit* txtDesc() const { return m_txtDesc; }
    QComboBox* cmbGruppo() const { return m_cmbGruppo; }
    QLabel* InEdit() const { return m_inEdit; }
    QPushButton* cmdAddContact() const { return m_cmdAddContact; }
    QPushButton* cmdDel() const { return m_cmdDel; }

    void cmdAddContactClick();
    void cmdDelClick();
    // A save or deletion has not been answered yet.
    bool isSaving() const { return m_pending != 0; }

Q_SIGNALS:
    // A contact was saved or deleted: the address book's `ListaNumeri`.
    void contactsChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void showAndFocusNumber();
    // Sends a save or deletion to the store; the buttons wait for its answer.
    void await(int ticket, bool deleting);
    void changeAnswered(int ticket, const ContactStore::ChangeResult& result);
    // After a save or deletion of the edited contact: the list is rebuilt
    // and the editor closes, unless the statement failed (its dialog says
    // why). A contact another program changed meanwhile is left alone and
    // the user is told.
    void finishChange(const ContactStore::ChangeResult& result);
    void clearFields();

    Services m_services;
    bool m_loaded = false;
    // The edited contact as the address book listed it (its rowid and stored
    // texts); rowid 0 for a new one.
    ContactRow m_edited;
    int m_pending = 0; // the ticket of the change awaited, 0 for none
    bool m_deleting = false;

    QLabel* m_lblFaxNum = nullptr;
    QLineEdit* m_txtNFax = nullptr;
    QLabel* m_lblDesc = nullptr;
    QLineEdit* m_txtDesc = nullptr;
    QLabel* m_lblGroup = nullptr;
    QComboBox* m_cmbGruppo = nullptr;
    QPushButton* m_cmdAddContact = nullptr;
    QPushButton* m_cmdDel = nullptr;
    QLabel* m_inEdit = nullptr;
};

} // namespace kestrel
