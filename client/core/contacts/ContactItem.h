#pragma once

#include <QString>

namespace kestrel {

// One item of the desktop contacts folder, with the fields the start-up load
// reads. Every card read from vCard is a contact item; a card that cannot be
// read takes its place as an item of another class.
struct ContactItem
{
    static constexpr int ContactClass = 40;

    int itemClass = 0; // `Class`
    QString BusinessFaxNumber;
    QString FirstName;
    QString LastName;
    QString CompanyName;
};

} // namespace kestrel
