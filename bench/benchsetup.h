#pragma once

// What the benchmarks share: a fake board whose readings change on every call,
// as a live board's do (so every tick repaints a cell), and the window shown
// on it with its own timer stopped, so that the benchmark drives the ticks.

#include "fakeboard.h"
#include "mainwindow.h"

#include <QTest>
#include <QTimer>

namespace BenchSetup {

inline void installChangingBoard()
{
    FakeBoard::reset();
    FakeBoard::Readings &r = FakeBoard::readings();
    r.bctrl_get_version_info = bctrl_version_info {9, 0, 0x0105, 0x020a, 0x0100};
    FakeBoard::setHook([](const FakeBoard::Call &) {
        static quint16 step = 0;
        ++step;
        const auto wobble = quint16(step % 7);
        FakeBoard::Readings &live = FakeBoard::readings();
        live.bctrl_get_input_voltage = bctrl_input_voltage {
            quint16(365 + wobble), quint16(30 + wobble), quint16(618 + wobble), quint16(4 + wobble % 3)};
        live.bctrl_get_canbus_powerstate = step % 2;
        live.bctrl_get_pgood_states = 1;
        live.bctrl_get_lcd_voltage = quint16(540 + wobble);
        live.bctrl_get_pcie_voltage = quint16(580 + wobble);
        live.bctrl_get_display_current = quint16(118 + wobble);
        live.bctrl_get_cpu_current = quint16(840 + 3 * wobble);
        live.bctrl_get_gps_fault_state = quint8(step % 2);
        live.bctrl_get_thermal_trip_state = quint8(step % 2);
    });
    // Forget the calls as they come: a long run must not grow the fake's log.
    FakeBoard::setRecording(false);
}

// Shown on the current platform (offscreen for the benchmarks); false if it never was.
inline bool showWithoutTimer(MainWindow &window)
{
    window.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

} // namespace BenchSetup
