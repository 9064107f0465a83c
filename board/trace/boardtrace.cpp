// The board-call recorder: a library with the board-control interface that
// forwards every call, unchanged, to the real board library and records it.
//
// Linux: preloaded (LD_PRELOAD) in front of the real library, which it reaches
// with dlsym(RTLD_NEXT). Windows: put in the program's folder under the board
// library's name, with the real DLL renamed Orvane_boardcontrol_api.real.dll
// beside it or named by BCTRL_TRACE_LIBRARY.
//
// The record goes to BCTRL_TRACE_FILE, else to a new file in the user's state
// folder: one tab-separated line per call, flushed as the call returns, up to
// BCTRL_TRACE_MAX_MB (64 MiB); a summary of each function's calls and times at
// bctrl_deinit. Nothing here ever stops or changes a call: a record that
// cannot be written is said once, and the calls go on.
#define BCTRL_BUILDING_LIBRARY
#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"
#include "readingformat.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <type_traits>

#ifdef _WIN32
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <unistd.h>
#endif

namespace {

enum class Id {
#define BOARDTRACE_ID(name, shape, output) name,
    BCTRL_FOR_EACH_FUNCTION(BOARDTRACE_ID)
#undef BOARDTRACE_ID
};

struct Function
{
    const char *name;
    int stackBytes; // what a __stdcall version removes, its @N
};

constexpr Function functions[] = {
#define BOARDTRACE_FUNCTION(name, shape, output) {#name, BCTRL_SHAPE_STACK_BYTES_##shape},
    BCTRL_FOR_EACH_FUNCTION(BOARDTRACE_FUNCTION)
#undef BOARDTRACE_FUNCTION
};
constexpr int FunctionCount = int(std::size(functions));

// A call that could not be forwarded: no real library, or it lacks a function.
constexpr bctrl_result NotForwarded = -1;
constexpr std::uint64_t DefaultLimitMiB = 64;
constexpr std::uint64_t BytesPerMiB = std::uint64_t(1024) * 1024;
// Room kept below the limit for the line that says the record stopped.
constexpr std::size_t ClosingLineRoom = 256;

using Clock = std::chrono::steady_clock;

// Call durations in microseconds: exact up to ExactBuckets, then by powers of two.
class Durations
{
public:
    void add(std::uint64_t us)
    {
        ++buckets[bucket(us)];
        ++count;
        smallest = std::min(smallest, us);
        largest = std::max(largest, us);
    }
    std::uint64_t calls() const { return count; }
    std::uint64_t min() const { return count ? smallest : 0; }
    std::uint64_t max() const { return largest; }
    // The lower bound of the bucket holding the middle call.
    std::uint64_t median() const
    {
        std::uint64_t seen = 0;
        for (std::size_t i = 0; i < buckets.size(); ++i) {
            seen += buckets[i];
            if (seen * 2 > count)
                return i < ExactBuckets ? i : std::uint64_t(ExactBuckets) << (i - ExactBuckets);
        }
        return largest;
    }

private:
    static constexpr std::size_t ExactBuckets = 4096;
    static constexpr std::size_t OctaveBuckets = 64;
    static std::size_t bucket(std::uint64_t us)
    {
        if (us < ExactBuckets)
            return std::size_t(us);
        std::size_t octave = 0;
        for (std::uint64_t v = us / ExactBuckets; v > 1; v >>= 1)
            ++octave;
        return ExactBuckets + std::min(octave, OctaveBuckets - 1);
    }
    std::array<std::uint32_t, ExactBuckets + OctaveBuckets> buckets {};
    std::uint64_t count = 0;
    std::uint64_t smallest = UINT64_MAX;
    std::uint64_t largest = 0;
};

// What the caller's variable holds after the call, raw; and for the two
// records, as the window shows them.
std::string raw(const void *)
{
    return "-";
}
std::string raw(const std::uint8_t *v)
{
    return std::to_string(*v);
}
std::string raw(const std::uint16_t *v)
{
    return std::to_string(*v);
}
std::string raw(const std::uint32_t *v)
{
    return std::to_string(*v);
}
std::string raw(const bctrl_input_voltage *v)
{
    return "vin_raw=" + std::to_string(v->vin_raw) + " iin_raw=" + std::to_string(v->iin_raw)
        + " vcan_raw=" + std::to_string(v->vcan_raw) + " ican_raw=" + std::to_string(v->ican_raw);
}
std::string raw(const bctrl_version_info *v)
{
    char text[96];
    std::snprintf(text, sizeof text,
        "device_type=%u protocol_version=0x%04x firmware_version=0x%04x hardware_version=0x%04x",
        unsigned(v->device_type), unsigned(v->protocol_version), unsigned(v->firmware_version),
        unsigned(v->hardware_version));
    return text;
}

std::string shown(const void *)
{
    return "-";
}
std::string shown(const bctrl_input_voltage *v)
{
    using namespace ReadingFormat;
    return "Vin=" + scaled(v->vin_raw, VinScale).toStdString()
        + " Iin=" + scaled(v->iin_raw, CurrentScale).toStdString()
        + " VCAN=" + scaled(v->vcan_raw, VcanScale).toStdString()
        + " ICAN=" + scaled(v->ican_raw, CurrentScale).toStdString();
}
std::string shown(const bctrl_version_info *v)
{
    return ReadingFormat::versionLine(*v).toStdString();
}

// Says a thing once where an operator can see it: standard error, and the
// debugger output on Windows, where a GUI program has no console.
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

class Recorder
{
public:
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    static Recorder &instance()
    {
        static Recorder recorder;
        return recorder;
    }

