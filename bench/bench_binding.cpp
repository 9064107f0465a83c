// What the Windows binding adds to a board call: the same function of the
// board DLL beside this program (the stand-in, plain C), called through the
// binding, which on x86 goes through the thunk that is right for __cdecl and
// __stdcall alike, and called directly through a pointer of its own type.
// `make bench-windows` runs it under Wine. Prints "direct_ns", "bound_ns"
// and their "ratio".
#include "benchtiming.h"
#include "boardbinding.h"

#include <cstdio>

namespace {
const int inThisProgram = 0;
}

int main()
{
    BoardBinding::Library library;
    const std::wstring path = BoardBinding::moduleFolder(&inThisProgram) + BoardBinding::DllName;
    if (!library.open(path)) {
        std::fprintf(stderr, "bench_binding: %s\n", BoardBinding::utf8(library.problem()).c_str());
        return 1;
    }
    using BoardBinding::Id;
    const auto init = BoardBinding::Bound<bctrl_handle> {library.function(Id::bctrl_init)};
    const void *read = library.function(Id::bctrl_get_thermal_trip_state);
    const bctrl_handle handle = init();
    std::uint8_t state = 0;

    constexpr int CallsPerSample = 200000;
    using Direct = bctrl_result (*)(bctrl_handle, std::uint8_t *);
    const auto direct = reinterpret_cast<Direct>(const_cast<void *>(read));
    const double directUs = BenchTiming::medianMicroseconds(CallsPerSample, [&] { direct(handle, &state); });
    const auto bound = BoardBinding::Bound<bctrl_result> {read};
    const double boundUs = BenchTiming::medianMicroseconds(CallsPerSample, [&] { bound(handle, &state); });
    BoardBinding::Bound<bctrl_result> {library.function(Id::bctrl_deinit)}(handle);

    std::printf(
        "direct_ns %.1f\nbound_ns %.1f\nratio %.2f\n", directUs * 1000, boundUs * 1000, boundUs / directUs);
    return 0;
}
