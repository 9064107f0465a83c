#pragma once

#include "boardcontrol_api.h"

#include <QString>

// Turns the board's raw readings into the texts the window shows.
namespace ReadingFormat {

// Input-voltage ADC counts to display units (the full scale over the ADC's
// 1024 counts): 66.7/1024 for Vin, 37.99/1024 for VCAN, 0.0188 for both
// input currents.
constexpr double VinScale = 66.7 / 1024.0;
constexpr double VcanScale = 37.99 / 1024.0;
constexpr double CurrentScale = 0.0188;

// The scaled value with at most six significant digits, trailing zeros dropped.
QString scaled(quint16 raw, double factor);
// Base 10, unsigned, no grouping: words, values and states as the board gives them.
QString count(quint32 value);
// A version field: high byte integer part, low byte hundredths; two decimals.
QString versionField(quint16 field);
// "versioninfo: device_type … firmware_version … hardware_version … protocol_version …"
QString versionLine(const bctrl_version_info &info);

} // namespace ReadingFormat
