/*
 * How board-check words what its rules (dll_check.c) find in a DLL: a line
 * for each finding as the rules meet it, then the verdict that ends what it
 * says, with the advice that goes with it.
 */
#ifndef CHECK_REPORT_H
#define CHECK_REPORT_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Why a forwarded export does not reach a function. */
typedef enum {
    FORWARD_NAMES_NO_FUNCTION, /* its forward is no "MODULE.name" */
    FORWARD_NOT_BESIDE,        /* to a DLL neither beside it nor Windows' own */
    FORWARD_OTHER_ARCHITECTURE,
    FORWARD_NOT_EXPORTED,
    FORWARD_TOO_FAR /* on and on, in a loop perhaps */
} forward_problem;

/* Findings. */
void report_missing_functions(FILE *out, const char *const *names, int count);
void report_other_bytes(FILE *out, const char *export_name, int bytes, int program_bytes);
void report_fastcall(FILE *out, const char *export_name);
/* to is the forward (FORWARD_NAMES_NO_FUNCTION), else the DLL; target the name
 * it is forwarded to there; bits the program's; hops how far it was followed. */
void report_forward(FILE *out, forward_problem problem, const char *export_name, const char *to,
    const char *target, int bits, int hops);
void report_companion(FILE *out, const char *name);
/* A companion that Windows' loader would refuse: why, as the PE reader says,
 * or NULL where it is a DLL of bits, the other architecture. */
void report_unloadable_companion(FILE *out, const char *name, const char *why, int bits);
/* A DLL needed, by the board DLL (needed_by NULL) or by a companion, that is
 * neither beside it nor one of Windows' own. */
void report_unfound_dll(FILE *out, const char *needed_by, const char *name);

/* Verdicts. */
void report_unreadable(FILE *out, const char *why);
void report_other_architecture(FILE *out, int dll_bits, int program_bits);
void report_recorder(FILE *out, const char *board_dll, const char *library_name);
void report_unfit_names(FILE *out, int unfit, int functions);
void report_broken_forwards(FILE *out, int broken);
void report_missing_dlls(FILE *out, int missing);
void report_unloadable_dlls(FILE *out, int unloadable);

/* What a DLL that fits is. */
typedef struct
{
    int bits;
    int functions;
    int decorated;       /* whether any name is not the function's own */
    const char *example; /* one of its names */
    int forwarded;       /* how many of them are forwarded, the first to first_forward */
    const char *first_forward;
    int stdcall_names;       /* whether any name says __stdcall */
    const char *description; /* its version information's FileDescription, or "" */
    int simulated;           /* our simulated board */
} fitting_dll;

void report_fits(FILE *out, const fitting_dll *dll);

#ifdef __cplusplus
}
#endif

#endif /* CHECK_REPORT_H */
