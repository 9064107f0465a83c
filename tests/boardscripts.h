#pragma once

// Readings scripted into the fake board, and what the window must make of them.

#include "fakeboard.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace BoardScripts {

// Window cell texts keyed "tableWidgetVoltage[row,column]".
using Cells = QMap<QString, QString>;

inline const QString ZeroVersionLine = QStringLiteral(
    "versioninfo: device_type 0 firmware_version 0.00 hardware_version 0.00 protocol_version 0.00");
inline const QString MaximaVersionLine = QStringLiteral(
    "versioninfo: device_type 255 firmware_version 257.55 hardware_version 257.55 protocol_version 257.55");

// Every reading at the largest value of its width.
inline void scriptMaxima()
{
    FakeBoard::Readings &r = FakeBoard::readings();
    r.bctrl_get_version_info = bctrl_version_info {0xff, 0xff, 0xffff, 0xffff, 0xffff};
    r.bctrl_get_input_voltage = bctrl_input_voltage {0xffff, 0xffff, 0xffff, 0xffff};
    r.bctrl_get_canbus_powerstate = r.bctrl_get_pgood_states = 0xffffffffu;
    r.bctrl_get_lcd_voltage = r.bctrl_get_pcie_voltage = r.bctrl_get_display_current = r.bctrl_get_cpu_current
        = 0xffff;
    r.bctrl_get_gps_fault_state = r.bctrl_get_thermal_trip_state = 0xff;
}

// The polled cells once a full cycle has read the maxima.
inline const Cells MaximaCells = {
    {"tableWidgetVoltage[0,0]", "4268.73"},
    {"tableWidgetVoltage[1,0]", "2431.32"},
    {"tableWidgetVoltage[2,0]", "65535"},
    {"tableWidgetVoltage[3,0]", "65535"},
    {"tableWidgetCurrent[0,0]", "1232.06"},
    {"tableWidgetCurrent[1,0]", "1232.06"},
    {"tableWidgetCurrent[2,0]", "65535"},
    {"tableWidgetCurrent[3,0]", "65535"},
    {"tableWidgetMisc[0,0]", "4294967295"},
    {"tableWidgetMisc[1,0]", "4294967295"},
    {"tableWidgetMisc[2,0]", "255"},
    {"tableWidgetMisc[4,0]", "255"},
};

// The calls that the first `ticks` ticks of a window's life make: the version
// record, then phases 1 to 9 and an idle tick, over and over.
inline QStringList pollCalls(int ticks)
{
    const QStringList cycle = {
        "bctrl_get_input_voltage(0)",
        "bctrl_get_canbus_powerstate()",
        "bctrl_get_pgood_states()",
        "bctrl_get_lcd_voltage(0)",
        "bctrl_get_pcie_voltage(0)",
        "bctrl_get_display_current(0)",
        "bctrl_get_cpu_current(0)",
        "bctrl_get_gps_fault_state()",
        "bctrl_get_thermal_trip_state()",
    };
    QStringList calls;
    if (ticks >= 1)
        calls.append(QStringLiteral("bctrl_get_version_info()"));
    for (int tick = 2; tick <= ticks; ++tick) {
        const int step = (tick - 2) % 10; // 0 to 8 query, 9 is the idle tick
        if (step < cycle.size())
            calls.append(cycle.at(step));
    }
    return calls;
}

} // namespace BoardScripts
