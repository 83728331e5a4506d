#pragma once

#include "Expected.h"
#include "OwnFile.h"

#include <QString>
#include <QStringList>

namespace kestrel {

// Spool files saved when nobody could be told of them (the program was
// ending), noted in a small file until the next start announces them:
// ".kestrel-unannounced-<uid>" in the user's private folder (recordFolder()).
// Another user can neither read nor silence it there.
//
// Notes were once kept beside the spool files, in a folder others may write
// to: one left there is read once, on the same terms. Whatever folder it is
// in, the note is only ever used when it is a regular file of this user's,
// readable by no one else, with no other name, and small; a link there is
// never followed.
class KeptSpools
{
public:
    static constexpr qint64 MaxBytes = 64 * 1024;

    // The note in folder.
    explicit KeptSpools(const QString& folder);
    // The user's private folder for the note: the data folder's "kestrel"
    // folder (kept across logins, as the spool files are), else the
    // session's runtime folder when it is the user's alone; why neither can
    // be used.
    static Expected<QString> recordFolder();
    QString notePath() const { return m_path; }

    // Notes one more spool file.
    Status add(const QString& spoolFile);
    // The noted files that are still this user's regular files, each once;
    // the note is removed.
    Expected<QStringList> take();

private:
    Expected<OwnFile> open(int flags) const;

    QString m_path;
};

} // namespace kestrel
