#pragma once

// A recording fake of the board-control library, linked into the tests in place
// of the real one. It logs every call in order with its arguments, writes the
// readings a test scripts (or nothing at all), and can run a hook inside a call.

#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace FakeBoard {

// The library's functions, named as the library names them.
enum class Function {
#define FAKEBOARD_ENUMERATOR(name, shape, output) name,
    BCTRL_FOR_EACH_FUNCTION(FAKEBOARD_ENUMERATOR)
#undef FAKEBOARD_ENUMERATOR
};

QString name(Function function);

// One call as the library saw it. handle is 0 for bctrl_init; argument is the
// second argument of the two-argument and three-argument calls, else 0.
struct Call
{
    Function function;
    bctrl_handle handle;
    qint64 argument;
    bool hasArgument;

    // "bctrl_enable_pwr_gps(1)": the name and the argument, without the handle.
    QString toString() const;
};

// What each reading call writes, under the call's name; an empty optional
// writes nothing.
#define FAKEBOARD_READING_INIT(name, output)
#define FAKEBOARD_READING_HANDLE(name, output)
#define FAKEBOARD_READING_OUTPUT(name, output) std::optional<output> name;
#define FAKEBOARD_READING_CHANNEL(name, output) std::optional<output> name;
#define FAKEBOARD_READING_SWITCH(name, output)
#define FAKEBOARD_READING(name, shape, output) FAKEBOARD_READING_##shape(name, output)
struct Readings
{
    BCTRL_FOR_EACH_FUNCTION(FAKEBOARD_READING)
};

// Forgets the calls, writes nothing from now on, returns handle from bctrl_init.
void reset(bctrl_handle handle = 0x1234abcdu);

const QList<Call> &calls();
// The calls so far as toString() writes them.
QStringList trace();
void clearCalls();
Readings &readings();
bctrl_handle initHandle();

// Runs inside every call, after it has been recorded and before it returns.
void setHook(std::function<void(const Call &)> hook);
// Off: calls are not logged (the hook still runs), for long runs.
void setRecording(bool on);
// Every call blocks this long, as a slow bus would.
void setLatency(std::chrono::milliseconds latency);

} // namespace FakeBoard
