/*
 * Board-control library of the Orvane9 board: the C interface that the power
 * monitor calls. The maker ships the library closed; the stand-in under
 * board/standin implements the same interface so that the monitor runs without
 * a board.
 *
 * Every function except bctrl_init returns a result code, 0 on success. The
 * handle from bctrl_init is the first argument of every other call.
 */
#ifndef BOARDCONTROL_API_H
#define BOARDCONTROL_API_H

#include <stddef.h>
#include <stdint.h>

/*
 * BCTRL_API marks what the library exports. Callers need no dllimport: the
 * import library's thunks reach the DLL, and the tests can link a static fake.
 */
#if defined(_WIN32) && defined(BCTRL_BUILDING_LIBRARY)
#  define BCTRL_API __declspec(dllexport)
#elif defined(BCTRL_BUILDING_LIBRARY)
#  define BCTRL_API __attribute__((visibility("default")))
#else
#  define BCTRL_API
#endif

/*
 * BCTRL_CALL is the calling convention of every function: plain C (__cdecl),
 * or __stdcall for a library built with BCTRL_STDCALL, as many 32-bit vendor
 * DLLs are. The two differ only on 32-bit x86; 64-bit Windows has one calling
 * convention. The Windows program binds the maker's DLL at start-up and calls
 * it correctly in either (board/binding), so it does not depend on this.
 */
#if defined(_WIN32) && defined(BCTRL_STDCALL)
#  define BCTRL_CALL __stdcall
#elif defined(_WIN32)
#  define BCTRL_CALL __cdecl
#else
#  define BCTRL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t bctrl_handle;
typedef int32_t bctrl_result;

/* Version fields: high byte is the integer part, low byte the hundredths. */
typedef struct bctrl_version_info
{
    uint8_t device_type;
    uint8_t reserved;
    uint16_t protocol_version;
    uint16_t firmware_version;
    uint16_t hardware_version;
} bctrl_version_info;

/* Raw ADC counts; the monitor scales them for display. */
typedef struct bctrl_input_voltage
{
    uint16_t vin_raw;
    uint16_t iin_raw;
    uint16_t vcan_raw;
    uint16_t ican_raw;
} bctrl_input_voltage;

BCTRL_API bctrl_handle BCTRL_CALL bctrl_init(void);
BCTRL_API bctrl_result BCTRL_CALL bctrl_deinit(bctrl_handle handle);

BCTRL_API bctrl_result BCTRL_CALL bctrl_get_version_info(bctrl_handle handle, bctrl_version_info *info);
BCTRL_API bctrl_result BCTRL_CALL bctrl_get_input_voltage(
    bctrl_handle handle, int32_t channel, bctrl_input_voltage *voltage);
BCTRL_API bctrl_result BCTRL_CALL bctrl_get_canbus_powerstate(bctrl_handle handle, uint32_t *state);
BCTRL_API bctrl_result BCTRL_CALL bctrl_get_pgood_states(bctrl_handle handle, uint32_t *states);
BCTRL_API bctrl_result BCTRL_CALL bctrl_get_lcd_voltage(
    bctrl_handle handle, int32_t channel, uint16_t *value);
BCTRL_API bctrl_result BCTRL_CALL bctrl_get_pcie_voltage(
    bctrl_handle handle, int32_t channel, uint16_t *value);
BCTRL_API bctrl_result BCTRL_CALL bctrl_get_display_current(
    bctrl_handle handle, int32_t channel, uint16_t *value);
BCTRL_API bctrl_result BCTRL_CALL bctrl_get_cpu_current(
    bctrl_handle handle, int32_t channel, uint16_t *value);
BCTRL_API bctrl_result BCTRL_CALL bctrl_get_gps_fault_state(bctrl_handle handle, uint8_t *state);
BCTRL_API bctrl_result BCTRL_CALL bctrl_get_thermal_trip_state(bctrl_handle handle, uint8_t *state);

/* on: exactly 1 switches the supply on, 0 switches it off. */
BCTRL_API bctrl_result BCTRL_CALL bctrl_enable_pwr_gps(bctrl_handle handle, int32_t on);
BCTRL_API bctrl_result BCTRL_CALL bctrl_enable_pwr_radio(bctrl_handle handle, int32_t on);
BCTRL_API bctrl_result BCTRL_CALL bctrl_enable_CUA(bctrl_handle handle, int32_t on);
BCTRL_API bctrl_result BCTRL_CALL bctrl_enable_modem(bctrl_handle handle, int32_t on);

BCTRL_API bctrl_result BCTRL_CALL bctrl_reset_modem(bctrl_handle handle);
BCTRL_API bctrl_result BCTRL_CALL bctrl_reset_canbus_powerstate_error(bctrl_handle handle);

#ifdef __cplusplus
}
#endif

/* The records cross the library boundary byte for byte: 8-byte little-endian layouts. */
#ifdef __cplusplus
#  define BCTRL_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#  define BCTRL_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
BCTRL_STATIC_ASSERT(sizeof(bctrl_handle) == 4, "the board handle is 32 bits wide");
BCTRL_STATIC_ASSERT(sizeof(bctrl_version_info) == 8, "bctrl_version_info is 8 bytes");
BCTRL_STATIC_ASSERT(offsetof(bctrl_version_info, device_type) == 0, "device_type at offset 0");
BCTRL_STATIC_ASSERT(offsetof(bctrl_version_info, reserved) == 1, "reserved byte at offset 1");
BCTRL_STATIC_ASSERT(offsetof(bctrl_version_info, protocol_version) == 2, "protocol_version at offset 2");
BCTRL_STATIC_ASSERT(offsetof(bctrl_version_info, firmware_version) == 4, "firmware_version at offset 4");
BCTRL_STATIC_ASSERT(offsetof(bctrl_version_info, hardware_version) == 6, "hardware_version at offset 6");
BCTRL_STATIC_ASSERT(sizeof(bctrl_input_voltage) == 8, "bctrl_input_voltage is 8 bytes");
BCTRL_STATIC_ASSERT(offsetof(bctrl_input_voltage, vin_raw) == 0, "vin_raw at offset 0");
BCTRL_STATIC_ASSERT(offsetof(bctrl_input_voltage, iin_raw) == 2, "iin_raw at offset 2");
BCTRL_STATIC_ASSERT(offsetof(bctrl_input_voltage, vcan_raw) == 4, "vcan_raw at offset 4");
BCTRL_STATIC_ASSERT(offsetof(bctrl_input_voltage, ican_raw) == 6, "ican_raw at offset 6");
#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__)
BCTRL_STATIC_ASSERT(
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the board's records are little-endian; this host is not");
#endif
#undef BCTRL_STATIC_ASSERT

#endif /* BOARDCONTROL_API_H */
