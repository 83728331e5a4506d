#include "PassiveReply.h"

#include <QList>

using namespace Qt::StringLiterals;

namespace kestrel {

std::optional<PassiveAddress> parsePassiveReply(const QString& reply)
{
    // The numbers follow the first "(" when there is one, else the code.
    qsizetype pos = reply.indexOf(u'(');
    pos = pos >= 0 ? pos + 1 : qMin<qsizetype>(3, reply.size());
    while (pos < reply.size() && !reply.at(pos).isDigit())
        ++pos;
    QList<int> numbers;
    while (numbers.size() < 6 && pos < reply.size()) {
        int value = 0;
        int digits = 0;
        while (pos < reply.size() && reply.at(pos).isDigit() && digits < 4) {
            value = value * 10 + reply.at(pos).digitValue();
            ++digits;
            ++pos;
        }
        if (digits == 0 || value > 255)
            return std::nullopt;
        numbers.append(value);
        if (numbers.size() == 6)
            break;
        while (pos < reply.size() && reply.at(pos) == u' ')
            ++pos;
        if (pos >= reply.size() || reply.at(pos) != u',')
            return std::nullopt;
        ++pos;
        while (pos < reply.size() && reply.at(pos) == u' ')
            ++pos;
    }
    if (numbers.size() != 6)
        return std::nullopt;
    PassiveAddress address;
    address.host = u"%1.%2.%3.%4"_s.arg(numbers[0]).arg(numbers[1]).arg(numbers[2]).arg(numbers[3]);
    address.port = static_cast<quint16>(numbers[4] * 256 + numbers[5]);
    if (address.port == 0)
        return std::nullopt;
    return address;
}

std::optional<quint16> passivePort(const QString& reply)
{
    const std::optional<PassiveAddress> address = parsePassiveReply(reply);
    if (!address)
        return std::nullopt;
    return address->port;
}

} // namespace kestrel
