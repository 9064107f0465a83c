#pragma once

// The board library bound at run time (Windows): the maker's DLL loaded by its
// full path and each of its functions found by any name a maker's compiler
// gives it, then called in a way that is right for __cdecl and __stdcall
// alike, so that nothing depends on which of the two the maker chose.
#include "boundfunctions.h"

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>

namespace BoardBinding {

// The board DLL's file name, beside the program.
inline constexpr wchar_t DllName[] = L"" BCTRL_LIBRARY_NAME ".dll";

class Library
{
public:
    Library() = default;
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
    ~Library();

    // Loads the DLL at path, a full path, with the DLLs it needs found beside
    // it, beside the program and in Windows' System32, never in the current
    // folder or on PATH, and finds all its functions. On Windows 7 without
    // update KB2533623 the DLLs it needs are looked for beside it, then in
    // System32, the 16-bit System folder and the Windows folder, then on PATH;
    // never in the current folder. False, with problem() saying why, when
    // the DLL cannot be loaded or lacks a function.
    bool open(const std::wstring &path);

    // The function, or null while the library is not open.
    void *function(Id id) const { return functions[std::size_t(id)]; }
    bool isOpen() const { return functions[0] != nullptr; }
    const std::wstring &problem() const { return why; }
    // The module, to tell it from the caller's own.
    const void *module() const { return handle; }

private:
    void *handle = nullptr;
    std::array<void *, FunctionCount> functions {};
    std::wstring why;
};

// The folder of the module (program or DLL) that holds address, with a
// trailing backslash.
std::wstring moduleFolder(const void *address);

// Text for narrow output (standard error, a record): UTF-8.
std::string utf8(const std::wstring &text);

#if defined(_WIN32) && defined(__i386__)
// Calls function with count 32-bit words as its arguments and returns EAX. The
// stack pointer is restored from a callee-saved register after the call,
// which is right whether the callee removed its arguments (__stdcall) or left
// them to the caller (__cdecl).
extern "C" std::uint32_t boardbinding_call(
    const void *function, const std::uint32_t *words, std::uint32_t count) __asm__("boardbinding_call_x86");
#endif

// A bound function called as Result function(args...): Bound<int>{f}(a, b).
template<typename Result>
struct Bound
{
    const void *function;

    template<typename... Args>
    Result operator()(Args... args) const
    {
#if defined(_WIN32) && defined(__i386__)
        const std::array<std::uint32_t, sizeof...(Args)> words {word(args)...};
        return Result(boardbinding_call(function, words.data(), std::uint32_t(words.size())));
#else
        // One calling convention on x64.
        return reinterpret_cast<Result (*)(Args...)>(const_cast<void *>(function))(args...);
#endif
    }

private:
    template<typename T>
    static std::uint32_t word(T value)
    {
        static_assert(sizeof(T) <= 4, "the board's arguments are 32-bit words on x86");
        if constexpr (std::is_pointer_v<T>)
            return std::uint32_t(reinterpret_cast<std::uintptr_t>(value));
        else
            return std::uint32_t(value);
    }
};

} // namespace BoardBinding
