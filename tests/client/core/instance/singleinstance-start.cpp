// A program start reduced to its single-instance guard, for the test of
// starts at the same moment: says "holder" or "asked" on stdout; the holder
// then says "shown" for each later start that asked it, until it is killed.

#include "SingleInstance.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    kestrel::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    const auto say = [](const char* line) {
        std::fputs(line, stdout);
        std::fflush(stdout);
    };
    if (!instance.claim()) {
        say("asked\n");
        return 0;
    }
    say(instance.isListening() ? "holder\n" : "unguarded\n");
    QObject::connect(&instance, &kestrel::SingleInstance::activationRequested, &app,
                     [&say] { say("shown\n"); });
    return QCoreApplication::exec();
}
