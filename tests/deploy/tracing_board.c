/*
 * A board-control library that only leaves a trace: each call appends a line
 * to the file named by TRACING_BOARD_FILE, its name and the arguments it
 * received ("bctrl_enable_modem 7ace0001 1"), and writes nothing for the
 * caller. Built under the maker's library name, it shows which library a
 * program really loads, and that the calls arrive as they were made: a caller
 * in the wrong calling convention hands over garbage.
 */
#define BCTRL_BUILDING_LIBRARY
#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"

#include <stdio.h>
#include <stdlib.h>

#define TRACE_HANDLE 0x7ace0001u

/* Traces one call; bctrl_init gets TRACE_HANDLE, the others 0, or -1 when the
 * trace cannot be written. */
static uint32_t trace(
    const char *name, int has_handle, bctrl_handle handle, int has_argument, int32_t argument)
{
    const char *path = getenv("TRACING_BOARD_FILE");
    FILE *file = path ? fopen(path, "a") : NULL;
    if (file) {
        fputs(name, file);
        if (has_handle)
            fprintf(file, " %08lx", (unsigned long)handle);
        if (has_argument)
            fprintf(file, " %ld", (long)argument);
        fputc('\n', file);
        fclose(file);
    }
    if (!has_handle)
        return TRACE_HANDLE;
    return file ? 0u : (uint32_t)-1;
}

#define DEFINE(name, shape, output)                                                                          \
  BCTRL_SHAPE_RETURN_##shape BCTRL_CALL name BCTRL_SHAPE_PARAMETERS_##shape(output)                          \
  {                                                                                                          \
    (void)BCTRL_SHAPE_OUT_##shape;                                                                           \
    return (BCTRL_SHAPE_RETURN_##shape)trace(#name, BCTRL_SHAPE_HAS_HANDLE_##shape,                          \
        BCTRL_SHAPE_HANDLE_##shape, BCTRL_SHAPE_HAS_ARGUMENT_##shape, BCTRL_SHAPE_ARGUMENT_##shape);         \
  }

BCTRL_FOR_EACH_FUNCTION(DEFINE)
