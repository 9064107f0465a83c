#pragma once

#include "boardcontrol_api.h"
#include "tracefunctions.h"

#include <cstdint>
#include <string>

// One record line: tab-separated, as the record's header names the fields.
namespace BoardTrace::TraceLine {

// What the caller's variable holds after the call, raw; "-" for none.
std::string wrote(const void *);
std::string wrote(const std::uint8_t *value);
std::string wrote(const std::uint16_t *value);
std::string wrote(const std::uint32_t *value);
std::string wrote(const bctrl_input_voltage *value);
std::string wrote(const bctrl_version_info *value);

// The two records as the window shows them; "-" for the rest.
std::string shown(const void *);
std::string shown(const bctrl_input_voltage *value);
std::string shown(const bctrl_version_info *value);

struct Call
{
    Id id;
    double seconds; // since the board was opened
    bool hasHandle;
    bctrl_handle handle;
    bool hasArgument;
    std::int32_t argument;
    std::uint32_t result;
    std::uint64_t us;
};

// The line, ending in a newline, of a call and what it wrote.
std::string line(const Call &call, const std::string &wrote, const std::string &shown);

} // namespace BoardTrace::TraceLine
