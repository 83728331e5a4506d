#pragma once

#include <QString>

namespace kestrel {

// What the options window's fields hold: filled on its load, read back by
// its save button. The window copies them to and from its widgets.
struct OptionFields
{
    QString ip;         // txtIP
    QString user;       // txtUtente
    QString password;   // txtPassword
    QString mail;       // txtMail
    QString prefix;     // txtPrefisso
    QString maxDials;   // text of cmbMaxDials
    QString cover;      // txtCopertina
    bool debug = false; // ChkDebug checked
    bool chop = true;   // ChkChop checked

    bool operator==(const OptionFields&) const = default;
};

} // namespace kestrel
