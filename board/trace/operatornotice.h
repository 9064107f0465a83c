#pragma once

#include <filesystem>
#include <string>

namespace BoardTrace {

// Says a thing once where an operator can see it: standard error, and the
// debugger output on Windows, where a GUI program has no console.
void say(const std::string &text);

// The variable's value in UTF-8, or empty when it is not set.
std::string environment(const char *name);

// Where records go when BCTRL_TRACE_FILE names none: the user's state folder.
std::filesystem::path stateFolder();

} // namespace BoardTrace
