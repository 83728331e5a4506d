#pragma once

#include "SettingsKeys.h"

#include <QHash>
#include <QString>

namespace kestrel {

// The program-wide values read from the settings file. Numbers and flags
// are converted once, here; a value that does not convert counts as its
// key's default, so a file edited by hand never keeps a window from opening.
// The keys the program uses by name have a member of their own; every key
// is also reachable by its name.
struct SettingsValues
{
    // Every key at its default (the folder-relative paths empty).
    SettingsValues();

    QString ip;
    QString user;
    QString pass;
    QString cover;
    QString mail;
    // Dial attempts, kept between MinDials and MaxDials.
    static constexpr qint16 MinDials = 1;
    static constexpr qint16 MaxDials = 99;
    qint16 maxDials = 0;
    QString prefix;
    bool debug = false; // DEBUG not 0: the control's DebugOn is switched on at start-up
    bool chop = false;  // CHOP: the control's ChopOn
    QString rubrica;    // contact database
    QString vcard;      // desktop contacts, a .vcf file or a folder of them

    // A key's value by its name: its text as read (numbers and flags in
    // their stored form, "3", "1"), or converted.
    QString text(const QString& key) const;
    qint16 number(const QString& key) const;
    bool flag(const QString& key) const;
    // Takes a key's text as read from the file, converting it by its kind.
    void set(const QString& key, const QString& text);

    // The appliance address and the notification address are both set.
    bool isComplete() const { return ip != settings::None && mail != settings::None; }

    bool operator==(const SettingsValues&) const = default;

private:
    QHash<QString, QString> m_texts; // every key, by name
};

} // namespace kestrel
