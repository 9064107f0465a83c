// Start-up: the monitor's own main on the stand-in board, timed from the
// launch to the end of the first tick. The launcher puts its clock reading
// (CLOCK_REALTIME, nanoseconds) into BENCH_LAUNCH_NS just before it starts the
// process, so loading the libraries counts too. Prints "startup_ms <ms>".
#include "mainwindow.h"

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    const char *launch = std::getenv("BENCH_LAUNCH_NS");
    if (!launch) {
        std::fprintf(stderr, "bench_startup: set BENCH_LAUNCH_NS to the launch time (date +%%s%%N)\n");
        return 2;
    }
    const long long launchNs = std::atoll(launch);
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    // Connected after the window's own slot, so it runs when the first tick is done.
    QTimer *poll = window.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QObject::connect(poll, &QTimer::timeout, &app, [launchNs] {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
        std::printf("startup_ms %.1f\n", double(ns - launchNs) / 1e6);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
