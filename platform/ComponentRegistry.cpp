#include "ComponentRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

const QString RegistryFileName = u"kestrel/components.reg"_s;

QList<QPair<QString, QString>> readEntries(const QString& registryFile)
{
    QList<QPair<QString, QString>> entries;
    QFile file(registryFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        entries.append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
    }
    return entries;
}

Status writeEntries(const QString& registryFile, const QList<QPair<QString, QString>>& entries)
{
    QDir().mkpath(QFileInfo(registryFile).absolutePath());
    QSaveFile file(registryFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return Error{registryFile + u": "_s + file.errorString()};
    file.write("# ProgID = library\n");
    for (const auto& [progId, path] : entries)
        file.write((progId + u" = "_s + path + u'\n').toUtf8());
    if (!file.commit())
        return Error{registryFile + u": "_s + file.errorString()};
    return {};
}

} // namespace

QString ComponentRegistry::overridePath()
{
    return qEnvironmentVariable(OverrideVariable);
}

QString ComponentRegistry::userPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + RegistryFileName;
}

QString ComponentRegistry::systemPath()
{
    // The first of the system's configuration folders, as the XDG rules
    // have it.
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    const QString first = dirs.section(u':', 0, 0);
    return (QFileInfo(first).isAbsolute() ? first : u"/etc/xdg"_s) + u'/' + RegistryFileName;
}

QString ComponentRegistry::defaultWritePath()
{
    const QString over = overridePath();
    return over.isEmpty() ? userPath() : over;
}

QString ComponentRegistry::lookupIn(const QString& registryFile, const QString& progId)
{
    for (const auto& [id, path] : readEntries(registryFile)) {
        if (id.compare(progId, Qt::CaseInsensitive) == 0)
            return path;
    }
    return {};
}

QStringList ComponentRegistry::lookupFiles()
{
    const QString over = overridePath();
    if (!over.isEmpty())
        return {over};
    // Every system folder, as desktops often put their own before
    // /etc/xdg, where the package registers the control.
    QStringList files{userPath()};
    QStringList dirs = qEnvironmentVariable("XDG_CONFIG_DIRS").split(u':', Qt::SkipEmptyParts);
    dirs << u"/etc/xdg"_s;
    for (const QString& dir : std::as_const(dirs)) {
        const QString file = dir + u'/' + RegistryFileName;
        if (QFileInfo(dir).isAbsolute() && !files.contains(file))
            files << file;
    }
    return files;
}

QString ComponentRegistry::lookup(const QString& progId)
{
    for (const QString& file : lookupFiles()) {
        const QString path = lookupIn(file, progId);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

Status ComponentRegistry::write(const QString& registryFile, const QString& progId,
                                const QString& libraryPath)
{
    if (!QFileInfo(libraryPath).isAbsolute())
        return Error{u"%1: the library path %2 is not absolute"_s.arg(registryFile, libraryPath)};
    auto entries = readEntries(registryFile);
    bool replaced = false;
    for (auto& entry : entries) {
        if (entry.first.compare(progId, Qt::CaseInsensitive) == 0) {
            entry.second = libraryPath;
            replaced = true;
        }
    }
    if (!replaced)
        entries.append({progId, libraryPath});
    return writeEntries(registryFile, entries);
}

Status ComponentRegistry::remove(const QString& registryFile, const QString& progId)
{
    auto entries = readEntries(registryFile);
    entries.removeIf(
        [&](const auto& entry) { return entry.first.compare(progId, Qt::CaseInsensitive) == 0; });
    return writeEntries(registryFile, entries);
}

namespace {

// The libraries loaded, one object each, kept for the life of the process,
// as a host keeps its controls: every control made of a library shares it.
struct LoadedLibraries
{
    QMutex mutex;
    std::map<QString, std::unique_ptr<QLibrary>> byPath;
};

LoadedLibraries& loadedLibraries()
{
    static LoadedLibraries loaded;
    return loaded;
}

QLibrary* loadedLibrary(const QString& path, QString& why)
{
    LoadedLibraries& loaded = loadedLibraries();
    const QMutexLocker lock(&loaded.mutex);
    if (const auto found = loaded.byPath.find(path); found != loaded.byPath.end())
        return found->second.get();
    auto library = std::make_unique<QLibrary>(path);
    if (!library->load()) {
        why = library->errorString();
        return nullptr;
    }
    return loaded.byPath.emplace(path, std::move(library)).first->second.get();
}

Expected<void*> createFrom(const QString& registryFile, const QString& path, const QString& progId,
                           const char* interfaceId)
{
    const QString where = u"%1 (registered in %2)"_s.arg(path, registryFile);
    if (!QFileInfo(path).isAbsolute())
        return Error{u"%1: not an absolute path"_s.arg(where)};
    QString why;
    QLibrary* library = loadedLibrary(path, why);
    if (!library)
        return Error{u"cannot load %1: %2"_s.arg(where, why)};
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(library->resolve("DllGetClassObject"));
    if (!getClassObject)
        return Error{u"%1 exports no DllGetClassObject"_s.arg(where)};
    IClassFactory* factory = nullptr;
    const QByteArray id = progId.toUtf8();
    if (getClassObject(id.constData(), &factory) != S_Ok || !factory)
        return Error{u"%1 does not provide %2"_s.arg(where, progId)};
    void* object = factory->CreateInstance(interfaceId);
    delete factory;
    if (!object)
        return Error{
            u"%1 does not implement %2 for %3"_s.arg(where, QString::fromLatin1(interfaceId), progId)};
    return object;
}

} // namespace

int ComponentRegistry::loadedLibraryCount()
{
    LoadedLibraries& loaded = loadedLibraries();
    const QMutexLocker lock(&loaded.mutex);
    return int(loaded.byPath.size());
}

Expected<void*> ComponentRegistry::createInstance(const QString& progId, const char* interfaceId)
{
    QStringList failures;
    for (const QString& file : lookupFiles()) {
        const QString path = lookupIn(file, progId);
        if (path.isEmpty())
            continue;
        const Expected<void*> object = createFrom(file, path, progId, interfaceId);
        if (object)
            return object;
        failures << object.error().message;
    }
    if (failures.isEmpty()) {
        return Error{u"%1 is not registered in %2 (run kestrel-regsvr on its library)"_s.arg(
            progId, lookupFiles().join(u" or "_s))};
    }
    return Error{failures.join(u"; "_s)};
}

} // namespace kestrel
