#include "LineTable.h"

namespace kestrel {

const LineTable::Row& LineTable::row(int number) const
{
    static const Row empty;
    return number >= 0 && number <= LastRow ? m_rows[number] : empty;
}

void LineTable::setRow(int number, const QString& identifier, const QString& name)
{
    if (number >= 0 && number <= LastRow)
        m_rows[number] = {identifier, name};
}

QString LineTable::identifierOf(const QString& name) const
{
    if (name.isEmpty())
        return {};
    QString identifier;
    for (int k = 1; k <= m_lineCount && k <= LastRow; ++k) {
        if (m_rows[k].name == name)
            identifier = m_rows[k].identifier;
    }
    return identifier;
}

} // namespace kestrel
