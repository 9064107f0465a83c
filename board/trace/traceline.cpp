#include "traceline.h"

#include "readingformat.h"

#include <cinttypes>
#include <cstdio>

namespace BoardTrace::TraceLine {

std::string wrote(const void *)
{
    return "-";
}
std::string wrote(const std::uint8_t *value)
{
    return std::to_string(*value);
}
std::string wrote(const std::uint16_t *value)
{
    return std::to_string(*value);
}
std::string wrote(const std::uint32_t *value)
{
    return std::to_string(*value);
}
std::string wrote(const bctrl_input_voltage *value)
{
    return "vin_raw=" + std::to_string(value->vin_raw) + " iin_raw=" + std::to_string(value->iin_raw)
        + " vcan_raw=" + std::to_string(value->vcan_raw) + " ican_raw=" + std::to_string(value->ican_raw);
}
std::string wrote(const bctrl_version_info *value)
{
    char text[96];
    std::snprintf(text, sizeof text,
        "device_type=%u protocol_version=0x%04x firmware_version=0x%04x hardware_version=0x%04x",
        unsigned(value->device_type), unsigned(value->protocol_version), unsigned(value->firmware_version),
        unsigned(value->hardware_version));
    return text;
}

std::string shown(const void *)
{
    return "-";
}
std::string shown(const bctrl_input_voltage *value)
{
    using ReadingFormat::scaled;
    return "Vin=" + scaled(value->vin_raw, ReadingFormat::VinScale).toStdString()
        + " Iin=" + scaled(value->iin_raw, ReadingFormat::CurrentScale).toStdString()
        + " VCAN=" + scaled(value->vcan_raw, ReadingFormat::VcanScale).toStdString()
        + " ICAN=" + scaled(value->ican_raw, ReadingFormat::CurrentScale).toStdString();
}
std::string shown(const bctrl_version_info *value)
{
    return ReadingFormat::versionLine(*value).toStdString();
}

std::string line(const Call &call, const std::string &wrote, const std::string &shown)
{
    const char *name = function(call.id).name;
    char head[160];
    if (call.hasHandle)
        std::snprintf(head, sizeof head, "%.6f\t%s\t%08" PRIx32 "\t", call.seconds, name, call.handle);
    else
        std::snprintf(head, sizeof head, "%.6f\t%s\t-\t", call.seconds, name);
    std::string text = head;
    text += call.hasArgument ? std::to_string(call.argument) : std::string("-");
    text += '\t';
    if (call.hasHandle) {
        text += std::to_string(std::int32_t(call.result));
    } else {
        // bctrl_init returns the handle.
        char result[16];
        std::snprintf(result, sizeof result, "%08" PRIx32, call.result);
        text += result;
    }
    text += '\t' + wrote + '\t' + shown + '\t' + std::to_string(call.us) + '\n';
    return text;
}

} // namespace BoardTrace::TraceLine
