#pragma once

#include "callstatistics.h"
#include "reallibrary.h"
#include "recordfile.h"
#include "traceline.h"

#include <chrono>
#include <mutex>
#include <type_traits>

namespace BoardTrace {

using Clock = std::chrono::steady_clock;

// The one recorder of the process: the real library, the record and the
// statistics, made at the first call.
class Recorder
{
public:
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    static Recorder &instance();

    // A call that could not be forwarded: no real library, or it lacks a function.
    static constexpr bctrl_result NotForwarded = -1;

    void *real(Id id) const { return library.function(id); }

    // bctrl_init: the record's times count from the board's first opening.
    void opened(Clock::time_point when);

    template<typename Output>
    void record(Id id, bool hasHandle, bctrl_handle handle, bool hasArgument, std::int32_t argument,
        std::uint32_t result, const Output *out, Clock::time_point begin, Clock::time_point end)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto us
            = std::uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(end - begin).count());
        statistics.add(id, us, hasHandle && result != 0);
        if (!file.isWriting())
            return;
        const TraceLine::Call call {id, std::chrono::duration<double>(begin - start).count(), hasHandle,
            handle, hasArgument, argument, result, us};
        file.write(
            TraceLine::line(call, out ? TraceLine::wrote(out) : (std::is_void_v<Output> ? "-" : "(null)"),
                out ? TraceLine::shown(out) : "-"));
    }

    // At bctrl_deinit: the summary of the calls since the board was opened.
    void summarise();

private:
    Recorder();

    std::mutex mutex;
    Clock::time_point start = Clock::now();
    RecordFile file;
    RealLibrary library;
    bool boardOpen = false;
    CallStatistics statistics;
};

} // namespace BoardTrace
