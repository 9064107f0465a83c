#include "boardbinding.h"

#include "boardcontrol_names.h"
#include "dll_check.h"
#include "pe_reader.h"

#include <windows.h>

#include <string>
#include <vector>

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

constexpr LONGLONG LargestDllBytes = 256LL * 1024 * 1024;
constexpr int ProgramBits = int(sizeof(void *)) * 8;

std::wstring widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end()); // the names are ASCII
}

// The DLL file's bytes, for board-check's reader; none where it cannot be read.
std::vector<unsigned char> dllBytes(const std::wstring &path)
{
    const HANDLE file = CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    LARGE_INTEGER size {};
    std::vector<unsigned char> data;
    DWORD read = 0;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= LargestDllBytes) {
        data.resize(std::size_t(size.QuadPart));
        if (!ReadFile(file, data.data(), DWORD(data.size()), &read, nullptr))
            read = 0;
    }
    CloseHandle(file);
    data.resize(read);
    return data;
}

// The DLL's architecture: 32, 64, or 0 where the file is no DLL for x86 or x64.
int dllBits(const std::wstring &path)
{
    const std::vector<unsigned char> data = dllBytes(path);
    return board_check_dll_bits(data.data(), data.size());
}

// The names the DLL exports.
std::vector<std::string> exportedNames(const std::wstring &path)
{
    const std::vector<unsigned char> data = dllBytes(path);
    pe_file pe;
    pe_exports exports;
    std::vector<std::string> names;
    if (pe_read(&pe, data.data(), data.size()) || !pe_exports_read(&pe, &exports))
        return names;
    for (pe_offset n = 0; n < exports.names; ++n) {
        uint32_t index = 0;
        if (const char *name = pe_export_name(&pe, &exports, n, &index))
            names.emplace_back(name);
    }
    return names;
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

void *find(HMODULE module, const char *name)
{
    return reinterpret_cast<void *>(GetProcAddress(module, name));
}

// Why a function is not found under a name the program takes: a name of it
// with other argument bytes, or __fastcall's, else that it is not exported.
std::wstring missingFunction(const std::vector<std::string> &exported, const Function &f)
{
    for (const std::string &name : exported) {
        int bytes = 0;
        switch (bctrl_name_kind_of(name.c_str(), f.name, f.stackBytes, &bytes)) {
        case BCTRL_NAME_FASTCALL:
            return L"it exports " + widen(name)
                + L", a __fastcall function, which takes its arguments in registers";
        case BCTRL_NAME_OTHER_BYTES:
            return L"it exports " + widen(name) + L", which takes " + std::to_wstring(bytes)
                + L" bytes of arguments where the program passes " + std::to_wstring(f.stackBytes);
        case BCTRL_NAME_UNRELATED:
        case BCTRL_NAME_ACCEPTED:
            break;
        }
    }
    return L"it does not export " + widen(f.name);
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
    std::vector<std::string> exported; // read where a function is missing
    for (int i = 0; i < FunctionCount; ++i) {
        const Function &f = BoardBinding::functions[i];
        char names[BCTRL_NAME_FORMS][BCTRL_NAME_MAX];
        bctrl_accepted_names(f.name, f.stackBytes, names);
        for (const char *candidate : names) {
            if ((found[i] = find(module, candidate)))
                break;
        }
        if (found[i])
            continue;
        if (missing.empty())
            exported = exportedNames(path);
        missing += (missing.empty() ? L"" : L"; ") + missingFunction(exported, f);
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
