#include "fakeboard.h"

#include <thread>

namespace FakeBoard {
namespace {

struct State
{
    bctrl_handle handle = 0;
    QList<Call> calls;
    Readings readings;
    std::function<void(const Call &)> hook;
    std::chrono::milliseconds latency {0};
    bool recording = true;
};

State &state()
{
    static State s;
    return s;
}

void record(Function function, bctrl_handle handle, qint64 argument = 0, bool hasArgument = false)
{
    State &s = state();
    const Call call {function, handle, argument, hasArgument};
    if (s.recording)
        s.calls.append(call);
    if (s.latency.count() > 0)
        std::this_thread::sleep_for(s.latency);
    if (s.hook)
        s.hook(call);
}

template<typename T>
void write(const std::optional<T> &reading, T *out)
{
    if (reading && out)
        *out = *reading;
}

} // namespace

QString name(Function function)
{
    switch (function) {
    case Function::Init:
        return QStringLiteral("bctrl_init");
    case Function::Deinit:
        return QStringLiteral("bctrl_deinit");
    case Function::GetVersionInfo:
        return QStringLiteral("bctrl_get_version_info");
    case Function::GetInputVoltage:
        return QStringLiteral("bctrl_get_input_voltage");
    case Function::GetCanbusPowerstate:
        return QStringLiteral("bctrl_get_canbus_powerstate");
    case Function::GetPgoodStates:
        return QStringLiteral("bctrl_get_pgood_states");
    case Function::GetLcdVoltage:
        return QStringLiteral("bctrl_get_lcd_voltage");
    case Function::GetPcieVoltage:
        return QStringLiteral("bctrl_get_pcie_voltage");
    case Function::GetDisplayCurrent:
        return QStringLiteral("bctrl_get_display_current");
    case Function::GetCpuCurrent:
        return QStringLiteral("bctrl_get_cpu_current");
    case Function::GetGpsFaultState:
        return QStringLiteral("bctrl_get_gps_fault_state");
    case Function::GetThermalTripState:
        return QStringLiteral("bctrl_get_thermal_trip_state");
    case Function::EnablePwrGps:
        return QStringLiteral("bctrl_enable_pwr_gps");
    case Function::EnablePwrRadio:
        return QStringLiteral("bctrl_enable_pwr_radio");
    case Function::EnableCua:
        return QStringLiteral("bctrl_enable_CUA");
    case Function::EnableModem:
        return QStringLiteral("bctrl_enable_modem");
    case Function::ResetModem:
        return QStringLiteral("bctrl_reset_modem");
    case Function::ResetCanbusPowerstateError:
        return QStringLiteral("bctrl_reset_canbus_powerstate_error");
    }
    return QStringLiteral("unknown");
}

QString Call::toString() const
{
    const QString arguments = hasArgument ? QString::number(argument) : QString();
    return name(function) + QLatin1Char('(') + arguments + QLatin1Char(')');
}

void reset(bctrl_handle handle)
{
    state() = State();
    state().handle = handle;
}

const QList<Call> &calls()
{
    return state().calls;
}

QStringList trace()
{
    QStringList lines;
    for (const Call &call : state().calls)
        lines.append(call.toString());
    return lines;
}

void clearCalls()
{
    state().calls.clear();
}

Readings &readings()
{
    return state().readings;
}

bctrl_handle initHandle()
{
    return state().handle;
}

void setHook(std::function<void(const Call &)> hook)
{
    state().hook = std::move(hook);
}

void setRecording(bool on)
{
    state().recording = on;
}

void setLatency(std::chrono::milliseconds latency)
{
    state().latency = latency;
}

} // namespace FakeBoard

using FakeBoard::Function;
using FakeBoard::readings;
using FakeBoard::record;

extern "C" {

bctrl_handle BCTRL_CALL bctrl_init(void)
{
    record(Function::Init, 0);
    return FakeBoard::initHandle();
}

bctrl_result BCTRL_CALL bctrl_deinit(bctrl_handle handle)
{
    record(Function::Deinit, handle);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_version_info(bctrl_handle handle, bctrl_version_info *info)
{
    record(Function::GetVersionInfo, handle);
    FakeBoard::write(readings().version, info);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_input_voltage(
    bctrl_handle handle, int32_t channel, bctrl_input_voltage *voltage)
{
    record(Function::GetInputVoltage, handle, channel, true);
    FakeBoard::write(readings().inputVoltage, voltage);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_canbus_powerstate(bctrl_handle handle, uint32_t *state)
{
    record(Function::GetCanbusPowerstate, handle);
    FakeBoard::write(readings().canbusPowerstate, state);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_pgood_states(bctrl_handle handle, uint32_t *states)
{
    record(Function::GetPgoodStates, handle);
    FakeBoard::write(readings().pgoodStates, states);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_lcd_voltage(bctrl_handle handle, int32_t channel, uint16_t *value)
{
    record(Function::GetLcdVoltage, handle, channel, true);
    FakeBoard::write(readings().lcdVoltage, value);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_pcie_voltage(bctrl_handle handle, int32_t channel, uint16_t *value)
{
    record(Function::GetPcieVoltage, handle, channel, true);
    FakeBoard::write(readings().pcieVoltage, value);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_display_current(bctrl_handle handle, int32_t channel, uint16_t *value)
{
    record(Function::GetDisplayCurrent, handle, channel, true);
    FakeBoard::write(readings().displayCurrent, value);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_cpu_current(bctrl_handle handle, int32_t channel, uint16_t *value)
{
    record(Function::GetCpuCurrent, handle, channel, true);
    FakeBoard::write(readings().cpuCurrent, value);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_gps_fault_state(bctrl_handle handle, uint8_t *state)
{
    record(Function::GetGpsFaultState, handle);
    FakeBoard::write(readings().gpsFaultState, state);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_get_thermal_trip_state(bctrl_handle handle, uint8_t *state)
{
    record(Function::GetThermalTripState, handle);
    FakeBoard::write(readings().thermalTripState, state);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_enable_pwr_gps(bctrl_handle handle, int32_t on)
{
    record(Function::EnablePwrGps, handle, on, true);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_enable_pwr_radio(bctrl_handle handle, int32_t on)
{
    record(Function::EnablePwrRadio, handle, on, true);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_enable_CUA(bctrl_handle handle, int32_t on)
{
    record(Function::EnableCua, handle, on, true);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_enable_modem(bctrl_handle handle, int32_t on)
{
    record(Function::EnableModem, handle, on, true);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_reset_modem(bctrl_handle handle)
{
    record(Function::ResetModem, handle);
    return 0;
}

bctrl_result BCTRL_CALL bctrl_reset_canbus_powerstate_error(bctrl_handle handle)
{
    record(Function::ResetCanbusPowerstateError, handle);
    return 0;
}

} // extern "C"
