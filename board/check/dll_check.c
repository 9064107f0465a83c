/*
 * The rules by which board-check tells whether a board-control DLL fits a
 * power monitor program (see board_check.c and dll_check.h). It decides only
 * what a file shows soundly: the architecture, and every function of the
 * interface exported under a name the program's binding looks for. Which
 * calling convention a function has cannot be read soundly from its code,
 * and the program calls either correctly.
 */
#include "dll_check.h"
#include "pe_reader.h"

#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"
#include "boardcontrol_names.h"

#include <string.h>

#ifndef POWERMONITOR_VERSION
#  define POWERMONITOR_VERSION "0"
#endif

enum { MAX_TEXT = PE_MAX_TEXT };
/* They bound the work a crafted file can ask for. */
enum {
    MAX_DLLS = 64,
    MAX_FORWARDS = 16 /* a chain of forwarded exports, loops included */
};
const char board_dll_name[] = BCTRL_LIBRARY_NAME ".dll";
static const char simulated_mark[] = BOARD_CHECK_SIMULATED_MARK;
static const char recorder_mark[] = BOARD_CHECK_RECORDER_MARK;
/* Every name the check looks for starts so, after an optional '_' or '@'. */
static const char function_prefix[] = "bctrl_";

typedef struct
{
    const char *name;
    int bytes; /* what a __stdcall version removes from the stack: its @N */
} function_entry;

#define BCTRL_CHECK_ENTRY(name, shape, output) {#name, BCTRL_SHAPE_STACK_BYTES_##shape},
static const function_entry functions[] = {BCTRL_FOR_EACH_FUNCTION(BCTRL_CHECK_ENTRY)};
#undef BCTRL_CHECK_ENTRY
enum { FUNCTION_COUNT = sizeof functions / sizeof functions[0] };

/* How a function of the interface is exported: under which name, of which kind. */
typedef struct
{
    bctrl_name_kind kind;
    char export_name[MAX_TEXT];
    int bytes;              /* the M of BCTRL_NAME_OTHER_BYTES */
    char forward[MAX_TEXT]; /* "MODULE.name" of a forwarded export, else "" */
} found_function;

/*
 * Reads the export table once and fills found[] for every function of the
 * interface: the first name the binding would take, else a name that shows
 * why it cannot.
 */
static void find_exports(const pe_file *pe, found_function *found)
{
    memset(found, 0, sizeof(found_function) * FUNCTION_COUNT);
    pe_exports exports;
    if (!pe_exports_read(pe, &exports))
        return;
    for (pe_offset n = 0; n < exports.names; ++n) {
        uint32_t index = 0;
        const char *name = pe_export_name(pe, &exports, n, &index);
        const char *plain = name && (name[0] == '_' || name[0] == '@') ? name + 1 : name;
        if (!plain || strncmp(plain, function_prefix, sizeof function_prefix - 1) != 0)
            continue;
        for (int f = 0; f < FUNCTION_COUNT; ++f) {
            found_function *x = &found[f];
            int bytes = 0;
            const bctrl_name_kind kind
                = bctrl_name_kind_of(name, functions[f].name, functions[f].bytes, &bytes);
            /* An accepted name wins over any other; the first of each kind is named. */
            if (kind == BCTRL_NAME_UNRELATED || x->kind == BCTRL_NAME_ACCEPTED
                || (x->kind != BCTRL_NAME_UNRELATED && kind != BCTRL_NAME_ACCEPTED))
                continue;
            x->kind = kind;
            x->bytes = bytes;
            snprintf(x->export_name, sizeof x->export_name, "%s", name);
            x->forward[0] = '\0';
            if (kind == BCTRL_NAME_ACCEPTED)
                pe_export_at(pe, &exports, index, x->forward, sizeof x->forward);
        }
    }
}

/* The other DLLs a board DLL needs: those it imports from or forwards to, and
 * theirs in turn; by[i] is the index of the DLL that needs names[i], -1 for
 * the board DLL itself. */
typedef struct
{
    char names[MAX_DLLS][MAX_TEXT];
    int by[MAX_DLLS];
    int count;
} dll_names;

/* Windows' DLL names are ASCII and compared without case. */
static int same_dll(const char *a, const char *b)
{
    for (; *a && *b; ++a, ++b) {
        const int x = *a >= 'A' && *a <= 'Z' ? *a - 'A' + 'a' : *a;
        const int y = *b >= 'A' && *b <= 'Z' ? *b - 'A' + 'a' : *b;
        if (x != y)
            return 0;
    }
    return *a == *b;
}

static void add_name(dll_names *dlls, const char *name, int by)
{
    for (int i = 0; i < dlls->count; ++i)
        if (same_dll(dlls->names[i], name))
            return;
    if (dlls->count < MAX_DLLS) {
        dlls->by[dlls->count] = by;
        snprintf(dlls->names[dlls->count++], MAX_TEXT, "%s", name);
    }
}

