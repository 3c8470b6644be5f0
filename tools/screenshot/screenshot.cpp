// Saves a part of the X screen as a PNG file: what the user's guide shows of the program's
// windows, taken from the running program. An OUTPUT named .ppm is a portable pixmap, which the
// whole-program tests read without an image library.
//
// Usage: screenshot OUTPUT.png X Y WIDTH HEIGHT

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: screenshot OUTPUT.png X Y WIDTH HEIGHT\n");
        return 2;
    }
    int numbers[4] = {};
    for (int i = 0; i < 4; ++i) {
        char* end = nullptr;
        const long value = std::strtol(argv[i + 2], &end, 10);
        if (*end != '\0' || value < 0 || value > 100000) {
            std::fprintf(stderr, "screenshot: not a position or size: %s\n", argv[i + 2]);
            return 2;
        }
        numbers[i] = static_cast<int>(value);
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    const QPixmap picture = screen
        ? screen->grabWindow(0, numbers[0], numbers[1], numbers[2], numbers[3])
        : QPixmap();
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "screenshot: cannot grab or write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