    // The real library's function, or null when the calls cannot be forwarded.
    void *real(Id id) const { return forwarding ? realFunctions[int(id)] : nullptr; }

    void opened(Clock::time_point when)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!boardOpen)
            start = when;
        boardOpen = true;
    }

    template<typename Output>
    void record(Id id, bool hasHandle, bctrl_handle handle, bool hasArgument, std::int32_t argument,
        std::uint32_t result, const Output *out, Clock::time_point begin, Clock::time_point end)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto us
            = std::uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(end - begin).count());
        durations[int(id)].add(us);
        if (hasHandle && result != 0)
            ++failures[int(id)];
        if (!writing)
            return;

        const double seconds = std::chrono::duration<double>(begin - start).count();
        char head[160];
        if (hasHandle) {
            std::snprintf(
                head, sizeof head, "%.6f\t%s\t%08" PRIx32 "\t", seconds, functions[int(id)].name, handle);
        } else {
            std::snprintf(head, sizeof head, "%.6f\t%s\t-\t", seconds, functions[int(id)].name);
        }
        std::string line = head;
        line += hasArgument ? std::to_string(argument) : std::string("-");
        line += '\t';
        if (hasHandle) {
            line += std::to_string(std::int32_t(result));
        } else {
            char text[16];
            std::snprintf(text, sizeof text, "%08" PRIx32, result);
            line += text;
        }
        line += '\t';
        line += out ? raw(out) : (std::is_void_v<Output> ? "-" : "(null)");
        line += '\t';
        line += out ? shown(out) : "-";
        line += '\t' + std::to_string(us) + '\n';
        write(line);
    }

    // At bctrl_deinit: each function's calls, failures and times since the board was opened.
    void summarise()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        boardOpen = false;
        std::string text = "# summary\tfunction\tcalls\tnon-zero results\tmin_us\tmedian_us\tmax_us\n";
        for (int i = 0; i < FunctionCount; ++i) {
            const Durations &d = durations[i];
            if (d.calls() == 0)
                continue;
            text += "# summary\t" + std::string(functions[i].name) + '\t' + std::to_string(d.calls()) + '\t'
                + std::to_string(failures[i]) + '\t' + std::to_string(d.min()) + '\t'
                + std::to_string(d.median()) + '\t' + std::to_string(d.max()) + '\n';
        }
        if (writing)
            write(text);
        durations = {};
        failures = {};
    }

