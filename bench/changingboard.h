#pragma once

// Scripts the recording fake board so that every reading changes on every
// call, as a live board's do, and so every tick repaints a cell.

#include "fakeboard.h"

namespace ChangingBoard {

inline void install()
{
    FakeBoard::reset();
    FakeBoard::Readings &r = FakeBoard::readings();
    r.version = bctrl_version_info{9, 0, 0x0105, 0x020a, 0x0100};
    FakeBoard::setHook([](const FakeBoard::Call &) {
        static quint16 step = 0;
        ++step;
        const auto wobble = quint16(step % 7);
        FakeBoard::Readings &live = FakeBoard::readings();
        live.inputVoltage = bctrl_input_voltage{quint16(365 + wobble), quint16(30 + wobble), quint16(618 + wobble),
                                                quint16(4 + wobble % 3)};
        live.canbusPowerstate = step % 2;
        live.pgoodStates = 1;
        live.lcdVoltage = quint16(540 + wobble);
        live.pcieVoltage = quint16(580 + wobble);
        live.displayCurrent = quint16(118 + wobble);
        live.cpuCurrent = quint16(840 + 3 * wobble);
        live.gpsFaultState = quint8(step % 2);
        live.thermalTripState = quint8(step % 2);
    });
    // Forget the calls as they come: a long run must not grow the fake's log.
    FakeBoard::setRecording(false);
}

} // namespace ChangingBoard
