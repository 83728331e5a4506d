#pragma once

#include "Expected.h"

#include <QString>

namespace kestrel {

// Results of the exported entry points, as COM spells them.
constexpr int S_Ok = 0;
constexpr int S_False = 1;
constexpr int E_Fail = -2147467259;              // 0x80004005
constexpr int E_NoInterface = -2147467262;       // 0x80004002
constexpr int E_ClassNotAvailable = -2147221231; // 0x80040111

// What DllGetClassObject hands out: makes instances of one class.
class IClassFactory
{
public:
    virtual ~IClassFactory() = default;
    // Returns a new object implementing interfaceId, or nullptr.
    virtual void* CreateInstance(const char* interfaceId) = 0;
};

extern "C" {
using DllGetClassObjectFn = int (*)(const char* progId, IClassFactory** factory);
using DllRegisterServerFn = int (*)();
using DllUnregisterServerFn = int (*)();
using DllCanUnloadNowFn = int (*)();
}

// ProgID -> library path, in small text files: the one named by
// KESTREL_COMPONENT_REGISTRY (tests, development builds), the user's under
// $XDG_CONFIG_HOME, and the system's under each of $XDG_CONFIG_DIRS and
// /etc/xdg. Lookups try them in that order; registration writes the first
// one (or the first system one on request). Library paths are absolute: a relative one would depend on the
// folder a host happens to start in.
class ComponentRegistry
{
public:
    static constexpr const char* OverrideVariable = "KESTREL_COMPONENT_REGISTRY";

    static QString overridePath();
    static QString userPath();
    static QString systemPath();
    // Where a registration writes when no file is named: the override, else
    // the user's registry.
    static QString defaultWritePath();

    // The registries a lookup reads, in order: the override alone when it
    // is set, else the user's and every system one.
    static QStringList lookupFiles();
    static QString lookup(const QString& progId);
    static QString lookupIn(const QString& registryFile, const QString& progId);
    static Status write(const QString& registryFile, const QString& progId, const QString& libraryPath);
    static Status remove(const QString& registryFile, const QString& progId);

    // Loads the library registered for progId and asks it for an object of
    // interfaceId; an entry whose library cannot be used gives way to the
    // next registry's. On failure the error names the registry files and
    // the libraries tried.
    static Expected<void*> createInstance(const QString& progId, const char* interfaceId);
    // Libraries loaded so far: one per path, however many objects were made
    // of it.
    static int loadedLibraryCount();
};

} // namespace kestrel
