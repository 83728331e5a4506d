#include "VersioneWindows.h"

#include <QRegularExpression>

#include <sys/utsname.h>

using namespace Qt::StringLiterals;

namespace kestrel {

namespace {
// Platform ids of the version query: Win32s, the 95 family, the NT family.
constexpr int PlatformWin32s = 0;
constexpr int PlatformWindows = 1;
constexpr int PlatformNt = 2;
} // namespace

QString VersioneWindows(int platformId, int major, int minor)
{
    switch (platformId) {
    case PlatformWin32s:
        return u"32s"_s;
    case PlatformWindows:
        if (minor == 0)
            return u"95"_s;
        if (minor == 90)
            return u"ME"_s;
        return u"98"_s;
    case PlatformNt:
        if (major != 6)
            return u"Sconosciuto "_s + QString::number(major) + QString::number(minor);
        switch (minor) {
        case 0:
            return u"Vista"_s;
        case 1:
            return u"Windows7"_s;
        case 2:
            return u"Windows8"_s;
        default:
            return {};
        }
    default:
        return {};
    }
}

bool parseKernelRelease(const QString& release, int* major, int* minor)
{
    static const QRegularExpression pattern(u"^(\\d+)\\.(\\d+)"_s);
    const QRegularExpressionMatch match = pattern.match(release);
    if (!match.hasMatch())
        return false;
    bool majorOk = false;
    bool minorOk = false;
    const int parsedMajor = match.captured(1).toInt(&majorOk);
    const int parsedMinor = match.captured(2).toInt(&minorOk);
    if (!majorOk || !minorOk)
        return false;
    *major = parsedMajor;
    *minor = parsedMinor;
    return true;
}

QString VersioneWindows()
{
    utsname names{};
    if (uname(&names) != 0)
        return {};
    int major = 0;
    int minor = 0;
    if (!parseKernelRelease(QString::fromLocal8Bit(names.release), &major, &minor))
        return {};
    return VersioneWindows(PlatformNt, major, minor);
}

} // namespace kestrel
