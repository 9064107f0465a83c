/*
 * Stand-in for the Orvane9 board-control library: same C interface, no board.
 * It lets the power monitor run and be tested on any desktop; the maker's
 * library replaces this file's shared library at deployment.
 */
#define BCTRL_BUILDING_LIBRARY
#include "boardcontrol_api.h"

enum { BCTRL_OK = 0, BCTRL_ERROR_HANDLE = -1, BCTRL_ERROR_ARGUMENT = -2 };

/* Any non-zero value would do; this one is easy to spot in a debugger. */
static const bctrl_handle standin_handle = 0x4f390001u;
static int board_open;

static int valid(bctrl_handle handle)
{
    return board_open && handle == standin_handle;
}

bctrl_handle bctrl_init(void)
{
    board_open = 1;
    return standin_handle;
}

bctrl_result bctrl_deinit(bctrl_handle handle)
{
    if (!valid(handle))
        return BCTRL_ERROR_HANDLE;
    board_open = 0;
    return BCTRL_OK;
}

#define CHECK(handle, out)                                                                         \
    do {                                                                                           \
        if (!valid(handle))                                                                        \
            return BCTRL_ERROR_HANDLE;                                                             \
        if (!(out))                                                                                \
            return BCTRL_ERROR_ARGUMENT;                                                           \
    } while (0)

bctrl_result bctrl_get_version_info(bctrl_handle handle, bctrl_version_info *info)
{
    CHECK(handle, info);
    info->device_type = 9;
    info->reserved = 0;
    info->protocol_version = 0x0105;
    info->firmware_version = 0x020a;
    info->hardware_version = 0x0100;
    return BCTRL_OK;
}

bctrl_result bctrl_get_input_voltage(bctrl_handle handle, int32_t channel, bctrl_input_voltage *voltage)
{
    (void)channel;
    CHECK(handle, voltage);
    voltage->vin_raw = 368;
    voltage->iin_raw = 32;
    voltage->vcan_raw = 620;
    voltage->ican_raw = 5;
    return BCTRL_OK;
}

static bctrl_result put32(bctrl_handle handle, uint32_t *out, uint32_t value)
{
    CHECK(handle, out);
    *out = value;
    return BCTRL_OK;
}

static bctrl_result put16(bctrl_handle handle, uint16_t *out, uint16_t value)
{
    CHECK(handle, out);
    *out = value;
    return BCTRL_OK;
}

static bctrl_result put8(bctrl_handle handle, uint8_t *out, uint8_t value)
{
    CHECK(handle, out);
    *out = value;
    return BCTRL_OK;
}

bctrl_result bctrl_get_canbus_powerstate(bctrl_handle handle, uint32_t *state) { return put32(handle, state, 0); }
bctrl_result bctrl_get_pgood_states(bctrl_handle handle, uint32_t *states) { return put32(handle, states, 1); }
bctrl_result bctrl_get_lcd_voltage(bctrl_handle handle, int32_t channel, uint16_t *value) { (void)channel; return put16(handle, value, 545); }
bctrl_result bctrl_get_pcie_voltage(bctrl_handle handle, int32_t channel, uint16_t *value) { (void)channel; return put16(handle, value, 585); }
bctrl_result bctrl_get_display_current(bctrl_handle handle, int32_t channel, uint16_t *value) { (void)channel; return put16(handle, value, 120); }
bctrl_result bctrl_get_cpu_current(bctrl_handle handle, int32_t channel, uint16_t *value) { (void)channel; return put16(handle, value, 900); }
bctrl_result bctrl_get_gps_fault_state(bctrl_handle handle, uint8_t *state) { return put8(handle, state, 0); }
bctrl_result bctrl_get_thermal_trip_state(bctrl_handle handle, uint8_t *state) { return put8(handle, state, 0); }

static bctrl_result switch_supply(bctrl_handle handle, int32_t on)
{
    if (!valid(handle))
        return BCTRL_ERROR_HANDLE;
    return (on == 0 || on == 1) ? BCTRL_OK : BCTRL_ERROR_ARGUMENT;
}

bctrl_result bctrl_enable_pwr_gps(bctrl_handle handle, int32_t on) { return switch_supply(handle, on); }
bctrl_result bctrl_enable_pwr_radio(bctrl_handle handle, int32_t on) { return switch_supply(handle, on); }
bctrl_result bctrl_enable_CUA(bctrl_handle handle, int32_t on) { return switch_supply(handle, on); }
bctrl_result bctrl_enable_modem(bctrl_handle handle, int32_t on) { return switch_supply(handle, on); }

bctrl_result bctrl_reset_modem(bctrl_handle handle) { return valid(handle) ? BCTRL_OK : BCTRL_ERROR_HANDLE; }
bctrl_result bctrl_reset_canbus_powerstate_error(bctrl_handle handle) { return valid(handle) ? BCTRL_OK : BCTRL_ERROR_HANDLE; }
