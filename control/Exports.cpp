// The library's four entry points, as a self-registering control library
// has them. It serves two classes: the control and the job status query.

#include "ComponentRegistry.h"
#include "CorvanefaxControl.h"
#include "FaxStatusQuery.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

#define KESTREL_EXPORT extern "C" __attribute__((visibility("default")))

namespace kestrel {
namespace {

QString ownLibraryPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownLibraryPath), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath();
}

class CorvanefaxFactory : public IClassFactory
{
public:
    void* CreateInstance(const char* interfaceId) override
    {
        // The extension is the same object: a host holds it as either.
        if (std::strcmp(interfaceId, CorvanefaxJobOptionsInterfaceId) == 0)
            return static_cast<ICorvanefaxJobOptions*>(new CorvanefaxControl);
        if (std::strcmp(interfaceId, CorvanefaxInterfaceId) != 0)
            return nullptr;
        auto* control = new CorvanefaxControl;
        return static_cast<ICorvanefax*>(control);
    }
};

class FaxStatusFactory : public IClassFactory
{
public:
    void* CreateInstance(const char* interfaceId) override
    {
        // The same class under both interfaces: a host built for the first
        // one keeps working.
        if (std::strcmp(interfaceId, FaxStatus2InterfaceId) == 0)
            return static_cast<IFaxStatus2*>(new FaxStatusQuery);
        if (std::strcmp(interfaceId, FaxStatusInterfaceId) != 0)
            return nullptr;
        return static_cast<IFaxStatus*>(new FaxStatusQuery);
    }
};

// Every class the library serves, each under its ProgID.
const char* const ProgIds[] = {CorvanefaxProgId, FaxStatusProgId};

bool isProgId(const char* progId, const char* candidate)
{
    return QString::fromUtf8(progId).compare(QString::fromLatin1(candidate), Qt::CaseInsensitive) == 0;
}

// Where registration writes: KESTREL_REGISTER_TO when the registration tool
// names a file, else the default registry.
QString registrationTarget()
{
    const QString named = qEnvironmentVariable("KESTREL_REGISTER_TO");
    return named.isEmpty() ? ComponentRegistry::defaultWritePath() : named;
}

} // namespace
} // namespace kestrel

using namespace kestrel;

// Declared as the hosts look them up.
KESTREL_EXPORT int DllRegisterServer();
KESTREL_EXPORT int DllUnregisterServer();
KESTREL_EXPORT int DllGetClassObject(const char* progId, IClassFactory** factory);
KESTREL_EXPORT int DllCanUnloadNow();

KESTREL_EXPORT int DllRegisterServer()
{
    // A staged install registers the path the library will have once the
    // package is installed.
    const QString as = qEnvironmentVariable("KESTREL_REGISTER_AS");
    const QString path = as.isEmpty() ? ownLibraryPath() : as;
    if (path.isEmpty())
        return E_Fail;
    for (const char* progId : ProgIds) {
        const Status written =
            ComponentRegistry::write(registrationTarget(), QString::fromLatin1(progId), path);
        if (!written) {
            std::fprintf(stderr, "%s\n", qPrintable(written.error().message));
            return E_Fail;
        }
    }
    return S_Ok;
}

KESTREL_EXPORT int DllUnregisterServer()
{
    int result = S_Ok;
    for (const char* progId : ProgIds) {
        const Status removed = ComponentRegistry::remove(registrationTarget(), QString::fromLatin1(progId));
        if (!removed) {
            std::fprintf(stderr, "%s\n", qPrintable(removed.error().message));
            result = E_Fail;
        }
    }
    return result;
}

KESTREL_EXPORT int DllGetClassObject(const char* progId, IClassFactory** factory)
{
    if (!factory)
        return E_Fail;
    *factory = nullptr;
    if (!progId)
        return E_ClassNotAvailable;
    if (isProgId(progId, CorvanefaxProgId))
        *factory = new CorvanefaxFactory;
    else if (isProgId(progId, FaxStatusProgId))
        *factory = new FaxStatusFactory;
    else
        return E_ClassNotAvailable;
    return S_Ok;
}

KESTREL_EXPORT int DllCanUnloadNow()
{
    return CorvanefaxControl::instanceCount() == 0 && FaxStatusQuery::instanceCount() == 0 ? S_Ok : S_False;
}
