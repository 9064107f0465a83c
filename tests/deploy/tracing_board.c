/*
 * A board-control library that only leaves a trace: each call appends its name
 * to the file named by BCTRL_TRACE_FILE. Built under the maker's library name,
 * it shows which library an installed program really loads.
 */
#define BCTRL_BUILDING_LIBRARY
#include "boardcontrol_api.h"

#include <stdio.h>
#include <stdlib.h>

static bctrl_result trace(const char *name)
{
    const char *path = getenv("BCTRL_TRACE_FILE");
    FILE *file = path ? fopen(path, "a") : NULL;
    if (!file)
        return -1;
    fprintf(file, "%s\n", name);
    fclose(file);
    return 0;
}

bctrl_handle bctrl_init(void)
{
    trace("bctrl_init");
    return 0x7ace0001u;
}
bctrl_result bctrl_deinit(bctrl_handle h)
{
    (void)h;
    return trace("bctrl_deinit");
}
bctrl_result bctrl_get_version_info(bctrl_handle h, bctrl_version_info *o)
{
    (void)h;
    (void)o;
    return trace("bctrl_get_version_info");
}
bctrl_result bctrl_get_input_voltage(bctrl_handle h, int32_t c, bctrl_input_voltage *o)
{
    (void)h;
    (void)c;
    (void)o;
    return trace("bctrl_get_input_voltage");
}
bctrl_result bctrl_get_canbus_powerstate(bctrl_handle h, uint32_t *o)
{
    (void)h;
    (void)o;
    return trace("bctrl_get_canbus_powerstate");
}
bctrl_result bctrl_get_pgood_states(bctrl_handle h, uint32_t *o)
{
    (void)h;
    (void)o;
    return trace("bctrl_get_pgood_states");
}
bctrl_result bctrl_get_lcd_voltage(bctrl_handle h, int32_t c, uint16_t *o)
{
    (void)h;
    (void)c;
    (void)o;
    return trace("bctrl_get_lcd_voltage");
}
bctrl_result bctrl_get_pcie_voltage(bctrl_handle h, int32_t c, uint16_t *o)
{
    (void)h;
    (void)c;
    (void)o;
    return trace("bctrl_get_pcie_voltage");
}
bctrl_result bctrl_get_display_current(bctrl_handle h, int32_t c, uint16_t *o)
{
    (void)h;
    (void)c;
    (void)o;
    return trace("bctrl_get_display_current");
}
bctrl_result bctrl_get_cpu_current(bctrl_handle h, int32_t c, uint16_t *o)
{
    (void)h;
    (void)c;
    (void)o;
    return trace("bctrl_get_cpu_current");
}
bctrl_result bctrl_get_gps_fault_state(bctrl_handle h, uint8_t *o)
{
    (void)h;
    (void)o;
    return trace("bctrl_get_gps_fault_state");
}
bctrl_result bctrl_get_thermal_trip_state(bctrl_handle h, uint8_t *o)
{
    (void)h;
    (void)o;
    return trace("bctrl_get_thermal_trip_state");
}
bctrl_result bctrl_enable_pwr_gps(bctrl_handle h, int32_t on)
{
    (void)h;
    (void)on;
    return trace("bctrl_enable_pwr_gps");
}
bctrl_result bctrl_enable_pwr_radio(bctrl_handle h, int32_t on)
{
    (void)h;
    (void)on;
    return trace("bctrl_enable_pwr_radio");
}
bctrl_result bctrl_enable_CUA(bctrl_handle h, int32_t on)
{
    (void)h;
    (void)on;
    return trace("bctrl_enable_CUA");
}
bctrl_result bctrl_enable_modem(bctrl_handle h, int32_t on)
{
    (void)h;
    (void)on;
    return trace("bctrl_enable_modem");
}
bctrl_result bctrl_reset_modem(bctrl_handle h)
{
    (void)h;
    return trace("bctrl_reset_modem");
}
bctrl_result bctrl_reset_canbus_powerstate_error(bctrl_handle h)
{
    (void)h;
    return trace("bctrl_reset_canbus_powerstate_error");
}
