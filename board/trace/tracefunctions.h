#pragma once

// The board's functions as the recorder knows them: the binding's list, by
// which the real library's functions are found and the records name them.
#include "boundfunctions.h"

namespace BoardTrace {

using BoardBinding::function;
using BoardBinding::Function;
using BoardBinding::FunctionCount;
using BoardBinding::functions;
using BoardBinding::Id;

} // namespace BoardTrace
