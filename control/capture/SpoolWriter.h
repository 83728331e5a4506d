#pragma once

#include "Expected.h"
#include "SpoolName.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace kestrel {

// Streams one print job to disk as it arrives, under a hidden temporary name
// in the spool folder, and gives it its spool name only when the job is
// complete: a job of any size needs no more memory than one piece, and no
// half-written file ever carries a spool name. An uncommitted file is removed.
//
// The spool folder may be shared (/tmp) and its names are predictable, so no
// step follows a link or replaces an entry: the file is created new and moved
// to a name only where nothing, not even a dangling link, exists yet.
class SpoolWriter
{
public:
    // Creates the temporary file (owner-only) in folder; fails when the
    // folder is missing or not writable.
    static Expected<std::unique_ptr<SpoolWriter>> create(const QString& folder);
    ~SpoolWriter();

    SpoolWriter(const SpoolWriter&) = delete;
    SpoolWriter& operator=(const SpoolWriter&) = delete;

    // A failed write drops the job and its temporary file.
    Status write(QByteArrayView data);
    // Bytes of the job written so far.
    qint64 size() const { return m_size; }
    QString temporaryPath() const { return m_path; }

    // Ends the job with CR LF, closes the file and moves it to the first
    // candidate name of plan that nothing occupies. Returns the final path;
    // on failure the temporary file is removed.
    Expected<QString> commit(const SpoolName::Plan& plan);
    // Drops the job and its temporary file.
    void discard();

private:
    SpoolWriter() = default;
    Error fail(const QString& what);

    int m_fd = -1;
    QString m_path;
    qint64 m_size = 0;
    bool m_done = false;
};

} // namespace kestrel
