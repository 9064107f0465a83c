#include "recordfile.h"

#include "operatornotice.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#ifdef _WIN32
#  include <windows.h>
#else
#  include <unistd.h>
#endif

namespace BoardTrace {

namespace {
constexpr std::uint64_t DefaultLimitMiB = 64;
// 1 TiB: any disk's record fits below it, and no product with BytesPerMiB overflows.
constexpr std::uint64_t LargestLimitMiB = std::uint64_t(1024) * 1024;
constexpr std::size_t LargestLimitDigits = 7;
constexpr std::uint64_t BytesPerMiB = std::uint64_t(1024) * 1024;
// Room kept below the limit for the line that says the record stopped.
constexpr std::size_t ClosingLineRoom = 256;
} // namespace

RecordFile::RecordFile()
    : limit(limitFromEnvironment())
{
    const std::filesystem::path where = pathFromEnvironment();
    const std::string path = where.u8string();
#ifdef _WIN32
    file = _wfopen(where.c_str(), L"ab");
#else
    file = std::fopen(where.c_str(), "ab");
#endif
    if (!file) {
        say("cannot write the record " + path + ": " + std::strerror(errno)
            + "; the calls go on, unrecorded");
        return;
    }
    say("recording the board's calls to " + path);
    write("# boardtrace: the board's calls, one line each, tab-separated; times since the board was "
          "opened\n"
          "# time_s\tfunction\thandle\targument\tresult\twrote\tshown\tduration_us\n");
}

std::uint64_t RecordFile::limitFromEnvironment()
{
    const std::string text = environment("BCTRL_TRACE_MAX_MB");
    if (text.empty())
        return DefaultLimitMiB * BytesPerMiB;
    // Digits alone: strtoull would also take blanks, a sign, and "-1" as its largest number.
    const bool digits
        = text.size() <= LargestLimitDigits && text.find_first_not_of("0123456789") == std::string::npos;
    const std::uint64_t value = digits ? std::strtoull(text.c_str(), nullptr, 10) : 0;
    if (value >= 1 && value <= LargestLimitMiB)
        return value * BytesPerMiB;
    say("BCTRL_TRACE_MAX_MB='" + text + "' is no whole number of MiB from 1 to "
        + std::to_string(LargestLimitMiB) + "; the limit stays " + std::to_string(DefaultLimitMiB) + " MiB");
    return DefaultLimitMiB * BytesPerMiB;
}

std::filesystem::path RecordFile::pathFromEnvironment()
{
    const std::string path = environment("BCTRL_TRACE_FILE");
    if (!path.empty())
        return std::filesystem::u8path(path);
    const std::filesystem::path folder = stateFolder();
    std::error_code error;
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
    return folder / (std::string(name) + "-" + std::to_string(pid) + ".tsv");
}

void RecordFile::write(const std::string &text)
{
    if (!file)
        return;
    if (written + text.size() + ClosingLineRoom > limit) {
        const std::string closing = "# record stopped: it reached its limit of "
            + std::to_string(limit / BytesPerMiB)
            + " MiB (BCTRL_TRACE_MAX_MB); the calls go on, unrecorded\n";
        std::fputs(closing.c_str(), file);
        std::fflush(file);
        stop();
        return;
    }
    if (std::fputs(text.c_str(), file) < 0 || std::fflush(file) != 0) {
        say(std::string("the record cannot be written any more (") + std::strerror(errno)
            + "); the calls go on, unrecorded");
        stop();
        return;
    }
    written += text.size();
}

void RecordFile::stop()
{
    std::fclose(file);
    file = nullptr;
}

} // namespace BoardTrace
