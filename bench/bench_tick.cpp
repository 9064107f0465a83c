// The cost of the poll: full ten-tick cycles on a zero-latency board, with the
// window shown (offscreen) and its pending paint events processed after every
// tick. Prints "tick_us <median microseconds per tick>".
#include "benchsetup.h"
#include "benchtiming.h"
#include "mainwindow.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    BenchSetup::installChangingBoard();
    MainWindow window;
    if (!BenchSetup::showWithoutTimer(window))
        return 1;

    constexpr int TicksPerCycle = 10;
    constexpr int CyclesPerSample = 100;
    auto tick = [&window] {
        window.timerCallback();
        QCoreApplication::processEvents();
    };
    for (int i = 0; i < CyclesPerSample * TicksPerCycle; ++i) // warm-up: fonts, caches, first layout
        tick();
    // Whole ten-tick cycles, so that every phase counts alike.
    std::printf("tick_us %.2f\n", BenchTiming::medianMicroseconds(CyclesPerSample * TicksPerCycle, tick));
    return 0;
}
