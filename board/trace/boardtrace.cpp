// The board-call recorder: a library with the board-control interface that
// forwards every call, unchanged, to the real board library and records it.
//
// Linux: preloaded (LD_PRELOAD) in front of the real library, which it reaches
// with dlsym(RTLD_NEXT). Windows: put in the program's folder under the board
// library's name, with the real DLL renamed Orvane_boardcontrol_api.real.dll
// beside it or named by BCTRL_TRACE_LIBRARY, and bound as the program binds
// its board library, whatever the maker's calling convention and names.
//
// The record goes to BCTRL_TRACE_FILE, else to a new file in the user's state
// folder: one tab-separated line per call, flushed as the call returns, up to
// BCTRL_TRACE_MAX_MB (64 MiB); a summary of each function's calls and times at
// bctrl_deinit. Nothing here ever stops or changes a call: a record that
// cannot be written is said once, and the calls go on.
#define BCTRL_BUILDING_LIBRARY
#include "boardbinding.h"
#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"
#include "recorder.h"

namespace {

using BoardTrace::Clock;
using BoardTrace::Id;
using BoardTrace::Recorder;
constexpr bctrl_result NotForwarded = Recorder::NotForwarded;

template<typename Output>
const Output *outputOf(Output *out)
{
    return out;
}

} // namespace

// Each function: forward as it came, time the real call, record it.
#define BOARDTRACE_NOT_FORWARDED_INIT 0u
#define BOARDTRACE_NOT_FORWARDED_HANDLE NotForwarded
#define BOARDTRACE_NOT_FORWARDED_OUTPUT NotForwarded
#define BOARDTRACE_NOT_FORWARDED_CHANNEL NotForwarded
#define BOARDTRACE_NOT_FORWARDED_SWITCH NotForwarded
#define BOARDTRACE_OUT_INIT static_cast<const void *>(nullptr)
#define BOARDTRACE_OUT_HANDLE static_cast<const void *>(nullptr)
#define BOARDTRACE_OUT_OUTPUT outputOf(out)
#define BOARDTRACE_OUT_CHANNEL outputOf(out)
#define BOARDTRACE_OUT_SWITCH static_cast<const void *>(nullptr)
// NOLINTBEGIN(bugprone-macro-parentheses): output is a type.
#define BOARDTRACE_DEFINE(name, shape, output)                                                               \
  extern "C" BCTRL_SHAPE_RETURN_##shape BCTRL_CALL name BCTRL_SHAPE_PARAMETERS_##shape(output)               \
  {                                                                                                          \
    Recorder &recorder = Recorder::instance();                                                               \
    const void *real = recorder.real(Id::name);                                                              \
    if (!real)                                                                                               \
      return BOARDTRACE_NOT_FORWARDED_##shape;                                                               \
    const Clock::time_point begin = Clock::now();                                                            \
    if (!BCTRL_SHAPE_HAS_HANDLE_##shape)                                                                     \
      recorder.opened(begin);                                                                                \
    const BCTRL_SHAPE_RETURN_##shape result                                                                  \
        = BoardBinding::Bound<BCTRL_SHAPE_RETURN_##shape> {real} BCTRL_SHAPE_ARGUMENTS_##shape;              \
    const Clock::time_point end = Clock::now();                                                              \
    recorder.record(Id::name, BCTRL_SHAPE_HAS_HANDLE_##shape, BCTRL_SHAPE_HANDLE_##shape,                    \
        BCTRL_SHAPE_HAS_ARGUMENT_##shape, BCTRL_SHAPE_ARGUMENT_##shape, std::uint32_t(result),               \
        BOARDTRACE_OUT_##shape, begin, end);                                                                 \
    if (Id::name == Id::bctrl_deinit)                                                                        \
      recorder.summarise();                                                                                  \
    return result;                                                                                           \
  }
// NOLINTEND(bugprone-macro-parentheses)

BCTRL_FOR_EACH_FUNCTION(BOARDTRACE_DEFINE)
