#pragma once

// The board's functions as code that finds them by name knows them: an id for
// each, its name, and the bytes of arguments a __stdcall version of it
// removes (the N of its decorated names name@N and _name@N).
#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"

#include <iterator>

namespace BoardBinding {

enum class Id {
#define BOARDBINDING_ID(name, shape, output) name,
    BCTRL_FOR_EACH_FUNCTION(BOARDBINDING_ID)
#undef BOARDBINDING_ID
};

struct Function
{
    const char *name;
    int stackBytes;
};

inline constexpr Function functions[] = {
#define BOARDBINDING_FUNCTION(name, shape, output) {#name, BCTRL_SHAPE_STACK_BYTES_##shape},
    BCTRL_FOR_EACH_FUNCTION(BOARDBINDING_FUNCTION)
#undef BOARDBINDING_FUNCTION
};
inline constexpr int FunctionCount = int(std::size(functions));

inline const Function &function(Id id)
{
    return functions[int(id)];
}

} // namespace BoardBinding
