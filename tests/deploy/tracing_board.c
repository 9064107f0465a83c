/*
 * A board-control library that only leaves a trace: each call appends a line
 * to the file named by BCTRL_TRACE_FILE, its name and the arguments it
 * received ("bctrl_enable_modem 7ace0001 1"), and writes nothing for the
 * caller. Built under the maker's library name, it shows which library a
 * program really loads, and that the calls arrive as they were made: a caller
 * in the wrong calling convention hands over garbage.
 */
#define BCTRL_BUILDING_LIBRARY
#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#define TRACE_HANDLE 0x7ace0001u

static bctrl_result trace(const char *format, ...)
{
    const char *path = getenv("BCTRL_TRACE_FILE");
    FILE *file = path ? fopen(path, "a") : NULL;
    if (!file)
        return -1;
    va_list arguments;
    va_start(arguments, format);
    vfprintf(file, format, arguments);
    va_end(arguments);
    fclose(file);
    return 0;
}

/* NOLINTBEGIN(bugprone-macro-parentheses): output is a type, name a function name. */
#define DEFINE_INIT(name, output)                                                                            \
  bctrl_handle BCTRL_CALL name(void)                                                                         \
  {                                                                                                          \
    trace(#name "\n");                                                                                       \
    return TRACE_HANDLE;                                                                                     \
  }
#define DEFINE_HANDLE(name, output)                                                                          \
  bctrl_result BCTRL_CALL name(bctrl_handle h)                                                               \
  {                                                                                                          \
    return trace(#name " %08x\n", (unsigned)h);                                                              \
  }
#define DEFINE_OUTPUT(name, output)                                                                          \
  bctrl_result BCTRL_CALL name(bctrl_handle h, output *o)                                                    \
  {                                                                                                          \
    (void)o;                                                                                                 \
    return trace(#name " %08x\n", (unsigned)h);                                                              \
  }
#define DEFINE_CHANNEL(name, output)                                                                         \
  bctrl_result BCTRL_CALL name(bctrl_handle h, int32_t channel, output *o)                                   \
  {                                                                                                          \
    (void)o;                                                                                                 \
    return trace(#name " %08x %ld\n", (unsigned)h, (long)channel);                                           \
  }
#define DEFINE_SWITCH(name, output)                                                                          \
  bctrl_result BCTRL_CALL name(bctrl_handle h, int32_t on)                                                   \
  {                                                                                                          \
    return trace(#name " %08x %ld\n", (unsigned)h, (long)on);                                                \
  }
#define DEFINE(name, shape, output) DEFINE_##shape(name, output)
/* NOLINTEND(bugprone-macro-parentheses) */

BCTRL_FOR_EACH_FUNCTION(DEFINE)
