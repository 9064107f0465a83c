#include "mainwindow.h"
#include "networkplatform.h"

#include <QApplication>

#include <cstdio>

namespace {
constexpr int RefusedExitCode = 2;
}

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString asked = networkPlatformAsked(arguments, qEnvironmentVariable("QT_QPA_PLATFORM"));
    if (!asked.isEmpty()) {
        std::fprintf(stderr,
            "powermonitor: refusing %s: it would serve the window, and with it the board's supply "
            "switches, to anyone on the network without authentication.\n",
            asked.toLocal8Bit().constData());
        return RefusedExitCode;
    }
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 scales the whole window by the display's scale factor, fractions
    // included (150 % is 1.5); Qt 5 does so only when asked before the
    // application object exists, else it scales the text alone.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    const int result = QApplication::exec();
    return result;
}