/*
 * Follows a forwarded export, "MODULE.name" or "MODULE.#ordinal", as Windows
 * does: through the DLLs beside the checked one, each added to needed, until
 * it reaches code, or a DLL of Windows' own, taken on trust. 1 where it does;
 * else says why not on out.
 */
static int forward_fits(
    const board_check_options *o, int bits, const found_function *x, dll_names *needed, FILE *out)
{
    char forward[MAX_TEXT];
    snprintf(forward, sizeof forward, "%s", x->forward);
    for (int hop = 0; hop < MAX_FORWARDS; ++hop) {
        const char *dot = strrchr(forward, '.');
        if (!dot || dot == forward || dot[1] == '\0') {
            fprintf(
                out, "%s is forwarded to %s, which names no function of a DLL\n", x->export_name, forward);
            return 0;
        }
        char module[MAX_TEXT], target[MAX_TEXT], next[MAX_TEXT];
        snprintf(module, sizeof module, "%.*s.dll", (int)(dot - forward), forward);
        snprintf(target, sizeof target, "%s", dot + 1);
        board_file file = {NULL, 0};
        if (o->companion)
            file = o->companion(module, o->context);
        if (!file.data) {
            if (o->windows_has && o->windows_has(module, o->context))
                return 1;
            fprintf(out, "%s is forwarded to %s, which is not beside it\n", x->export_name, module);
            return 0;
        }
        add_name(needed, module, -1);
        pe_file pe;
        int found = 0;
        if (pe_read(&pe, file.data, file.size) != NULL || pe.bits != bits)
            fprintf(out, "%s is forwarded to %s, which is no %d-bit DLL\n", x->export_name, module, bits);
        else if (!(found = pe_find_export(&pe, target, next, sizeof next)))
            fprintf(out, "%s is forwarded to %s, which does not export %s\n", x->export_name, module, target);
        if (o->companion_done)
            o->companion_done(&file, o->context);
        if (!found)
            return 0;
        if (next[0] == '\0')
            return 1;
        snprintf(forward, sizeof forward, "%s", next);
    }
    fprintf(out, "%s is forwarded on more than %d times (in a loop?), further than the check follows\n",
        x->export_name, MAX_FORWARDS);
    return 0;
}

static void add_imports(const pe_file *pe, dll_names *dlls, int by)
{
    const char *name = NULL;
    for (pe_offset n = 0; dlls->count < MAX_DLLS && pe_import_name(pe, n, &name); ++n)
        if (name)
            add_name(dlls, name, by);
}

/*
 * Sorts the DLLs it needs into companions, which lie beside it and go with it
 * wherever it is installed, and Windows' own; then the DLLs each companion
 * needs, and theirs, as the loader would. Says on out of each companion and
 * of each DLL needed that is neither. Returns how many are neither.
 */
static int check_companions(const board_check_options *o, dll_names *dlls, FILE *out)
{
    int unfound = 0;
    for (int i = 0; i < dlls->count; ++i) { /* the list grows as companions are read */
        const char *name = dlls->names[i];
        if (same_dll(name, board_dll_name))
            continue; /* a companion that calls back into the board DLL */
        board_file file = {NULL, 0};
        if (o->companion)
            file = o->companion(name, o->context);
        if (file.data) {
            fprintf(out, "companion beside it: %s\n", name);
            if (o->found_companion)
                o->found_companion(name, o->context);
            pe_file pe;
            if (pe_read(&pe, file.data, file.size) == NULL)
                add_imports(&pe, dlls, i);
            if (o->companion_done)
                o->companion_done(&file, o->context);
        } else if (o->windows_has && !o->windows_has(name, o->context)) {
            if (dlls->by[i] < 0)
                fprintf(out, "it needs %s, which is neither beside it nor one of Windows' own\n", name);
            else
                fprintf(out, "%s beside it needs %s, which is neither beside it nor one of Windows' own\n",
                    dlls->names[dlls->by[i]], name);
            ++unfound;
        }
    }
    return unfound;
}

/* "1 of them is", "2 of them are". */
static const char *are(int count)
{
    return count == 1 ? "is" : "are";
}

