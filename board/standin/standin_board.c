/*
 * Stand-in for the Orvane9 board-control library: the same C interface, and a
 * simulated board behind it, so that the power monitor runs, can be shown and
 * is tested on any desktop. The maker's library replaces this shared library
 * at deployment.
 *
 * The simulated board:
 *  - reads like a healthy board: every value inside the monitor's limit columns;
 *  - drifts a little: each quantity takes a bounded random walk, one small step
 *    per reading, from a fixed seed (no clock, no system randomness), so the
 *    same call sequence always gives the same readings;
 *  - follows the controls: each supply that is on draws input current, a modem
 *    reset drops the modem's draw for a few readings, and the CAN-bus power-state
 *    word starts with an error latched, as after a cold start, until
 *    bctrl_reset_canbus_powerstate_error clears it;
 *  - refuses bad calls as a real library does: a handle it did not hand out, a
 *    closed board, a null pointer, a channel other than 0 or a switch state other
 *    than 0 or 1 gets a non-zero result code and nothing is written.
 *
 * Each bctrl_init on a closed board starts the board from its cold-start state.
 * Calls are expected from one thread, as the monitor makes them.
 *
 * A simulated board must never pass for the real one: the first bctrl_init of
 * a process says on standard error that the board is simulated, and which
 * library file was loaded.
 */
#define _GNU_SOURCE /* dladdr */
#define BCTRL_BUILDING_LIBRARY
#include "boardcontrol_api.h"
#include "standin_results.h"

#include <stdio.h>
#ifdef _WIN32
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <limits.h>
#  include <stdlib.h>
#endif

/* Raw readings of a healthy board, in the units the monitor's limit columns use. */
enum {
    VIN_NOMINAL = 368,     /* 23.97 V */
    VCAN_NOMINAL = 620,    /* 23.00 V */
    ICAN_NOMINAL = 5,      /* 0.094 A */
    LCD_NOMINAL = 545,     /* limits 530 to 560 */
    PCIE_NOMINAL = 585,    /* limits 570 to 600 */
    DISPLAY_NOMINAL = 120, /* limit 140 */
    CPU_NOMINAL = 850,
    /* Input current in 0.0188 A counts: the board itself plus each supply that is on. */
    IIN_BOARD = 20,
    IIN_GPS = 2,
    IIN_RADIO = 4,
    IIN_CUA = 3,
    IIN_MODEM = 3,
};

/* How far each reading may drift from its nominal value, in raw counts. */
enum {
    VIN_DRIFT = 2,
    VCAN_DRIFT = 1,
    IIN_DRIFT = 1,
    ICAN_DRIFT = 1,
    LCD_DRIFT = 3,
    PCIE_DRIFT = 3,
    DISPLAY_DRIFT = 2,
    CPU_DRIFT = 25
};

/* A modem reset takes its supply's draw away for this many input readings. */
enum { MODEM_RESET_READINGS = 3 };

/* Latched at cold start: the CAN supply came up after the board. */
#define CANBUS_ERROR_COLD_START 0x00000001u
#define PGOOD_ALL_RAILS 0x00000001u
#define RANDOM_SEED 0x4f39a5c3u
#define HANDLE_TAG 0x4f390000u

enum drift {
    DRIFT_VIN,
    DRIFT_VCAN,
    DRIFT_IIN,
    DRIFT_ICAN,
    DRIFT_LCD,
    DRIFT_PCIE,
    DRIFT_DISPLAY,
    DRIFT_CPU,
    DRIFT_COUNT
};

static struct board
{
    int open;
    bctrl_handle handle;
    uint16_t sessions;
    int gps_on, radio_on, cua_on, modem_on;
    int modem_reset_readings;
    uint32_t canbus_powerstate;
    uint32_t random;
    int offset[DRIFT_COUNT];
} board;

static const bctrl_version_info board_version = {
    9,      /* device type */
    0,      /* reserved */
    0x0105, /* protocol 1.05 */
    0x020a, /* firmware 2.10 */
    0x0100, /* hardware 1.00 */
};

static void cold_start(void)
{
    board.gps_on = board.radio_on = board.cua_on = board.modem_on = 1;
    board.modem_reset_readings = 0;
    board.canbus_powerstate = CANBUS_ERROR_COLD_START;
    board.random = RANDOM_SEED;
    for (int i = 0; i < DRIFT_COUNT; ++i)
        board.offset[i] = 0;
}

