#include "operatornotice.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#  include <windows.h>
#endif

namespace BoardTrace {

void say(const std::string &text)
{
    const std::string line = "boardtrace: " + text + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
#ifdef _WIN32
    OutputDebugStringA(line.c_str());
#endif
}

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::filesystem::path stateFolder()
{
#ifdef _WIN32
    return std::filesystem::path(environment("LOCALAPPDATA")) / "Orvane9 power monitor";
#else
    const std::string state = environment("XDG_STATE_HOME");
    if (!state.empty())
        return std::filesystem::path(state) / "powermonitor";
    return std::filesystem::path(environment("HOME")) / ".local" / "state" / "powermonitor";
#endif
}

} // namespace BoardTrace
