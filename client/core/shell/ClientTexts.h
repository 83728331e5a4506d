#pragma once

#include "KestrelVersion.h"
#include "MessageBox.h"

#include <QString>
#include <QUrl>

// What the client shows the user, in one table: windows take their texts
// from here and tests name them instead of copying them. Quoted as the
// product has always shown them, blanks included.
namespace kestrel::texts {

using namespace Qt::StringLiterals;

inline const QString ProductName = u"KESTREL WinClient"_s;

// Options window frmOption.
inline const QString IncompleteConfiguration =
    u"L'indirizzo IP dell'appliance Fax e l'indirizzo email dell'utente sono campi necessari "_s;
inline const QString OptionIp = u"Indirizzo IP:"_s;
inline const QString OptionUser = u"Utente:"_s;
inline const QString OptionPassword = u"Password:"_s;
inline const QString OptionMail = u"Indirizzo e-mail:"_s;
inline const QString OptionPrefix = u"Prefisso da appendere :"_s;
inline const QString OptionMaxDials = u"Numero di tentativi di invio :"_s;
inline const QString OptionCover = u"Copertina:"_s;
inline const QString OptionBrowse = u"Sfoglia"_s;
inline const QString OptionDebug = u"Abilita debug"_s;
inline const QString OptionChop = u"Inserisci Intestazione"_s;
inline const QString OptionSave = u"Salva impostazioni"_s;
inline const QString OptionCancel = u"Annulla"_s;
// File dialog filter of the cover page (and of the send window's "+").
inline const QString DocumentFilter = u" Documento PDF - PS (*.pdf;*.ps)|*.pdf;*.ps|"_s;

// Options window: the settings file could not be written. The detail names
// the file and the system's reason.
inline const QString SettingsNotSaved = u"Impostazioni non salvate: "_s;

inline MessageBoxRequest settingsNotSavedBox(const QString& detail)
{
    return {SettingsNotSaved + detail, ProductName, MsgIcon::Critical, MsgButtons::Ok};
}

// Pop-up menu Dialog of the notification-area icon.
inline const QString MenuSendFax = u"Invia FAX"_s;
inline const QString MenuSetup = u"Setup"_s;
inline const QString MenuQuit = u"Esci"_s;
inline const QString MenuFeedback = u"FeedBack"_s;
inline const QString QuitQuestion = u"Terminare l'applicazione ?"_s;

inline MessageBoxRequest quitBox()
{
    return {QuitQuestion, ProductName, MsgIcon::None, MsgButtons::YesNo};
}

// Send window: the outgoing line selector.
inline const QString LineSelectorLabel = u"Seleziona Linea in uscita:"_s;
inline const QString LineSelectorTip =
    u"Seleziona il modem da utilizzare in invio, se lasciato vuoto usa il default"_s;

// Information icon, OK only, the program's default title: at save time and
// at start-up alike.
inline MessageBoxRequest incompleteConfigurationBox()
{
    return {IncompleteConfiguration, QString(), MsgIcon::Information, MsgButtons::Ok};
}

// major.minor.revision of the running program.
inline QString versionText()
{
    return u"%1.%2.%3"_s.arg(version::Major).arg(version::Minor).arg(version::Revision);
}

// Tooltip of the notification-area icon.
inline QString trayTip()
{
    return u"KESTREL ("_s + versionText() + u')';
}

// Caption of the notice window FrmMsg.
inline QString noticeCaption(const QString& executableName)
{
    return executableName + u" ("_s + versionText() + u')';
}

// Where the tray menu's "FeedBack" leads.
inline const QString FeedbackHost = u"www.kestrel-fax.example"_s;

inline QString feedbackPageAddress()
{
    return u"http://"_s + FeedbackHost + u"/help/contact.php?subject=KESTRELWIN%20Client%20"_s +
           versionText();
}

// The address with its escapes kept as they are.
inline QUrl feedbackPageUrl()
{
    return QUrl(feedbackPageAddress(), QUrl::StrictMode);
}

} // namespace kestrel::texts
