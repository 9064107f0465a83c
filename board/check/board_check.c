/*
 * board-check: says whether a board-control DLL fits a power monitor program,
 * and if not, why and what to install or build instead. The installers run it
 * before they write anything, the build runs it on BOARDCONTROL_RUNTIME, and
 * it ships beside the program for whoever copies a DLL by hand.
 *
 * It reads the DLL as a file, never loads it: the architecture (PE machine),
 * the export of each function of the interface (plain, name@N or _name@N), the
 * calling convention (decorated names say it; for plain names, how the
 * function's code returns: a __stdcall function ends in "ret N") and the
 * version resource, which names our simulated board.
 *
 *   board-check [--arch x86|x64] [--convention cdecl|stdcall|either] [--assume]
 *               [--any-names] [--def FILE] [DLL]
 *
 * The defaults are this program's own: its architecture and convention (and,
 * built with BOARD_CHECK_ANY_NAMES beside a program built against a maker's
 * DLL, that DLL's names, whichever form they take), and on
 * Windows the Orvane_boardcontrol_api.dll beside it. --convention either serves
 * an installer that carries the program for both conventions; --any-names and
 * --def serve the build, which maps the program's names to the DLL's own in an
 * import library (--def writes its .def file); --assume takes a convention that
 * the code does not show as given.
 *
 * Exit status: 0 fits (as plain C, or on x64), 3 fits as __stdcall (only where
 * --convention allows it), 4 fits and is our simulated board, 1 does not fit,
 * 2 cannot be read or a usage error.
 */
#include "dll_check.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#  include <windows.h>
#endif

enum { MAX_DLL_BYTES = 256 * 1024 * 1024 };

static int usage(const char *message)
{
    fprintf(stderr,
        "board-check: %s\n"
        "usage: board-check [--arch x86|x64] [--convention cdecl|stdcall|either] [--assume] [--any-names]\n"
        "                   [--def FILE] [%s]\n",
        message, board_dll_name);
    return BOARD_UNREADABLE;
}

static int parse_options(int argc, char **argv, board_check_options *o)
{
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(a, "--arch") == 0 && value) {
            if (strcmp(value, "x86") != 0 && strcmp(value, "x64") != 0)
                return usage("--arch is x86 or x64");
            o->bits = strcmp(value, "x86") == 0 ? 32 : 64;
            ++i;
        } else if (strcmp(a, "--convention") == 0 && value) {
            if (strcmp(value, "cdecl") == 0)
                o->convention = CONV_CDECL;
            else if (strcmp(value, "stdcall") == 0)
                o->convention = CONV_STDCALL;
            else if (strcmp(value, "either") == 0)
                o->convention = CONV_EITHER;
            else
                return usage("--convention is cdecl, stdcall or either");
            ++i;
        } else if (strcmp(a, "--def") == 0 && value) {
            o->def_file = value;
            ++i;
        } else if (strcmp(a, "--assume") == 0) {
            o->assume = 1;
        } else if (strcmp(a, "--any-names") == 0) {
            o->any_names = 1;
        } else if (a[0] == '-' && a[1] == '-') {
            return usage("unknown option or missing value");
        } else if (o->dll) {
            return usage("one DLL at a time");
        } else {
            o->dll = a;
        }
    }
    return -1;
}

static unsigned char *read_file(const char *path, size_t *size)
{
    FILE *file = fopen(path, "rb");
    if (!file)
        return NULL;
    unsigned char *data = NULL;
    if (fseek(file, 0, SEEK_END) == 0) {
        const long length = ftell(file);
        if (length >= 0 && length <= MAX_DLL_BYTES && fseek(file, 0, SEEK_SET) == 0) {
            data = malloc(length > 0 ? (size_t)length : 1);
            if (data && fread(data, 1, (size_t)length, file) != (size_t)length) {
                free(data);
                data = NULL;
            }
            *size = (size_t)length;
        }
    }
    fclose(file);
    return data;
}

/* The checks themselves, on a DLL read into pe; prints what it found and the verdict. */
int main(int argc, char **argv)
{
    board_check_options o = {0};
#ifdef _WIN32
    o.bits = (int)sizeof(void *) * 8;
#  ifdef BCTRL_STDCALL
    o.convention = CONV_STDCALL;
#  else
    o.convention = CONV_CDECL;
#  endif
#else
    o.convention = CONV_CDECL;
#endif
#ifdef BOARD_CHECK_ANY_NAMES
    o.any_names = 1; /* a program built against the maker's DLL imports its names, whichever they are */
#endif
    const int parsed = parse_options(argc, argv, &o);
    if (parsed >= 0)
        return parsed;
    if (o.bits == 0)
        return usage("--arch is needed here: this board-check is not a Windows program");
    if (o.bits == 64)
        o.convention = CONV_CDECL; /* one convention on x64 */

#ifdef _WIN32
    char beside[MAX_PATH];
    if (!o.dll) {
        const DWORD length = GetModuleFileNameA(NULL, beside, sizeof beside);
        char *slash = length > 0 && length < sizeof beside ? strrchr(beside, '\\') : NULL;
        const size_t name_bytes = strlen(board_dll_name) + 1;
        if (!slash || (size_t)(slash - beside) + 1 + name_bytes > sizeof beside)
            return usage("name the DLL to check");
        memcpy(slash + 1, board_dll_name, name_bytes);
        o.dll = beside;
    }
#endif
    if (!o.dll && o.def_file && o.bits == 32)
        return board_check_write_def(o.def_file, board_dll_name, o.convention == CONV_STDCALL, NULL);
    if (!o.dll)
        return usage("name the DLL to check");

    printf("%s:\n", o.dll);
    size_t size = 0;
    unsigned char *data = read_file(o.dll, &size);
    if (!data) {
        printf("does not fit: there is no readable file there\n");
        return BOARD_UNREADABLE;
    }
    const int status = board_check_dll(&o, data, size, stdout);
    free(data);
    return status;
}
