#include "boardbinding.h"

#include <windows.h>

#include <cstring>

#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
// Declared by MinGW's headers only from Windows 8 on; Windows 7 SP1 takes them
// with update KB2533623.
#  define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#  define LOAD_LIBRARY_SEARCH_APPLICATION_DIR 0x00000200
#  define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

#if defined(_WIN32) && defined(__i386__)
// boardbinding_call(function, words, count), under its assembler name: the
// words copied below a 16-byte aligned stack pointer, the call, then ESP back
// from EBP, which both conventions keep.
__asm__(".text\n"
        ".globl boardbinding_call_x86\n"
        "boardbinding_call_x86:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    movl 16(%ebp), %ecx\n"
        "    movl 12(%ebp), %edx\n"
        "    leal (,%ecx,4), %eax\n"
        "    subl %eax, %esp\n"
        "    andl $-16, %esp\n"
        "1:  testl %ecx, %ecx\n"
        "    jz 2f\n"
        "    decl %ecx\n"
        "    movl (%edx,%ecx,4), %eax\n"
        "    movl %eax, (%esp,%ecx,4)\n"
        "    jmp 1b\n"
        "2:  call *8(%ebp)\n"
        "    movl %ebp, %esp\n"
        "    popl %ebp\n"
        "    ret\n");
#endif

namespace BoardBinding {

namespace {

constexpr int LargestStackBytes = 64;
constexpr DWORD HeaderBytes = 4096;
constexpr WORD MachineI386 = 0x14c;
constexpr WORD MachineAmd64 = 0x8664;
constexpr int ProgramBits = int(sizeof(void *)) * 8;

std::wstring widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end()); // the names are ASCII
}

// The DLL's architecture as its PE header gives it: 32, 64, or 0 where the
// file is no DLL for x86 or x64.
int dllBits(const std::wstring &path)
{
    const HANDLE file = CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    unsigned char header[HeaderBytes] = {};
    DWORD read = 0;
    const bool ok = ReadFile(file, header, sizeof header, &read, nullptr);
    CloseHandle(file);
    if (!ok || read < 0x40 || header[0] != 'M' || header[1] != 'Z')
        return 0;
    DWORD nt = 0;
    std::memcpy(&nt, header + 0x3c, sizeof nt);
    if (nt > read - 6 || std::memcmp(header + nt, "PE\0\0", 4) != 0)
        return 0;
    WORD machine = 0;
    std::memcpy(&machine, header + nt + 4, sizeof machine);
    return machine == MachineI386 ? 32 : machine == MachineAmd64 ? 64 : 0;
}

std::wstring windowsError(DWORD error)
{
    wchar_t *text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring said = L"Windows error " + std::to_wstring(error);
    if (text) {
        std::wstring message = text;
        LocalFree(text);
        while (!message.empty()
            && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
            message.pop_back();
        said += L": " + message;
    }
    return said;
}

// Why the DLL at path could not be loaded.
std::wstring loadProblem(const std::wstring &path, DWORD error)
{
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return L"there is no such file";
    if (error == ERROR_BAD_EXE_FORMAT) {
        const int bits = dllBits(path);
        if (bits != 0 && bits != ProgramBits)
            return L"it is a " + std::to_wstring(bits) + L"-bit DLL, and this is the "
                + std::to_wstring(ProgramBits) + L"-bit program, which cannot load it";
        if (bits == 0)
            return L"it is not a Windows DLL for x86 or x64";
    }
    if (error == ERROR_MOD_NOT_FOUND)
        return L"a DLL that it needs is not beside it, nor one of Windows' own (" + windowsError(error)
            + L")";
    return L"Windows cannot load it (" + windowsError(error) + L")";
}

void *find(HMODULE module, const std::string &name)
{
    return reinterpret_cast<void *>(GetProcAddress(module, name.c_str()));
}

// Why a function is not found under a name that fits: a name of it with
// other argument bytes, or __fastcall's, else that it is not exported.
std::wstring missingFunction(HMODULE module, const Function &f)
{
    const std::string name = f.name;
    const std::string fastcall = "@" + name + "@" + std::to_string(f.stackBytes);
    if (find(module, fastcall))
        return L"it exports " + widen(fastcall)
            + L", a __fastcall function, which takes its arguments in registers";
    for (int bytes = 0; bytes <= LargestStackBytes; bytes += 4) {
        for (const std::string &other :
            {name + "@" + std::to_string(bytes), "_" + name + "@" + std::to_string(bytes)}) {
            if (bytes != f.stackBytes && find(module, other))
                return L"it exports " + widen(other) + L", which takes " + std::to_wstring(bytes)
                    + L" bytes of arguments where the program passes " + std::to_wstring(f.stackBytes);
        }
    }
    return L"it does not export " + widen(name);
}

} // namespace

Library::~Library()
{
    if (handle)
        FreeLibrary(static_cast<HMODULE>(handle));
}

bool Library::open(const std::wstring &path)
{
    // The current folder out of the search for good: for the fallback below,
    // and for any DLL the board DLL loads later by name.
    SetDllDirectoryW(L"");
    // Windows 7 SP1 without update KB2533623 lacks the LOAD_LIBRARY_SEARCH_*
    // flags; AddDllDirectory came with them. Without them the DLL's own folder
    // comes first, then Windows' folders, then PATH.
    const bool searchFlags = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    const DWORD flags = searchFlags ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_APPLICATION_DIR
            | LOAD_LIBRARY_SEARCH_SYSTEM32
                                    : LOAD_WITH_ALTERED_SEARCH_PATH;
    const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, flags);
    if (!module) {
        why = loadProblem(path, GetLastError());
        return false;
    }
    std::array<void *, FunctionCount> found {};
    std::wstring missing;
    for (int i = 0; i < FunctionCount; ++i) {
        const Function &f = BoardBinding::functions[i];
        const std::string name = f.name;
        const std::string at = "@" + std::to_string(f.stackBytes);
        for (const std::string &candidate : {name, name + at, "_" + name + at}) {
            if ((found[i] = find(module, candidate)))
                break;
        }
        if (!found[i])
            missing += (missing.empty() ? L"" : L"; ") + missingFunction(module, f);
    }
    if (!missing.empty()) {
        FreeLibrary(module);
        why = missing;
        return false;
    }
    handle = module;
    functions = found;
    return true;
}

std::wstring moduleFolder(const void *address)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        static_cast<LPCWSTR>(address), &module);
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // a long path, cut short
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::string utf8(const std::wstring &text)
{
    if (text.empty())
        return {};
    const int bytes
        = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}

} // namespace BoardBinding
