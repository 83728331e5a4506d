#pragma once

#include "SpoolName.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <memory>

namespace kestrel {

// Streams one print job to disk as it arrives, under a hidden temporary name
// in the spool folder, and gives it its spool name only when the job is
// complete: a job of any size needs no more memory than one piece, and no
// half-written file ever carries a spool name. An uncommitted file is removed.
class SpoolWriter
{
public:
    // Creates the temporary file in folder; nullptr with *error set when the
    // folder is missing or not writable.
    static std::unique_ptr<SpoolWriter> create(const QString& folder, QString* error);
    ~SpoolWriter();

    SpoolWriter(const SpoolWriter&) = delete;
    SpoolWriter& operator=(const SpoolWriter&) = delete;

    bool write(QByteArrayView data);
    // Bytes of the job written so far.
    qint64 size() const { return m_size; }
    QString temporaryPath() const { return m_file.fileName(); }
    QString errorString() const { return m_error; }

    // Ends the job with CR LF, closes the file and moves it to the first
    // candidate name of plan that is free. Returns the final path, or an
    // empty string (errorString() says why; the temporary file is removed).
    QString commit(const SpoolName::Plan& plan);
    // Drops the job and its temporary file.
    void discard();

private:
    SpoolWriter() = default;
    bool fail(const QString& what);

    QFile m_file;
    qint64 m_size = 0;
    bool m_done = false;
    QString m_error;
};

} // namespace kestrel
