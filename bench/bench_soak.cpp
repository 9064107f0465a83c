// Soak: a million ticks through the poll with readings that change on every
// tick, the window shown (offscreen) and its events processed as it goes.
// Reports resident memory after the first 10,000 ticks and at the end, and
// fails when it grew by more than 1 MiB. Usage: bench_soak [TICKS]
#include "benchsetup.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

// VmRSS of this process in KiB.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long ticks = argc > 1 ? std::atol(argv[1]) : 1000000;
    constexpr long SettleTicks = 10000;
    constexpr long AllowedGrowthKiB = 1024;
    if (ticks <= SettleTicks) {
        std::fprintf(stderr, "bench_soak: run more than %ld ticks\n", SettleTicks);
        return 2;
    }

    BenchSetup::installChangingBoard();
    MainWindow window;
    if (!BenchSetup::showWithoutTimer(window))
        return 1;

    QElapsedTimer clock;
    clock.start();
    long settled = 0;
    for (long tick = 1; tick <= ticks; ++tick) {
        window.timerCallback();
        QCoreApplication::processEvents();
        if (tick == SettleTicks)
            settled = residentKiB();
    }
    const long final = residentKiB();
    const long growth = final - settled;
    std::printf("soak_ticks %ld\nsoak_rss_settled_kib %ld\nsoak_rss_end_kib %ld\nsoak_growth_kib %ld\n"
                "soak_seconds %.1f\n",
        ticks, settled, final, growth, double(clock.elapsed()) / 1000.0);
    if (settled < 0 || growth > AllowedGrowthKiB) {
        std::fprintf(stderr, "bench_soak: resident memory grew by %ld KiB (at most %ld allowed)\n", growth,
            AllowedGrowthKiB);
        return 1;
    }
    return 0;
}
