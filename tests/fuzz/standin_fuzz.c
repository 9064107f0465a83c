/*
 * Fuzz target for the stand-in board library: decodes its input into a sequence
 * of the 18 calls with arbitrary handles, arguments and null pointers, and
 * checks that a refused call writes nothing and a valid reading stays sane.
 * Built with libFuzzer (make fuzz) or driven by seeded_driver.c.
 */
#include "boardcontrol_api.h"
#include "standin_results.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

unsigned long long standin_fuzz_calls;

enum { SENTINEL = 0xa5 };

struct input
{
    const uint8_t *data;
    size_t size;
};

static uint8_t next_byte(struct input *in)
{
    if (in->size == 0)
        return 0;
    --in->size;
    return *in->data++;
}

static uint32_t next_word(struct input *in)
{
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i)
        word = (word << 8) | next_byte(in);
    return word;
}

static void fail(const char *what, unsigned op)
{
    fprintf(stderr, "stand-in fuzz: %s (call %u)\n", what, op);
    abort();
}

static bctrl_handle current, previous;

static bctrl_handle pick_handle(struct input *in)
{
    switch (next_byte(in) % 8) {
    case 4:
        return previous;
    case 5:
        return 0;
    case 6:
        return 0xffffffffu;
    case 7:
        return next_word(in);
    default:
        return current;
    }
}

static int32_t pick_argument(struct input *in)
{
    switch (next_byte(in) % 4) {
    case 0:
        return 0;
    case 1:
        return 1;
    case 2:
        return -1;
    default:
        return (int32_t)next_word(in);
    }
}

/* Exact-size heap buffers, so that any write past a record is caught. */
static void *output(size_t size)
{
    void *buffer = malloc(size);
    if (!buffer)
        abort();
    memset(buffer, SENTINEL, size);
    return buffer;
}

static int untouched(const void *buffer, size_t size)
{
    const uint8_t *bytes = buffer;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != SENTINEL)
            return 0;
    }
    return 1;
}

static void one_call(struct input *in)
{
    const unsigned op = next_byte(in) % 18u;
    const bctrl_handle handle = pick_handle(in);
    const int32_t argument = pick_argument(in);
    const int null_output = (next_byte(in) % 8u) == 0;
    static const size_t sizes[18] = {0, 0, sizeof(bctrl_version_info), sizeof(bctrl_input_voltage), 4, 4, 2,
        2, 2, 2, 1, 1, 0, 0, 0, 0, 0, 0};
    const size_t size = sizes[op];
    void *out = size ? output(size) : NULL;
    void *target = null_output ? NULL : out;
    bctrl_result result = STANDIN_OK;

    ++standin_fuzz_calls;
    switch (op) {
    case 0:
        previous = current;
        current = bctrl_init();
        if (current == 0)
            fail("bctrl_init returned handle 0", op);
        break;
    case 1:
        result = bctrl_deinit(handle);
        break;
    case 2:
        result = bctrl_get_version_info(handle, target);
        break;
    case 3:
        result = bctrl_get_input_voltage(handle, argument, target);
        break;
    case 4:
        result = bctrl_get_canbus_powerstate(handle, target);
        break;
    case 5:
        result = bctrl_get_pgood_states(handle, target);
        break;
    case 6:
        result = bctrl_get_lcd_voltage(handle, argument, target);
        break;
    case 7:
        result = bctrl_get_pcie_voltage(handle, argument, target);
        break;
    case 8:
        result = bctrl_get_display_current(handle, argument, target);
        break;
    case 9:
        result = bctrl_get_cpu_current(handle, argument, target);
        break;
    case 10:
        result = bctrl_get_gps_fault_state(handle, target);
        break;
    case 11:
        result = bctrl_get_thermal_trip_state(handle, target);
        break;
    case 12:
        result = bctrl_enable_pwr_gps(handle, argument);
        break;
    case 13:
        result = bctrl_enable_pwr_radio(handle, argument);
        break;
    case 14:
        result = bctrl_enable_CUA(handle, argument);
        break;
    case 15:
        result = bctrl_enable_modem(handle, argument);
        break;
    case 16:
        result = bctrl_reset_modem(handle);
        break;
    default:
        result = bctrl_reset_canbus_powerstate_error(handle);
        break;
    }

    if (result != STANDIN_OK && result != STANDIN_ERROR_HANDLE && result != STANDIN_ERROR_ARGUMENT)
        fail("unknown result code", op);
    if (size && null_output && result == STANDIN_OK)
        fail("a null pointer was accepted", op);
    if (size && result != STANDIN_OK && !untouched(out, size))
        fail("a refused call wrote its output", op);
    if (op == 3 && result == STANDIN_OK) {
        const bctrl_input_voltage *v = out;
        if (v->vin_raw < 366 || v->vin_raw > 370 || v->iin_raw > 40)
            fail("input reading outside the simulated board's range", op);
    }
    free(out);
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    struct input in = {data, size};
    while (in.size > 0)
        one_call(&in);
    return 0;
}
