/*
 * A board-control library that only leaves a trace: each call appends a line
 * to the file named by TRACING_BOARD_FILE, its name and the arguments it
 * received ("bctrl_enable_modem 7ace0001 1"), and writes nothing for the
 * caller. Built under the maker's library name, it shows which library a
 * program really loads, and that the calls arrive as they were made: a caller
 * in the wrong calling convention hands over garbage.
 *
 * Built as a maker may build it: BCTRL_STDCALL makes its functions __stdcall,
 * a .def file (tests/deploy/maker_dlls.cmake) names its exports, and
 * TRACING_TABLE makes each export jump through a table of functions that
 * bctrl_init fills, as a dispatching shim does.
 */
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

#define TRACE_BODY(name, shape)                                                                              \
  {                                                                                                          \
    (void)BCTRL_SHAPE_OUT_##shape;                                                                           \
    return (BCTRL_SHAPE_RETURN_##shape)trace(#name, BCTRL_SHAPE_HAS_HANDLE_##shape,                          \
        BCTRL_SHAPE_HANDLE_##shape, BCTRL_SHAPE_HAS_ARGUMENT_##shape, BCTRL_SHAPE_ARGUMENT_##shape);         \
  }

#ifdef TRACING_TABLE
enum {
#  define TABLE_INDEX(name, shape, output) name##_index,
    BCTRL_FOR_EACH_FUNCTION(TABLE_INDEX)
#  undef TABLE_INDEX
        table_size
};
static void *table[table_size];

/* NOLINTBEGIN(bugprone-macro-parentheses): output is a type. */
#  define TRACED(name, shape, output)                                                                        \
    static BCTRL_SHAPE_RETURN_##shape BCTRL_CALL traced_##name BCTRL_SHAPE_PARAMETERS_##shape(output)        \
        TRACE_BODY(name, shape)
BCTRL_FOR_EACH_FUNCTION(TRACED)

static void fill_table(void)
{
#  define FILL(name, shape, output) table[name##_index] = (void *)traced_##name;
    BCTRL_FOR_EACH_FUNCTION(FILL)
#  undef FILL
}

#  define DEFINE(name, shape, output)                                                                        \
    BCTRL_SHAPE_RETURN_##shape BCTRL_CALL name BCTRL_SHAPE_PARAMETERS_##shape(output)                        \
    {                                                                                                        \
      typedef BCTRL_SHAPE_RETURN_##shape(BCTRL_CALL *entry) BCTRL_SHAPE_PARAMETERS_##shape(output);          \
      if (name##_index == bctrl_init_index)                                                                  \
        fill_table();                                                                                        \
      return ((entry)table[name##_index])BCTRL_SHAPE_ARGUMENTS_##shape;                                      \
    }
/* NOLINTEND(bugprone-macro-parentheses) */
#else
#  define DEFINE(name, shape, output)                                                                        \
    BCTRL_SHAPE_RETURN_##shape BCTRL_CALL name BCTRL_SHAPE_PARAMETERS_##shape(output) TRACE_BODY(name, shape)
#endif

BCTRL_FOR_EACH_FUNCTION(DEFINE)
