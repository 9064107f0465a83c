#pragma once

// The board's functions as the recorder knows them: an id for each, and the
// name and __stdcall argument bytes it is looked up and recorded by.
#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"

#include <iterator>

namespace BoardTrace {

enum class Id {
#define BOARDTRACE_ID(name, shape, output) name,
    BCTRL_FOR_EACH_FUNCTION(BOARDTRACE_ID)
#undef BOARDTRACE_ID
};

struct Function
{
    const char *name;
    int stackBytes; // what a __stdcall version removes, its @N
};

inline constexpr Function functions[] = {
#define BOARDTRACE_FUNCTION(name, shape, output) {#name, BCTRL_SHAPE_STACK_BYTES_##shape},
    BCTRL_FOR_EACH_FUNCTION(BOARDTRACE_FUNCTION)
#undef BOARDTRACE_FUNCTION
};
inline constexpr int FunctionCount = int(std::size(functions));

inline const Function &function(Id id)
{
    return functions[int(id)];
}

} // namespace BoardTrace