static int check(const board_check_options *o, const pe_file *pe, FILE *out)
{
    const char *arch = o->bits == 32 ? "x86" : "x64";
    const char *other_arch = o->bits == 32 ? "x64" : "x86";
    const char *other_installer = o->bits == 32 ? "win64" : "win32";
    if (pe->bits != o->bits) {
        fprintf(out,
            "does not fit: it is a %d-bit DLL, and this is the %d-bit program (%s): a %d-bit program "
            "cannot load it. Operators install powermonitor-%s-%s.exe instead; builders use "
            "WINDOWS_ARCH=%s (make windows WINDOWS_ARCH=%s, or cmake --preset windows-%s).\n",
            pe->bits, o->bits, arch, o->bits, POWERMONITOR_VERSION, other_installer, other_arch, other_arch,
            other_arch);
        return BOARD_DOES_NOT_FIT;
    }

    char description[MAX_TEXT];
    pe_file_description(pe, description, sizeof description);
    if (strncmp(description, recorder_mark, sizeof recorder_mark - 1) == 0) {
        fprintf(out,
            "does not fit: it is the power monitor's board-call recorder, not the board maker's library: "
            "it only passes each call on to the maker's DLL. Install the maker's %s as the board library "
            "first; to record its calls, rename that one to %s.real.dll and put the recorder beside it "
            "under the name %s.\n",
            board_dll_name, BCTRL_LIBRARY_NAME, board_dll_name);
        return BOARD_DOES_NOT_FIT;
    }

    found_function found[FUNCTION_COUNT];
    find_exports(pe, found);
    int missing = 0, unfit = 0, decorated = 0, stdcall_names = 0, forwarded = 0, broken_forwards = 0;
    const char *first_forward = NULL;
    dll_names needed = {0};
    add_imports(pe, &needed, -1);
    for (int f = 0; f < FUNCTION_COUNT; ++f) {
        const found_function *x = &found[f];
        if (x->kind == BCTRL_NAME_UNRELATED) {
            if (missing++ == 0)
                fprintf(out, "missing functions:");
            fprintf(out, " %s", functions[f].name);
        }
    }
    if (missing)
        fprintf(out, "\n");
    for (int f = 0; f < FUNCTION_COUNT; ++f) {
        const found_function *x = &found[f];
        if (x->kind == BCTRL_NAME_OTHER_BYTES) {
            ++unfit;
            fprintf(out, "%s takes %d bytes of arguments, and the program passes %d\n", x->export_name,
                x->bytes, functions[f].bytes);
        } else if (x->kind == BCTRL_NAME_FASTCALL) {
            ++unfit;
            fprintf(out, "%s is __fastcall, which takes its arguments in registers\n", x->export_name);
        } else if (x->kind == BCTRL_NAME_ACCEPTED) {
            decorated += strcmp(x->export_name, functions[f].name) != 0;
            stdcall_names += strchr(x->export_name, '@') != NULL;
            if (x->forward[0]) {
                if (forwarded++ == 0)
                    first_forward = x->forward;
                broken_forwards += !forward_fits(o, pe->bits, x, &needed, out);
            }
        }
    }
    if (missing || unfit) {
        fprintf(out,
            "does not fit: %d of the %d functions that the program calls %s not exported under a name it "
            "looks for (name, name@N, _name@N or _name, with the interface's N); the program would not start "
            "with it.\n",
            missing + unfit, FUNCTION_COUNT, are(missing + unfit));
        return BOARD_DOES_NOT_FIT;
    }
    if (broken_forwards) {
        fprintf(out, "does not fit: %d of its functions %s forwarded to DLLs that do not provide them.\n",
            broken_forwards, are(broken_forwards));
        return BOARD_DOES_NOT_FIT;
    }
    const int unfound = check_companions(o, &needed, out);
    if (unfound) {
        fprintf(out, "does not fit: %d of the DLLs it needs %s missing; Windows would not load it.\n",
            unfound, are(unfound));
        return BOARD_DOES_NOT_FIT;
    }

    fprintf(out, "a %d-bit (%s) DLL exporting all %d board functions, with %s names (%s)\n", pe->bits, arch,
        FUNCTION_COUNT, decorated ? "decorated" : "plain", found[1].export_name);
    if (forwarded)
        fprintf(out, "%d of them forwarded to a DLL beside it (%s)\n", forwarded, first_forward);
    if (pe->bits == 32 && stdcall_names)
        fprintf(
            out, "remark: its names say its functions are __stdcall; the program calls either convention\n");

    if (description[0])
        fprintf(out, "its version information: \"%s\"\n", description);
    if (strncmp(description, simulated_mark, sizeof simulated_mark - 1) == 0) {
        fprintf(out,
            "fits this program: it is the power monitor's SIMULATED board, not the board maker's library\n");
        return BOARD_FITS_SIMULATED;
    }
    fprintf(out, "fits this program (%s)\n", arch);
    return BOARD_FITS;
}

int board_check_dll_bits(const unsigned char *data, size_t size)
{
    pe_file pe;
    return pe_read(&pe, data, size) == NULL ? pe.bits : 0;
}

int board_check_dll(const board_check_options *o, const unsigned char *data, size_t size, FILE *out)
{
    pe_file pe;
    const char *wrong = pe_read(&pe, data, size);
    if (wrong) {
        fprintf(out, "does not fit: %s\n", wrong);
        return BOARD_UNREADABLE;
    }
    return check(o, &pe, out);
}
