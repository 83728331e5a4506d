// The yardstick of the client's start: a bare Qt Widgets program that shows
// one window and says "ready" once it is on the screen.

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("ready"));
    window.resize(330, 400);
    window.show();
    QTimer::singleShot(0, &app, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return QApplication::exec();
}
