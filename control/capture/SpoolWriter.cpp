#include "SpoolWriter.h"

#include <QFileInfo>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace kestrel {

std::unique_ptr<SpoolWriter> SpoolWriter::create(const QString& folder, QString* error)
{
    std::unique_ptr<SpoolWriter> writer(new SpoolWriter);
    // Printed documents are private: owner-only, like the user's own files.
    const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = folder + u"/.kestrel-spool-"_s +
                             QString::number(QRandomGenerator::global()->generate64(), 36) + u".part"_s;
        writer->m_file.setFileName(name);
        if (writer->m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered, owner))
            return writer;
        if (!QFileInfo::exists(name))
            break;
    }
    if (error)
        *error = writer->m_file.errorString();
    return nullptr;
}

SpoolWriter::~SpoolWriter()
{
    discard();
}

bool SpoolWriter::fail(const QString& what)
{
    m_error = what;
    discard();
    return false;
}

bool SpoolWriter::write(QByteArrayView data)
{
    if (m_done)
        return false;
    if (data.isEmpty())
        return true;
    if (m_file.write(data.data(), data.size()) != data.size())
        return fail(m_file.errorString());
    m_size += data.size();
    return true;
}

QString SpoolWriter::commit(const SpoolName::Plan& plan)
{
    if (m_done)
        return {};
    if (!write("\r\n"))
        return {};
    m_file.close();
    if (m_file.error() != QFileDevice::NoError) {
        fail(m_file.errorString());
        return {};
    }
    for (int attempt = 0; attempt < SpoolName::MaxAttempts; ++attempt) {
        const QString target = plan.candidate(attempt);
        // QFile::rename never replaces an existing file: a taken name fails
        // here and the next candidate is tried.
        if (m_file.rename(target)) {
            m_done = true;
            return target;
        }
        if (!QFileInfo::exists(target)) {
            fail(m_file.errorString());
            return {};
        }
    }
    fail(u"no free spool file name"_s);
    return {};
}

void SpoolWriter::discard()
{
    if (m_done)
        return;
    m_done = true;
    m_file.close();
    m_file.remove();
}

} // namespace kestrel
