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

void record(Function function, bctrl_handle handle, qint64 argument, bool hasArgument)
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
    static const char *const names[] = {
#define FAKEBOARD_NAME(name, shape, output) #name,
        BCTRL_FOR_EACH_FUNCTION(FAKEBOARD_NAME)
#undef FAKEBOARD_NAME
    };
    return QString::fromLatin1(names[int(function)]);
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

// Every entry point records its call, writes the scripted reading (if any) and
// succeeds; bctrl_init hands out the scripted handle.
#define FAKEBOARD_FINISH_INIT(name) return FakeBoard::initHandle();
#define FAKEBOARD_FINISH_HANDLE(name) return 0;
#define FAKEBOARD_FINISH_OUTPUT(name)                                                                        \
  FakeBoard::write(FakeBoard::readings().name, out);                                                         \
  return 0;
#define FAKEBOARD_FINISH_CHANNEL(name) FAKEBOARD_FINISH_OUTPUT(name)
#define FAKEBOARD_FINISH_SWITCH(name) return 0;
#define FAKEBOARD_DEFINE(name, shape, output)                                                                \
  BCTRL_SHAPE_RETURN_##shape BCTRL_CALL name BCTRL_SHAPE_PARAMETERS_##shape(output)                          \
  {                                                                                                          \
    FakeBoard::record(Function::name, BCTRL_SHAPE_HANDLE_##shape, BCTRL_SHAPE_ARGUMENT_##shape,              \
        BCTRL_SHAPE_HAS_ARGUMENT_##shape);                                                                   \
    FAKEBOARD_FINISH_##shape(name)                                                                           \
  }

extern "C" {
BCTRL_FOR_EACH_FUNCTION(FAKEBOARD_DEFINE)
} // extern "C"
