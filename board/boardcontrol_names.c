#include "boardcontrol_names.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void bctrl_accepted_names(const char *function, int bytes, char names[BCTRL_NAME_FORMS][BCTRL_NAME_MAX])
{
    snprintf(names[0], BCTRL_NAME_MAX, "%s", function);
    snprintf(names[1], BCTRL_NAME_MAX, "%s@%d", function, bytes);
    snprintf(names[2], BCTRL_NAME_MAX, "_%s@%d", function, bytes);
    snprintf(names[3], BCTRL_NAME_MAX, "_%s", function);
}

/* N of a decoration "@N" that ends the name, or -1. */
static int decoration_bytes(const char *at)
{
    if (at[0] != '@' || at[1] < '0' || at[1] > '9')
        return -1;
    char *end = NULL;
    const long value = strtol(at + 1, &end, 10);
    return *end == '\0' && value <= BCTRL_LARGEST_STACK ? (int)value : -1;
}

bctrl_name_kind bctrl_name_kind_of(const char *export_name, const char *function, int bytes, int *other_bytes)
{
    const size_t length = strlen(function);
    const int fastcall = export_name[0] == '@';
    const char *plain = fastcall || export_name[0] == '_' ? export_name + 1 : export_name;
    if (strncmp(plain, function, length) != 0)
        return BCTRL_NAME_UNRELATED;
    const char *rest = plain + length;
    if (*rest == '\0')
        return fastcall ? BCTRL_NAME_UNRELATED : BCTRL_NAME_ACCEPTED;
    const int decorated = decoration_bytes(rest);
    if (decorated < 0)
        return BCTRL_NAME_UNRELATED; /* another function's name */
    *other_bytes = decorated;
    if (fastcall)
        return BCTRL_NAME_FASTCALL;
    return decorated == bytes ? BCTRL_NAME_ACCEPTED : BCTRL_NAME_OTHER_BYTES;
}