private:
    Recorder()
    {
        openRecord();
        resolve();
        if (!forwarding) {
            const std::string text = "cannot forward the board's calls: " + reason
                + "; every call fails (result " + std::to_string(NotForwarded) + ") and writes nothing";
            say(text);
            if (writing)
                write("# " + text + '\n');
        }
    }

    void openRecord()
    {
        start = Clock::now();
        std::uint64_t limitMiB = DefaultLimitMiB;
        const std::string limitText = environment("BCTRL_TRACE_MAX_MB");
        if (!limitText.empty()) {
            char *end = nullptr;
            const unsigned long long value = std::strtoull(limitText.c_str(), &end, 10);
            if (end && *end == '\0' && value > 0)
                limitMiB = value;
            else
                say("BCTRL_TRACE_MAX_MB='" + limitText
                    + "' is no whole number of MiB above 0; the limit stays "
                    + std::to_string(DefaultLimitMiB) + " MiB");
        }
        limit = limitMiB * BytesPerMiB;

        std::string path = environment("BCTRL_TRACE_FILE");
        std::error_code error;
        if (path.empty()) {
            const std::filesystem::path folder = stateFolder();
            std::filesystem::create_directories(folder, error);
            char name[64];
            const std::time_t now = std::time(nullptr);
            std::tm local {};
#ifdef _WIN32
            local = *std::localtime(&now); // before any thread of ours
            const unsigned long pid = GetCurrentProcessId();
#else
            localtime_r(&now, &local);
            const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
            std::strftime(name, sizeof name, "boardtrace-%Y%m%d-%H%M%S", &local);
            path = (folder / (std::string(name) + "-" + std::to_string(pid) + ".tsv")).string();
        }
        file = std::fopen(path.c_str(), "ab");
        if (!file) {
            say("cannot write the record " + path + ": " + std::strerror(errno)
                + "; the calls go on, unrecorded");
            return;
        }
        writing = true;
        say("recording the board's calls to " + path);
        write("# boardtrace: the board's calls, one line each, tab-separated; times since the board was "
              "opened\n"
              "# time_s\tfunction\thandle\targument\tresult\twrote\tshown\tduration_us\n");
    }

    void write(const std::string &text)
    {
        if (written + text.size() + ClosingLineRoom > limit) {
            const std::string closing = "# record stopped: it reached its limit of "
                + std::to_string(limit / BytesPerMiB)
                + " MiB (BCTRL_TRACE_MAX_MB); the calls go on, unrecorded\n";
            std::fputs(closing.c_str(), file);
            std::fflush(file);
            stopWriting();
            return;
        }
        if (std::fputs(text.c_str(), file) < 0 || std::fflush(file) != 0) {
            say(std::string("the record cannot be written any more (") + std::strerror(errno)
                + "); the calls go on, unrecorded");
            stopWriting();
            return;
        }
        written += text.size();
    }

    void stopWriting()
    {
        writing = false;
        std::fclose(file);
        file = nullptr;
    }

#ifdef _WIN32
    void resolve()
    {
        HMODULE self = nullptr;
        GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&functions), &self);
        std::string path = environment("BCTRL_TRACE_LIBRARY");
        if (path.empty()) {
            char own[MAX_PATH] = {};
            GetModuleFileNameA(self, own, sizeof own);
            path = (std::filesystem::path(own).parent_path() / "Orvane_boardcontrol_api.real.dll").string();
        }
        HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!library) {
            reason = "no board library at " + path + " (Windows error " + std::to_string(GetLastError())
                + "); rename the maker's DLL to Orvane_boardcontrol_api.real.dll or name it with "
                  "BCTRL_TRACE_LIBRARY";
            return;
        }
        if (library == self) {
            reason = path + " is this recorder itself, not the board library";
            return;
        }
        std::string missing;
        for (int i = 0; i < FunctionCount; ++i) {
            // As a maker's DLL may export it: plain, decorated by MinGW or by MSVC.
            const std::string name = functions[i].name;
            const std::string at = "@" + std::to_string(functions[i].stackBytes);
            for (const std::string &candidate : {name, name + at, "_" + name + at}) {
                realFunctions[i] = reinterpret_cast<void *>(GetProcAddress(library, candidate.c_str()));
                if (realFunctions[i])
                    break;
            }
            if (!realFunctions[i])
                missing += (missing.empty() ? "" : ", ") + name;
        }
        if (!missing.empty()) {
            reason = path + " does not export " + missing;
            return;
        }
        forwarding = true;
    }
