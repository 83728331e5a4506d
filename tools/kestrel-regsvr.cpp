// Registers or unregisters a control library in the component registry by
// calling the library's own DllRegisterServer / DllUnregisterServer.

#include "ComponentRegistry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

#include <cstdio>

using namespace kestrel;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrel-regsvr"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Registers a control library under its ProgID."));
    parser.addHelpOption();
    QCommandLineOption unregister(QStringList{QStringLiteral("u"), QStringLiteral("unregister")},
                                  QStringLiteral("Remove the registration instead."));
    QCommandLineOption system(
        QStringLiteral("system"),
        QStringLiteral("Use the system registry (%1).").arg(ComponentRegistry::systemPath()));
    QCommandLineOption registry(QStringLiteral("registry"), QStringLiteral("Use this registry file."),
                                QStringLiteral("file"));
    parser.addOptions({unregister, system, registry});
    parser.addPositionalArgument(QStringLiteral("library"), QStringLiteral("The control library (.so)."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    if (parser.isSet(registry))
        qputenv("KESTREL_REGISTER_TO", QFileInfo(parser.value(registry)).absoluteFilePath().toLocal8Bit());
    else if (parser.isSet(system))
        qputenv("KESTREL_REGISTER_TO", ComponentRegistry::systemPath().toLocal8Bit());

    const QString path = QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
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
