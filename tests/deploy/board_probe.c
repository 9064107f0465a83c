/*
 * Calls every function of the board library it was linked against and prints,
 * one line a call, the result and every byte of the caller's variable, which
 * starts filled with 0xa5. Two runs that print the same saw the same calls
 * answered the same way: the board-call recorder in front of a library must
 * change nothing of this.
 *   board_probe [PASSES]
 * makes PASSES rounds of the readings, switches and resets between bctrl_init
 * and bctrl_deinit (default 1), and prints the first and the last.
 */
#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { SENTINEL = 0xa5, LARGEST_OUTPUT = 8 };

static void print(const char *name, long long result, const unsigned char *out, size_t size)
{
    printf("%s %lld", name, result);
    for (size_t i = 0; i < size; ++i)
        printf(" %02x", out[i]);
    putchar('\n');
}

/* NOLINTBEGIN(bugprone-macro-parentheses): output is a type. */
/* The switches take 1, the readings channel 0. */
#define PROBE_INIT(name, output)
#define PROBE_ANY(name, shape, output)                                                                       \
  if (strcmp(#name, "bctrl_deinit") != 0) {                                                                  \
    unsigned char raw[LARGEST_OUTPUT];                                                                       \
    memset(raw, SENTINEL, sizeof raw);                                                                       \
    output *out = (void *)raw;                                                                               \
    const int32_t argument = strcmp(#shape, "SWITCH") == 0;                                                  \
    (void)out;                                                                                               \
    (void)argument;                                                                                          \
    const bctrl_result result = name BCTRL_SHAPE_ARGUMENTS_##shape;                                          \
    if (shown)                                                                                               \
      print(#name, result, raw, BCTRL_SHAPE_OUTPUT_SIZE_##shape(output));                                    \
  }
#define PROBE_HANDLE(name, output) PROBE_ANY(name, HANDLE, output)
#define PROBE_OUTPUT(name, output) PROBE_ANY(name, OUTPUT, output)
#define PROBE_CHANNEL(name, output) PROBE_ANY(name, CHANNEL, output)
#define PROBE_SWITCH(name, output) PROBE_ANY(name, SWITCH, output)
#define PROBE(name, shape, output) PROBE_##shape(name, output)
/* NOLINTEND(bugprone-macro-parentheses) */

int main(int argc, char **argv)
{
    const long passes = argc > 1 ? strtol(argv[1], NULL, 10) : 1;
    const bctrl_handle handle = bctrl_init();
    print("bctrl_init", (long long)handle, NULL, 0);
    for (long pass = 1; pass <= passes; ++pass) {
        const int shown = pass == 1 || pass == passes;
        BCTRL_FOR_EACH_FUNCTION(PROBE)
    }
    print("bctrl_deinit", bctrl_deinit(handle), NULL, 0);
    return 0;
}
