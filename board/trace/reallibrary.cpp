#include "reallibrary.h"

#include "operatornotice.h"

#ifdef _WIN32
#  include <windows.h>

#  include <cstdlib>
#else
#  include <dlfcn.h>
#endif

namespace BoardTrace {

#ifdef _WIN32

// The maker's DLL, renamed Orvane_boardcontrol_api.real.dll beside the
// recorder or named by BCTRL_TRACE_LIBRARY, bound as the program binds its
// board library: whatever its calling convention and names.
RealLibrary::RealLibrary()
{
    const wchar_t *named = _wgetenv(L"BCTRL_TRACE_LIBRARY");
    const std::wstring path = named && *named
        ? std::wstring(named)
        : BoardBinding::moduleFolder(reinterpret_cast<const void *>(&BoardTrace::functions))
            + L"" BCTRL_LIBRARY_NAME ".real.dll";
    const bool bound = library.open(path);
    HMODULE own = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&BoardTrace::functions), &own);
    if (bound && library.module() == own) {
        why = BoardBinding::utf8(path) + " is this recorder itself, not the board library";
        return;
    }
    if (!bound) {
        why = "the board library " + BoardBinding::utf8(path)
            + " cannot be used: " + BoardBinding::utf8(library.problem())
            + "; rename the maker's DLL to " BCTRL_LIBRARY_NAME
              ".real.dll or name it with BCTRL_TRACE_LIBRARY";
        return;
    }
    for (int i = 0; i < FunctionCount; ++i)
        functions[i] = library.function(Id(i));
    forwarding = true;
}

#else

// The functions come from whichever library follows the recorder in the load
// order.
RealLibrary::RealLibrary()
{
    Dl_info own {};
    dladdr(reinterpret_cast<const void *>(&BoardTrace::functions), &own);
    std::string missing;
    std::string path;
    for (int i = 0; i < FunctionCount; ++i) {
        void *found = dlsym(RTLD_NEXT, BoardTrace::functions[i].name);
        Dl_info info {};
        const bool known = found && dladdr(found, &info) != 0;
        if (known && info.dli_fbase == own.dli_fbase)
            found = nullptr; // never itself
        if (found && path.empty() && known && info.dli_fname)
            path = info.dli_fname;
        functions[i] = found;
        if (!found)
            missing += (missing.empty() ? "" : ", ") + std::string(BoardTrace::functions[i].name);
    }
    if (!missing.empty()) {
        why = "no lib" BCTRL_LIBRARY_NAME ".so after the recorder in the load order provides " + missing
            + (path.empty() ? std::string() : " (" + path + " provides the others)");
        return;
    }
    forwarding = true;
    say("forwarding to " + path);
}

#endif

} // namespace BoardTrace