#else
    void resolve()
    {
        Dl_info self {};
        dladdr(reinterpret_cast<const void *>(&functions), &self);
        std::string missing;
        std::string found;
        for (int i = 0; i < FunctionCount; ++i) {
            realFunctions[i] = dlsym(RTLD_NEXT, functions[i].name);
            Dl_info info {};
            if (realFunctions[i] && dladdr(realFunctions[i], &info) && info.dli_fbase == self.dli_fbase)
                realFunctions[i] = nullptr; // never itself
            if (!realFunctions[i])
                missing += (missing.empty() ? "" : ", ") + std::string(functions[i].name);
            else if (found.empty() && info.dli_fname)
                found = info.dli_fname;
        }
        if (!missing.empty()) {
            reason = "no libOrvane_boardcontrol_api.so after the recorder in the load order provides "
                + missing + (found.empty() ? std::string() : " (" + found + " provides the others)");
            return;
        }
        forwarding = true;
        say("forwarding to " + found);
    }
#endif

    std::mutex mutex;
    std::array<void *, FunctionCount> realFunctions {};
    bool forwarding = false;
    std::string reason;
    std::FILE *file = nullptr;
    bool writing = false;
    std::uint64_t written = 0;
    std::uint64_t limit = DefaultLimitMiB * BytesPerMiB;
    Clock::time_point start;
    bool boardOpen = false;
    std::array<Durations, FunctionCount> durations {};
    std::array<std::uint64_t, FunctionCount> failures {};
};

template<typename Output>
const Output *outputOf(Output *out)
{
    return out;
}

} // namespace

// Each function: forward as it came, time the real call, record it.
#define BOARDTRACE_NOT_FORWARDED_INIT 0u
#define BOARDTRACE_NOT_FORWARDED_HANDLE NotForwarded
#define BOARDTRACE_NOT_FORWARDED_OUTPUT NotForwarded
#define BOARDTRACE_NOT_FORWARDED_CHANNEL NotForwarded
#define BOARDTRACE_NOT_FORWARDED_SWITCH NotForwarded
#define BOARDTRACE_OUT_INIT static_cast<const void *>(nullptr)
#define BOARDTRACE_OUT_HANDLE static_cast<const void *>(nullptr)
#define BOARDTRACE_OUT_OUTPUT outputOf(out)
#define BOARDTRACE_OUT_CHANNEL outputOf(out)
#define BOARDTRACE_OUT_SWITCH static_cast<const void *>(nullptr)
// NOLINTBEGIN(bugprone-macro-parentheses): output is a type.
#define BOARDTRACE_DEFINE(name, shape, output)                                                               \
  extern "C" BCTRL_SHAPE_RETURN_##shape BCTRL_CALL name BCTRL_SHAPE_PARAMETERS_##shape(output)               \
  {                                                                                                          \
    using Real = BCTRL_SHAPE_RETURN_##shape(BCTRL_CALL *) BCTRL_SHAPE_PARAMETERS_##shape(output);            \
    Recorder &recorder = Recorder::instance();                                                               \
    const auto real = reinterpret_cast<Real>(recorder.real(Id::name));                                       \
    if (!real)                                                                                               \
      return BOARDTRACE_NOT_FORWARDED_##shape;                                                               \
    const Clock::time_point begin = Clock::now();                                                            \
    if (!BCTRL_SHAPE_HAS_HANDLE_##shape)                                                                     \
      recorder.opened(begin);                                                                                \
    const BCTRL_SHAPE_RETURN_##shape result = real BCTRL_SHAPE_ARGUMENTS_##shape;                            \
    const Clock::time_point end = Clock::now();                                                              \
    recorder.record(Id::name, BCTRL_SHAPE_HAS_HANDLE_##shape, BCTRL_SHAPE_HANDLE_##shape,                    \
        BCTRL_SHAPE_HAS_ARGUMENT_##shape, BCTRL_SHAPE_ARGUMENT_##shape, std::uint32_t(result),               \
        BOARDTRACE_OUT_##shape, begin, end);                                                                 \
    if (Id::name == Id::bctrl_deinit)                                                                        \
      recorder.summarise();                                                                                  \
    return result;                                                                                           \
  }
// NOLINTEND(bugprone-macro-parentheses)

BCTRL_FOR_EACH_FUNCTION(BOARDTRACE_DEFINE)