/* xorshift32: small, fast and the same on every platform. */
static uint32_t next_random(void)
{
    uint32_t x = board.random;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    board.random = x;
    return x;
}

/* One step of a bounded random walk: -1, 0 or +1, kept within +-limit. */
static int drifted(enum drift which, int nominal, int limit)
{
    int offset = board.offset[which] + (int)(next_random() % 3u) - 1;
    if (offset > limit)
        offset = limit;
    if (offset < -limit)
        offset = -limit;
    board.offset[which] = offset;
    const int value = nominal + offset;
    return value < 0 ? 0 : value;
}

static int valid(bctrl_handle handle)
{
    return board.open && handle == board.handle;
}

static bctrl_result check(bctrl_handle handle, const void *out)
{
    if (!valid(handle))
        return STANDIN_ERROR_HANDLE;
    return out ? STANDIN_OK : STANDIN_ERROR_ARGUMENT;
}

static bctrl_result check_channel(bctrl_handle handle, int32_t channel, const void *out)
{
    const bctrl_result result = check(handle, out);
    if (result != STANDIN_OK)
        return result;
    return channel == 0 ? STANDIN_OK : STANDIN_ERROR_ARGUMENT;
}

/* The file this library was loaded from, or a placeholder when the loader cannot tell. */
static const char *library_file(void)
{
#ifdef _WIN32
    static char path[MAX_PATH];
    HMODULE module = NULL;
    if (GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            (LPCSTR)&board, &module)
        && GetModuleFileNameA(module, path, sizeof path) > 0)
        return path;
#else
    static char path[PATH_MAX];
    Dl_info info;
    if (dladdr(&board, &info) && info.dli_fname) /* as the loader found it: bin/../lib/... */
        return realpath(info.dli_fname, path) ? path : info.dli_fname;
#endif
    return "(file unknown)";
}

/* The words and a library path of up to 4096 bytes (PATH_MAX on Linux). */
enum { ANNOUNCEMENT_SIZE = 4096 + 256 };

static void announce_simulation(void)
{
    static int announced;
    if (announced)
        return;
    announced = 1;
    char line[ANNOUNCEMENT_SIZE];
    snprintf(line, sizeof line,
        "Orvane_boardcontrol_api: SIMULATED BOARD, no hardware is read or switched: "
        "the power monitor's stand-in library %s is loaded instead of the board maker's\n",
        library_file());
    fputs(line, stderr);
    fflush(stderr);
#ifdef _WIN32
    /* A Windows GUI program has no console: say it where debug viewers look too. */
    OutputDebugStringA(line);
#endif
}

bctrl_handle BCTRL_CALL bctrl_init(void)
{
    announce_simulation();
    if (!board.open) {
        /* A fresh handle per session, never 0, so a stale one is refused. */
        board.sessions = (uint16_t)(board.sessions + 1u);
        if (board.sessions == 0)
            board.sessions = 1;
        board.handle = HANDLE_TAG | board.sessions;
        board.open = 1;
        cold_start();
    }
    return board.handle;
}

bctrl_result BCTRL_CALL bctrl_deinit(bctrl_handle handle)
{
    if (!valid(handle))
        return STANDIN_ERROR_HANDLE;
    board.open = 0;
    return STANDIN_OK;
}

bctrl_result BCTRL_CALL bctrl_get_version_info(bctrl_handle handle, bctrl_version_info *info)
{
    const bctrl_result result = check(handle, info);
    if (result == STANDIN_OK)
        *info = board_version;
    return result;
}

bctrl_result BCTRL_CALL bctrl_get_input_voltage(
    bctrl_handle handle, int32_t channel, bctrl_input_voltage *voltage)
{
    const bctrl_result result = check_channel(handle, channel, voltage);
    if (result != STANDIN_OK)
        return result;

    int draw = IIN_BOARD;
    draw += board.gps_on ? IIN_GPS : 0;
    draw += board.radio_on ? IIN_RADIO : 0;
    draw += board.cua_on ? IIN_CUA : 0;
    if (board.modem_reset_readings > 0)
        --board.modem_reset_readings;
    else if (board.modem_on)
        draw += IIN_MODEM;

    voltage->vin_raw = (uint16_t)drifted(DRIFT_VIN, VIN_NOMINAL, VIN_DRIFT);
    voltage->iin_raw = (uint16_t)drifted(DRIFT_IIN, draw, IIN_DRIFT);
    voltage->vcan_raw = (uint16_t)drifted(DRIFT_VCAN, VCAN_NOMINAL, VCAN_DRIFT);
    voltage->ican_raw = (uint16_t)drifted(DRIFT_ICAN, ICAN_NOMINAL, ICAN_DRIFT);
    return STANDIN_OK;
}

