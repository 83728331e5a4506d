#include "VersioneWindows.h"

#include <QRegularExpression>

#include <sys/utsname.h>

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
        return QStringLiteral("32s");
    case PlatformWindows:
        if (minor == 0)
            return QStringLiteral("95");
        if (minor == 90)
            return QStringLiteral("ME");
        return QStringLiteral("98");
    case PlatformNt:
        if (major != 6)
            return QStringLiteral("Sconosciuto ") + QString::number(major) + QString::number(minor);
        switch (minor) {
        case 0:
            return QStringLiteral("Vista");
        case 1:
            return QStringLiteral("Windows7");
        case 2:
            return QStringLiteral("Windows8");
        default:
            return {};
        }
    default:
        return {};
    }
}

bool parseKernelRelease(const QString& release, int* major, int* minor)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)\\.(\\d+)"));
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
