// What the board-call recorder adds: one board call, and one poll tick with
// the repaint it causes, on the stand-in board as this program is linked.
// bench/run_benchmarks.sh runs it as it is and with the recorder preloaded.
// Prints "call_us <median>" and "tick_us <median>".
#include "benchtiming.h"
#include "boardcontrol_api.h"
#include "mainwindow.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    constexpr int CallsPerSample = 2000;
    const bctrl_handle handle = bctrl_init();
    bctrl_input_voltage voltage {};
    const double callUs = BenchTiming::medianMicroseconds(
        CallsPerSample, [&] { bctrl_get_input_voltage(handle, 0, &voltage); });
    bctrl_deinit(handle);

    MainWindow window;
    window.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    constexpr int TicksPerSample = 1000;
    auto tick = [&window] {
        window.timerCallback();
        QCoreApplication::processEvents();
    };
    for (int i = 0; i < TicksPerSample; ++i) // warm-up: fonts, caches, first layout
        tick();
    const double tickUs = BenchTiming::medianMicroseconds(TicksPerSample, tick);

    std::printf("call_us %.3f\ntick_us %.2f\n", callUs, tickUs);
    return 0;
}