bctrl_result BCTRL_CALL bctrl_get_canbus_powerstate(bctrl_handle handle, uint32_t *state)
{
    const bctrl_result result = check(handle, state);
    if (result == STANDIN_OK)
        *state = board.canbus_powerstate;
    return result;
}

bctrl_result BCTRL_CALL bctrl_get_pgood_states(bctrl_handle handle, uint32_t *states)
{
    const bctrl_result result = check(handle, states);
    if (result == STANDIN_OK)
        *states = PGOOD_ALL_RAILS;
    return result;
}

static bctrl_result read_value(
    bctrl_handle handle, int32_t channel, uint16_t *value, enum drift which, int nominal, int limit)
{
    const bctrl_result result = check_channel(handle, channel, value);
    if (result == STANDIN_OK)
        *value = (uint16_t)drifted(which, nominal, limit);
    return result;
}

bctrl_result BCTRL_CALL bctrl_get_lcd_voltage(bctrl_handle handle, int32_t channel, uint16_t *value)
{
    return read_value(handle, channel, value, DRIFT_LCD, LCD_NOMINAL, LCD_DRIFT);
}

bctrl_result BCTRL_CALL bctrl_get_pcie_voltage(bctrl_handle handle, int32_t channel, uint16_t *value)
{
    return read_value(handle, channel, value, DRIFT_PCIE, PCIE_NOMINAL, PCIE_DRIFT);
}

bctrl_result BCTRL_CALL bctrl_get_display_current(bctrl_handle handle, int32_t channel, uint16_t *value)
{
    return read_value(handle, channel, value, DRIFT_DISPLAY, DISPLAY_NOMINAL, DISPLAY_DRIFT);
}

bctrl_result BCTRL_CALL bctrl_get_cpu_current(bctrl_handle handle, int32_t channel, uint16_t *value)
{
    return read_value(handle, channel, value, DRIFT_CPU, CPU_NOMINAL, CPU_DRIFT);
}

static bctrl_result read_state(bctrl_handle handle, uint8_t *state)
{
    const bctrl_result result = check(handle, state);
    if (result == STANDIN_OK)
        *state = 0; /* no fault, no thermal trip */
    return result;
}

bctrl_result BCTRL_CALL bctrl_get_gps_fault_state(bctrl_handle handle, uint8_t *state)
{
    return read_state(handle, state);
}

bctrl_result BCTRL_CALL bctrl_get_thermal_trip_state(bctrl_handle handle, uint8_t *state)
{
    return read_state(handle, state);
}

static bctrl_result switch_supply(bctrl_handle handle, int32_t on, int *supply)
{
    if (!valid(handle))
        return STANDIN_ERROR_HANDLE;
    if (on != 0 && on != 1)
        return STANDIN_ERROR_ARGUMENT;
    *supply = on;
    return STANDIN_OK;
}

bctrl_result BCTRL_CALL bctrl_enable_pwr_gps(bctrl_handle handle, int32_t on)
{
    return switch_supply(handle, on, &board.gps_on);
}

bctrl_result BCTRL_CALL bctrl_enable_pwr_radio(bctrl_handle handle, int32_t on)
{
    return switch_supply(handle, on, &board.radio_on);
}

bctrl_result BCTRL_CALL bctrl_enable_CUA(bctrl_handle handle, int32_t on)
{
    return switch_supply(handle, on, &board.cua_on);
}

bctrl_result BCTRL_CALL bctrl_enable_modem(bctrl_handle handle, int32_t on)
{
    return switch_supply(handle, on, &board.modem_on);
}

bctrl_result BCTRL_CALL bctrl_reset_modem(bctrl_handle handle)
{
    if (!valid(handle))
        return STANDIN_ERROR_HANDLE;
    if (board.modem_on)
        board.modem_reset_readings = MODEM_RESET_READINGS;
    return STANDIN_OK;
}

bctrl_result BCTRL_CALL bctrl_reset_canbus_powerstate_error(bctrl_handle handle)
{
    if (!valid(handle))
        return STANDIN_ERROR_HANDLE;
    board.canbus_powerstate = 0;
    return STANDIN_OK;
}
