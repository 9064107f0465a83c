#include "operatornotice.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#  include "boardbinding.h"

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
#ifdef _WIN32
    // The wide environment: a value outside the code page (a user folder in
    // Cyrillic on a Western system) arrives whole.
    const std::wstring wideName(name, name + std::strlen(name));
    const wchar_t *value = _wgetenv(wideName.c_str());
    return value ? BoardBinding::utf8(value) : "";
#else
    const char *value = std::getenv(name);
    return value ? value : "";
#endif
}

std::filesystem::path stateFolder()
{
#ifdef _WIN32
    return std::filesystem::u8path(environment("LOCALAPPDATA")) / "Orvane9 power monitor";
#else
    const std::string state = environment("XDG_STATE_HOME");
    if (!state.empty())
        return std::filesystem::path(state) / "powermonitor";
    return std::filesystem::path(environment("HOME")) / ".local" / "state" / "powermonitor";
#endif
}

} // namespace BoardTrace
