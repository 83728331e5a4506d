// Registers or unregisters a control library in the component registry by
// calling the library's own DllRegisterServer / DllUnregisterServer.

#include "ComponentRegistry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <cstdio>

using namespace Qt::StringLiterals;

using namespace kestrel;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"kestrel-regsvr"_s);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Registers a control library under its ProgID."_s);
    parser.addHelpOption();
    QCommandLineOption unregister(QStringList{u"u"_s, u"unregister"_s},
                                  u"Remove the registration instead."_s);
    QCommandLineOption system(u"system"_s,
                              u"Use the system registry (%1)."_s.arg(ComponentRegistry::systemPath()));
    QCommandLineOption registry(u"registry"_s, u"Use this registry file."_s, u"file"_s);
    QCommandLineOption root(u"root"_s,
                            u"Staged install: use the system registry under this folder, and register the "
                            u"library under its path without the folder (for packages built with DESTDIR)."_s,
                            u"folder"_s);
    parser.addOptions({unregister, system, registry, root});
    parser.addPositionalArgument(u"library"_s, u"The control library (.so)."_s);
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    const QString path = QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
    if (parser.isSet(root)) {
        const QString staging = QDir::cleanPath(QFileInfo(parser.value(root)).absoluteFilePath());
        if (!path.startsWith(staging + u'/')) {
            std::fprintf(stderr, "kestrel-regsvr: %s is not under %s\n", qPrintable(path),
                         qPrintable(staging));
            return 1;
        }
        qputenv("KESTREL_REGISTER_TO", (staging + ComponentRegistry::systemPath()).toLocal8Bit());
        qputenv("KESTREL_REGISTER_AS", path.mid(staging.size()).toLocal8Bit());
    } else if (parser.isSet(registry)) {
        qputenv("KESTREL_REGISTER_TO", QFileInfo(parser.value(registry)).absoluteFilePath().toLocal8Bit());
    } else if (parser.isSet(system)) {
        qputenv("KESTREL_REGISTER_TO", ComponentRegistry::systemPath().toLocal8Bit());
    }
    QLibrary library(path);
    if (!library.load()) {
        std::fprintf(stderr, "kestrel-regsvr: %s\n", library.errorString().toLocal8Bit().constData());
        return 1;
    }
    const char* entry = parser.isSet(unregister) ? "DllUnregisterServer" : "DllRegisterServer";
    auto function = reinterpret_cast<DllRegisterServerFn>(library.resolve(entry));
    if (!function) {
        std::fprintf(stderr, "kestrel-regsvr: %s has no %s\n", path.toLocal8Bit().constData(), entry);
        return 1;
    }
    const int result = function();
    if (result != S_Ok) {
        std::fprintf(stderr, "kestrel-regsvr: %s failed (%d)\n", entry, result);
        return 1;
    }
    return 0;
}
