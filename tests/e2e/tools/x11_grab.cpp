// Saves a picture of one X window: x11_grab WINDOW_ID OUTPUT.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool ok = false;
    const WId window = arguments.size() == 3 ? arguments.at(1).toULongLong(&ok) : 0;
    if (!ok) {
        std::fprintf(stderr, "usage: x11_grab WINDOW_ID OUTPUT.png\n");
        return 2;
    }
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
    if (picture.isNull() || !picture.save(arguments.at(2), "PNG")) {
        std::fprintf(stderr, "x11_grab: could not save window %s to %s\n", qPrintable(arguments.at(1)),
            qPrintable(arguments.at(2)));
        return 1;
    }
    return 0;
}
