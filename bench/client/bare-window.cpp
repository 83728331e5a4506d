// The yardstick of the client's start: a bare Qt Widgets program that shows
// one window and says "ready" once it is on the screen, that is once its
// first paint has been handed to the display. (A zero timer set after
// show() fires before the display has even asked for the window's content.)

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>

namespace {

class Window final : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QLabel::paintEvent(event);
        if (m_painted)
            return;
        m_painted = true;
        // The paint reaches the display when the event loop flushes it.
        QTimer::singleShot(0, this, [] {
            std::printf("ready\n");
            std::fflush(stdout);
        });
    }

private:
    bool m_painted = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Window window(QStringLiteral("ready"));
    window.resize(330, 400);
    window.show();
    return QApplication::exec();
}
