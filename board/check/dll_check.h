/*
 * The rules of board-check, apart from its command line so that they can be
 * tested on DLL images made in memory: whether a board-control DLL fits the
 * program of one architecture.
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
    BOARD_FITS = 0,
    BOARD_DOES_NOT_FIT = 1,
    BOARD_UNREADABLE = 2,     /* or a usage error */
    BOARD_FITS_SIMULATED = 4, /* our simulated board */
};

/* How the version information (FileDescription) of our own DLLs begins: the
 * simulated board, and the board-call recorder, which is no board library. */
#define BOARD_CHECK_SIMULATED_MARK "SIMULATED"
#define BOARD_CHECK_RECORDER_MARK "Orvane9 power monitor board-call recorder"

/* A file's bytes; data is NULL where there is no such file. */
typedef struct
{
    const unsigned char *data;
    size_t size;
} board_file;

typedef struct
{
    int bits; /* 32 or 64: the program's */
    /* Reads the DLL of that file name beside the checked one, for its forwarded
     * exports; NULL where nothing lies beside it. companion_done frees it. */
    board_file (*companion)(const char *name, void *context);
    void (*companion_done)(board_file *file, void *context);
    /* Each DLL beside it that it needs, its companion; may be NULL. */
    void (*found_companion)(const char *name, void *context);
    /* Whether a DLL of that name is one of Windows' own; NULL where that cannot
     * be told (board-check on Linux), which takes every other DLL for one. */
    int (*windows_has)(const char *name, void *context);
    void *context;
} board_check_options;

extern const char board_dll_name[];

/* Checks the DLL image data and says on out what it is and whether it fits. */
int board_check_dll(const board_check_options *o, const unsigned char *data, size_t size, FILE *out);

/* Whether two DLL names are the same as Windows' loader takes them, letters
 * compared whatever their case. */
int board_check_same_dll(const char *a, const char *b);

/* Whether the DLL name is one of list, names separated by '|' ("a.dll|b.dll"). */
int board_check_dll_listed(const char *name, const char *list);

/* The architecture of the DLL image data as its PE header gives it: 32, 64,
 * or 0 where it is no DLL for x86 or x64. */
int board_check_dll_bits(const unsigned char *data, size_t size);

#ifdef __cplusplus
}
#endif

#endif /* DLL_CHECK_H */
