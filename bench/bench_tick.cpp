// The cost of the poll: full ten-tick cycles on a zero-latency board, with the
// window shown (offscreen) and its pending paint events processed after every
// tick. Prints "tick_us <median microseconds per tick>".
#include "benchsetup.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    BenchSetup::installChangingBoard();
    MainWindow window;
    if (!BenchSetup::showWithoutTimer(window))
        return 1;

    constexpr int TicksPerCycle = 10;
    constexpr int CyclesPerSample = 100;
    constexpr int Samples = 21;
    auto cycle = [&window] {
        for (int tick = 0; tick < TicksPerCycle; ++tick) {
            window.timerCallback();
            QCoreApplication::processEvents();
        }
    };
    for (int i = 0; i < CyclesPerSample; ++i) // warm-up: fonts, caches, first layout
        cycle();

    std::vector<double> perTick;
    for (int sample = 0; sample < Samples; ++sample) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < CyclesPerSample; ++i)
            cycle();
        perTick.push_back(double(timer.nsecsElapsed()) / 1000.0 / (CyclesPerSample * TicksPerCycle));
    }
    std::sort(perTick.begin(), perTick.end());
    std::printf("tick_us %.2f\n", perTick[perTick.size() / 2]);
    return 0;
}
