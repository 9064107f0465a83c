/*
 * The names under which the program takes a function of the interface from a
 * maker's DLL, and what other names of it say: one rule, for the program's
 * binding and for board-check alike.
 */
#ifndef BOARDCONTROL_NAMES_H
#define BOARDCONTROL_NAMES_H

#ifdef __cplusplus
extern "C" {
#endif

enum {
    BCTRL_NAME_FORMS = 4,        /* the names of one function that the program takes */
    BCTRL_NAME_MAX = 64,         /* room for one, with its end */
    BCTRL_LARGEST_STACK = 0xffff /* the largest @N read as a decoration */
};

/*
 * The names the program takes for function, whose __stdcall version removes
 * bytes of arguments, in the order it tries them: name (a .def file's),
 * name@N (MinGW's __stdcall), _name@N (MSVC's __stdcall) and _name (C++Builder's
 * __cdecl). Which convention a name suggests does not matter: the program
 * calls either.
 */
void bctrl_accepted_names(const char *function, int bytes, char names[BCTRL_NAME_FORMS][BCTRL_NAME_MAX]);

typedef enum {
    BCTRL_NAME_UNRELATED,   /* no name of this function */
    BCTRL_NAME_ACCEPTED,    /* one of the names above */
    BCTRL_NAME_OTHER_BYTES, /* name@M or _name@M: other arguments than the interface's */
    BCTRL_NAME_FASTCALL     /* @name@M: __fastcall, which takes its arguments in registers */
} bctrl_name_kind;

/* What export_name says of function: its kind, with the M of the last two in *other_bytes. */
bctrl_name_kind bctrl_name_kind_of(
    const char *export_name, const char *function, int bytes, int *other_bytes);

#ifdef __cplusplus
}
#endif

#endif /* BOARDCONTROL_NAMES_H */
