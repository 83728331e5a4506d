#pragma once

#include <QString>

namespace kestrel {

// One row of the table anagrafica, in its column order: fax, nome, gruppo.
struct ContactRow
{
    QString number;      // fax
    QString description; // nome
    QString group;       // gruppo

    friend bool operator==(const ContactRow&, const ContactRow&) = default;
};

} // namespace kestrel
