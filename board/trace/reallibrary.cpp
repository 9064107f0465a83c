#include "reallibrary.h"

#include "operatornotice.h"

#include <filesystem>

#ifdef _WIN32
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

namespace BoardTrace {

RealLibrary::RealLibrary()
{
    if (!open())
        return;
    std::string missing;
    for (int i = 0; i < FunctionCount; ++i) {
        functions[i] = find(BoardTrace::functions[i]);
        if (!functions[i])
            missing += (missing.empty() ? "" : ", ") + std::string(BoardTrace::functions[i].name);
    }
    if (!missing.empty()) {
        why = lacking(missing);
        return;
    }
    forwarding = true;
#ifndef _WIN32
    say("forwarding to " + path);
#endif
}

#ifdef _WIN32

bool RealLibrary::open()
{
    HMODULE own = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&BoardTrace::functions), &own);
    self = own;
    path = environment("BCTRL_TRACE_LIBRARY");
    if (path.empty()) {
        char ownPath[MAX_PATH] = {};
        GetModuleFileNameA(own, ownPath, sizeof ownPath);
        path = (std::filesystem::path(ownPath).parent_path() / "Orvane_boardcontrol_api.real.dll").string();
    }
    HMODULE real = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!real) {
        why = "no board library at " + path + " (Windows error " + std::to_string(GetLastError())
            + "); rename the maker's DLL to Orvane_boardcontrol_api.real.dll or name it with "
              "BCTRL_TRACE_LIBRARY";
        return false;
    }
    if (real == own) {
        why = path + " is this recorder itself, not the board library";
        return false;
    }
    library = real;
    return true;
}

void *RealLibrary::find(const Function &function)
{
    // As a maker's DLL may export it: plain, decorated by MinGW or by MSVC.
    const std::string name = function.name;
    const std::string at = "@" + std::to_string(function.stackBytes);
    for (const std::string &candidate : {name, name + at, "_" + name + at}) {
        if (FARPROC found = GetProcAddress(static_cast<HMODULE>(library), candidate.c_str()))
            return reinterpret_cast<void *>(found);
    }
    return nullptr;
}

std::string RealLibrary::lacking(const std::string &missing) const
{
    return path + " does not export " + missing;
}

#else

bool RealLibrary::open()
{
    // The functions come from whichever library follows the recorder in the load order.
    Dl_info own {};
    dladdr(reinterpret_cast<const void *>(&BoardTrace::functions), &own);
    self = own.dli_fbase;
    library = RTLD_NEXT;
    return true;
}

void *RealLibrary::find(const Function &function)
{
    void *found = dlsym(library, function.name);
    if (!found)
        return nullptr;
    Dl_info info {};
    const bool known = dladdr(found, &info) != 0;
    if (known && info.dli_fbase == self)
        return nullptr; // never itself
    if (path.empty() && known && info.dli_fname)
        path = info.dli_fname;
    return found;
}

std::string RealLibrary::lacking(const std::string &missing) const
{
    return "no libOrvane_boardcontrol_api.so after the recorder in the load order provides " + missing
        + (path.empty() ? std::string() : " (" + path + " provides the others)");
}

#endif

} // namespace BoardTrace
