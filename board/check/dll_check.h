/*
 * The rules of board-check, apart from its command line so that they can be
 * tested on DLL images made in memory: whether a board-control DLL fits a
 * program of one architecture and calling convention.
 */
#ifndef DLL_CHECK_H
#define DLL_CHECK_H

#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* board-check's exit status. */
enum {
    BOARD_FITS = 0, /* as plain C, or on x64 */
    BOARD_DOES_NOT_FIT = 1,
    BOARD_UNREADABLE = 2,     /* or a usage error */
    BOARD_FITS_STDCALL = 3,   /* only where the convention allows it */
    BOARD_FITS_SIMULATED = 4, /* our simulated board */
};

typedef enum { CONV_NONE, CONV_CDECL, CONV_STDCALL, CONV_EITHER } board_convention;

typedef struct
{
    int bits;                    /* 32 or 64: the program's */
    board_convention convention; /* the program's, or CONV_EITHER */
    int assume;                  /* take the convention as given where the code does not show it */
    int any_names;               /* the program imports the DLL's names, whichever form they take */
    const char *def_file;        /* where to write the .def of the DLL's exports, or NULL */
    const char *dll;             /* the DLL's path: named in the .def */
} board_check_options;

extern const char board_dll_name[];

/* Checks the DLL image data and says on out what it is and whether it fits. */
int board_check_dll(const board_check_options *o, const unsigned char *data, size_t size, FILE *out);

/*
 * Writes a .def file for dlltool that maps the names the program's callers use
 * (name@N where they are compiled __stdcall) to the DLL's own exports; NULL
 * exports means plain names.
 */
int board_check_write_def(
    const char *path, const char *library, int with_stdcall, const char *const *exports);

#ifdef __cplusplus
}
#endif

#endif /* DLL_CHECK_H */
