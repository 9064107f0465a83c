/*
 * Fuzz target for the stand-in board library: decodes its input into a sequence
 * of the board calls with arbitrary handles, arguments and null pointers, and
 * checks that a refused call writes nothing and a valid reading stays sane.
 * Built with libFuzzer (make fuzz) or driven by seeded_driver.c.
 */
#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"
#include "standin_results.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

unsigned long long standin_fuzz_calls;

enum { SENTINEL = 0xa5, STANDIN_FUZZ_NO_HANDLE = -100 };

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

/* NOLINTBEGIN(bugprone-macro-parentheses): output is a type. */
/* Each function called as (handle, argument, output); bctrl_init opens a session. */
#define FUZZ_CALL_INIT(name, output)                                                                         \
  static bctrl_result call_##name(bctrl_handle handle, int32_t argument, void *out)                          \
  {                                                                                                          \
    (void)handle;                                                                                            \
    (void)argument;                                                                                          \
    (void)out;                                                                                               \
    previous = current;                                                                                      \
    current = name();                                                                                        \
    return current == 0 ? STANDIN_FUZZ_NO_HANDLE : STANDIN_OK;                                               \
  }
#define FUZZ_CALL_ANY(name, shape, output)                                                                   \
  static bctrl_result call_##name(bctrl_handle handle, int32_t argument, void *raw)                          \
  {                                                                                                          \
    output *out = raw;                                                                                       \
    (void)argument;                                                                                          \
    (void)out;                                                                                               \
    return name BCTRL_SHAPE_ARGUMENTS_##shape;                                                               \
  }
#define FUZZ_CALL_HANDLE(name, output) FUZZ_CALL_ANY(name, HANDLE, output)
#define FUZZ_CALL_OUTPUT(name, output) FUZZ_CALL_ANY(name, OUTPUT, output)
#define FUZZ_CALL_CHANNEL(name, output) FUZZ_CALL_ANY(name, CHANNEL, output)
#define FUZZ_CALL_SWITCH(name, output) FUZZ_CALL_ANY(name, SWITCH, output)
#define FUZZ_CALL(name, shape, output) FUZZ_CALL_##shape(name, output)
/* NOLINTEND(bugprone-macro-parentheses) */
BCTRL_FOR_EACH_FUNCTION(FUZZ_CALL)

static const struct
{
    size_t size;
    bctrl_result (*call)(bctrl_handle, int32_t, void *);
} calls[] = {
#define FUZZ_ENTRY(name, shape, output) {BCTRL_SHAPE_OUTPUT_SIZE_##shape(output), call_##name},
    BCTRL_FOR_EACH_FUNCTION(FUZZ_ENTRY)};
enum { CALL_COUNT = sizeof calls / sizeof calls[0] };

static void one_call(struct input *in)
{
    const unsigned op = next_byte(in) % CALL_COUNT;
    const bctrl_handle handle = pick_handle(in);
    const int32_t argument = pick_argument(in);
    const int null_output = (next_byte(in) % 8u) == 0;
    const size_t size = calls[op].size;
    void *out = size ? output(size) : NULL;

    ++standin_fuzz_calls;
    const bctrl_result result = calls[op].call(handle, argument, null_output ? NULL : out);
    if (result == STANDIN_FUZZ_NO_HANDLE)
        fail("bctrl_init returned handle 0", op);

    if (result != STANDIN_OK && result != STANDIN_ERROR_HANDLE && result != STANDIN_ERROR_ARGUMENT)
        fail("unknown result code", op);
    if (size && null_output && result == STANDIN_OK)
        fail("a null pointer was accepted", op);
    if (size && result != STANDIN_OK && !untouched(out, size))
        fail("a refused call wrote its output", op);
    if (calls[op].call == call_bctrl_get_input_voltage && result == STANDIN_OK) {
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
