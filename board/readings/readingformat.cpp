#include "readingformat.h"

namespace ReadingFormat {

namespace {
constexpr int SignificantDigits = 6;
constexpr int VersionDecimals = 2;
constexpr unsigned VersionByte = 256;
constexpr double HundredthsPerUnit = 100.0;
} // namespace

QString scaled(quint16 raw, double factor)
{
    return QString::number(double(raw) * factor, 'g', SignificantDigits);
}

QString count(quint32 value)
{
    return QString::number(value);
}

QString versionField(quint16 field)
{
    // A low byte above 99 carries into the integer part (1 and 150 give 2.50).
    const unsigned integerPart = field / VersionByte;
    const unsigned hundredths = field % VersionByte;
    return QString::number(hundredths / HundredthsPerUnit + integerPart, 'f', VersionDecimals);
}

QString versionLine(const bctrl_version_info &info)
{
    return QStringLiteral("versioninfo:") + QStringLiteral(" device_type ") + count(info.device_type)
        + QStringLiteral(" firmware_version ") + versionField(info.firmware_version)
        + QStringLiteral(" hardware_version ") + versionField(info.hardware_version)
        + QStringLiteral(" protocol_version ") + versionField(info.protocol_version);
}

} // namespace ReadingFormat
