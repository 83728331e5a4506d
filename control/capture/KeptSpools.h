#pragma once

#include "Expected.h"

#include <QString>
#include <QStringList>

namespace kestrel {

// Spool files saved when nobody could be told of them (the program was
// ending), noted in a small file beside them until the next start announces
// them. One note per user and spool folder: ".kestrel-unannounced-<uid>".
//
// The spool folder may be shared (/tmp), so another user may have put
// anything at that name: the note is only ever used when it is a regular
// file of this user's, readable by no one else, with no other name, and
// small; a link there is never followed.
class KeptSpools
{
public:
    static constexpr qint64 MaxBytes = 64 * 1024;

    explicit KeptSpools(const QString& folder);
    QString notePath() const { return m_path; }

    // Notes one more spool file.
    Status add(const QString& spoolFile);
    // The noted files that are still this user's regular files, each once;
    // the note is removed.
    Expected<QStringList> take();

private:
    Expected<int> open(int flags) const;

    QString m_path;
};

} // namespace kestrel
