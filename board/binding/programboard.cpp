// The board functions the program calls, on Windows: each forwards to the
// maker's Orvane_boardcontrol_api.dll beside the program, bound before main()
// runs. A DLL that cannot be bound stops the program there, with one message
// box that says what is wrong and what to do, before any window and without
// any board call.
#include "boardbinding.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

using BoardBinding::Bound;
using BoardBinding::Id;

// The exit status of a program that could not bind its board library.
constexpr int NotBoundExitCode = 3;
constexpr wchar_t ProgramName[] = L"Orvane9 power monitor";

void refuse(const std::wstring &path, const std::wstring &problem)
{
    const std::wstring text = L"The " + std::wstring(ProgramName) + L" cannot use its board library\n" + path
        + L":\n" + problem + L".\n\nInstall the board maker's " + BoardBinding::DllName
        + L" with the power monitor's installer "
          L"(the 32-bit installer for a 32-bit DLL, the 64-bit one for a 64-bit DLL), or ask board-check.exe "
          L"beside the program what a DLL lacks.";
    // Where the program was started from a console or a script, there too.
    const std::string line = BoardBinding::utf8(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    MessageBoxW(nullptr, text.c_str(), ProgramName, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    std::exit(NotBoundExitCode);
}

BoardBinding::Library &bind()
{
    static BoardBinding::Library library;
    if (!library.isOpen()) {
        const std::wstring path
            = BoardBinding::moduleFolder(reinterpret_cast<const void *>(&refuse)) + BoardBinding::DllName;
        if (!library.open(path))
            refuse(path, library.problem());
    }
    return library;
}

// Bound as the program starts, before main(); each call asks again, so that
// none can come before it, whatever the order of the program's initialisers.
const bool boundAtStart = bind().isOpen();

} // namespace

// NOLINTBEGIN(bugprone-macro-parentheses): output is a type.
#define BOARDBINDING_DEFINE(name, shape, output)                                                             \
  extern "C" BCTRL_SHAPE_RETURN_##shape BCTRL_CALL name BCTRL_SHAPE_PARAMETERS_##shape(output)               \
  {                                                                                                          \
    return Bound<BCTRL_SHAPE_RETURN_##shape> {bind().function(Id::name)} BCTRL_SHAPE_ARGUMENTS_##shape;      \
  }
// NOLINTEND(bugprone-macro-parentheses)

BCTRL_FOR_EACH_FUNCTION(BOARDBINDING_DEFINE)
