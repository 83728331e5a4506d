#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace kestrel {

// Names spool files: the temporary folder, "/", the printer name, "-", the
// local time as 14 digits (yyyyMMddhhmmss), one digit, ".ps". When more than
// ten jobs are saved within one second, the eleventh and later ones keep that
// second and their digit and add "-" and a counter from 2 before ".ps"
// ("kestrel-202612081230451-2.ps"): a name never claims a time that has not
// come yet, and still starts with the printer, the time and a digit. Clock,
// random source and folder are injectable so tests can pin them.
class SpoolName
{
public:
    using Clock = std::function<QDateTime()>;
    using Random = std::function<double()>; // uniform in [0, 1)
    using Folder = std::function<QString()>;

    // The names one job may take, all with the same time. Candidate 0 is the
    // usual name with its random digit; when a name is taken the other nine
    // digits follow, then the random digit with a counter.
    class Plan
    {
    public:
        Plan(QString folder, QString printer, QDateTime when, int firstDigit);
        QString folder() const { return m_folder; }
        QString candidate(int attempt) const;

    private:
        QString m_folder;
        QString m_printer;
        QDateTime m_when;
        int m_firstDigit;
    };

    static constexpr int MaxAttempts = 10000;

    SpoolName();

    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setRandom(Random random) { m_random = std::move(random); }

    // The folder new spool files go to, read at each call.
    QString folder() const;
    // Reads the clock and the random source once, for one job saved in folder.
    Plan plan(const QString& printer, const QString& folder) const;

    // TEMP when set, else the system temporary folder; absolute, no
    // trailing "/".
    static QString temporaryFolder();
    // counter 0 or 1 adds nothing; from 2 on it adds "-" and the counter.
    static QString compose(const QString& folder, const QString& printer, const QDateTime& when, int digit,
                           int counter = 0);

private:
    Clock m_clock;
    Random m_random;
    Folder m_folder;
};

} // namespace kestrel
