#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace BoardTrace {

// The record: the file BCTRL_TRACE_FILE names, else a new one in the state
// folder, capped at BCTRL_TRACE_MAX_MB. A record that cannot be opened or
// written is said once and stops; the calls never wait on it.
class RecordFile
{
public:
    // Left open to the end of the process: a program may make its last
    // call while it exits.
    RecordFile();
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;

    bool isWriting() const { return file != nullptr; }
    // Appends and flushes the text, or ends the record where it would pass its limit.
    void write(const std::string &text);

private:
    static std::uint64_t limitFromEnvironment();
    static std::filesystem::path pathFromEnvironment();
    void stop();

    std::FILE *file = nullptr;
    std::uint64_t written = 0;
    std::uint64_t limit;
};

} // namespace BoardTrace
