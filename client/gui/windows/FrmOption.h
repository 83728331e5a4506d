#pragma once

#include "OptionFields.h"

#include <QDialog>

class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrel {

class ContactStore;
class FileChooser;
class IMessageBox;
class OptionsController;
class PasswordKeeper;

// The options window: edits the settings file's values. Opening it (its
// load) fills the fields from the file and asks that the send window be
// hidden while it is open. "Salva impostazioni" stores every field and
// then closes it, asking for a reload of the send window when the address
// or the chop setting changed, or keeps it open with a message while the
// address or the e-mail address is still "none". "Annulla" writes nothing,
// asks for the send window again and closes it. Closing it through its
// frame or Escape writes nothing and leaves the send window as it is.
//
// The object lives as long as the program; closed, it is unloaded, and the
// next opening loads it again.
class FrmOption : public QDialog
{
    Q_OBJECT

public:
    // contacts: the store in use, shown (never its password); none: no line.
    // With a password keeper, a saved password goes to the desktop's
    // keyring, and the window says when there is none and the file keeps it.
    FrmOption(OptionsController& options, IMessageBox& messages, FileChooser& files,
              const ContactStore* contacts = nullptr, QWidget* parent = nullptr,
              PasswordKeeper* passwords = nullptr);

    // Modeless (at start-up, from the tray menu's "Setup"). An open window
    // comes to the front as it is.
    void showModeless();

    // Modal (from the send window, when its cover page cannot be sent);
    // returns once the window has closed. An open modeless window becomes
    // modal, keeping what the user typed.
    void execModal();

    // What the fields hold.
    OptionFields fields() const;

Q_SIGNALS:
    void sendWindowHideRequested();
    // "Annulla": the send window is to be visible again.
    void sendWindowShowRequested();
    // Saved with a new address or chop setting: the send window is to be
    // unloaded and shown again, so that a new fax control gets them. When
    // the window was opened modally by the send window, that window's
    // handler is still running: connect with Qt::QueuedConnection.
    void sendWindowReloadRequested();

private:
    QLineEdit* addTextRow(QFormLayout* form, const QString& objectName, const QString& label);
    void load();
    void setFields(const OptionFields& fields);
    void save();
    void cancel();
    void chooseCover();
    void showPasswordPlace();

    OptionsController& m_options;
    IMessageBox& m_messages;
    FileChooser& m_files;
    const ContactStore* m_contacts;
    PasswordKeeper* m_passwords;

    // The fields are found by the object names the settings key table gives.
    QLineEdit* m_cover;
    QLineEdit* m_store = nullptr; // read-only: RUBRICA is not edited here
    QPushButton* m_browse;
    QPushButton* m_save;
    QPushButton* m_cancel;
    QLabel* m_keyringNotice;
};

} // namespace kestrel
