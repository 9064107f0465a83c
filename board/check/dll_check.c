/*
 * The rules by which board-check tells whether a board-control DLL fits a
 * power monitor program (see board_check.c and dll_check.h). It decides only
 * what a file shows soundly: the architecture, and every function of the
 * interface exported under a name the program's binding looks for. Which
 * calling convention a function has cannot be read soundly from its code,
 * and the program calls either correctly.
 */
#include "dll_check.h"
#include "check_report.h"
#include "pe_reader.h"

#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"
#include "boardcontrol_names.h"

#include <string.h>

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
static int lower(int c)
{
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

/* The first n letters of a and b, or up to where a string ends. */
static int same_letters(const char *a, const char *b, size_t n)
{
    for (; n > 0 && *a && *b; --n, ++a, ++b)
        if (lower((unsigned char)*a) != lower((unsigned char)*b))
            return 0;
    return n == 0 || *a == *b;
}

int board_check_same_dll(const char *a, const char *b)
{
    return same_letters(a, b, (size_t)-1);
}

int board_check_dll_listed(const char *name, const char *list)
{
    const size_t length = strlen(name);
    for (const char *entry = list; *entry;) {
        const char *end = strchr(entry, '|');
        const size_t entry_length = end ? (size_t)(end - entry) : strlen(entry);
        if (entry_length == length && length > 0 && same_letters(entry, name, length))
            return 1;
        if (!end)
            break;
        entry = end + 1;
    }
    return 0;
}

static void add_name(dll_names *dlls, const char *name, int by)
{
    for (int i = 0; i < dlls->count; ++i)
        if (board_check_same_dll(dlls->names[i], name))
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
 * else reports why not on out.
 */
static int forward_fits(
    const board_check_options *o, int bits, const found_function *x, dll_names *needed, FILE *out)
{
    char forward[MAX_TEXT];
    snprintf(forward, sizeof forward, "%s", x->forward);
    for (int hop = 0; hop < MAX_FORWARDS; ++hop) {
        const char *dot = strrchr(forward, '.');
        if (!dot || dot == forward || dot[1] == '\0') {
            report_forward(out, FORWARD_NAMES_NO_FUNCTION, x->export_name, forward, NULL, bits, hop);
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
            report_forward(out, FORWARD_NOT_BESIDE, x->export_name, module, target, bits, hop);
            return 0;
        }
        add_name(needed, module, -1);
        pe_file pe;
        int found = 0;
        if (pe_read(&pe, file.data, file.size) != NULL || pe.bits != bits)
            report_forward(out, FORWARD_OTHER_ARCHITECTURE, x->export_name, module, target, bits, hop);
        else if (!(found = pe_find_export(&pe, target, next, sizeof next)))
            report_forward(out, FORWARD_NOT_EXPORTED, x->export_name, module, target, bits, hop);
        if (o->companion_done)
            o->companion_done(&file, o->context);
        if (!found)
            return 0;
        if (next[0] == '\0')
            return 1;
        snprintf(forward, sizeof forward, "%s", next);
    }
    report_forward(out, FORWARD_TOO_FAR, x->export_name, forward, NULL, bits, MAX_FORWARDS);
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
 * needs, and theirs, as the loader would. Reports on out each companion, each
 * that the loader would refuse (counted in unloadable), and each DLL needed
 * that is neither. Returns how many are neither.
 */
static int check_companions(const board_check_options *o, dll_names *dlls, int *unloadable, FILE *out)
{
    int unfound = 0;
    for (int i = 0; i < dlls->count; ++i) { /* the list grows as companions are read */
        const char *name = dlls->names[i];
        if (board_check_same_dll(name, board_dll_name))
            continue; /* a companion that calls back into the board DLL */
        board_file file = {NULL, 0};
        if (o->companion)
            file = o->companion(name, o->context);
        if (file.data) {
            report_companion(out, name);
            if (o->found_companion)
                o->found_companion(name, o->context);
            pe_file pe;
            const char *wrong = pe_read(&pe, file.data, file.size);
            if (!wrong && pe.bits != o->bits) {
                report_unloadable_companion(out, name, NULL, pe.bits);
                ++*unloadable;
            } else if (wrong) {
                report_unloadable_companion(out, name, wrong, 0);
                ++*unloadable;
            } else {
                add_imports(&pe, dlls, i);
            }
            if (o->companion_done)
                o->companion_done(&file, o->context);
        } else if (o->windows_has && !o->windows_has(name, o->context)) {
            report_unfound_dll(out, dlls->by[i] < 0 ? NULL : dlls->names[dlls->by[i]], name);
            ++unfound;
        }
    }
    return unfound;
}

static int check(const board_check_options *o, const pe_file *pe, FILE *out)
{
    if (pe->bits != o->bits) {
        report_other_architecture(out, pe->bits, o->bits);
        return BOARD_DOES_NOT_FIT;
    }

    char description[MAX_TEXT];
    pe_file_description(pe, description, sizeof description);
    if (strncmp(description, recorder_mark, sizeof recorder_mark - 1) == 0) {
        report_recorder(out, board_dll_name, BCTRL_LIBRARY_NAME);
        return BOARD_DOES_NOT_FIT;
    }

    found_function found[FUNCTION_COUNT];
    find_exports(pe, found);
    const char *missing[FUNCTION_COUNT];
    int missing_count = 0, unfit = 0, broken_forwards = 0;
    fitting_dll fit = {pe->bits, FUNCTION_COUNT, 0, found[1].export_name, 0, NULL, 0, description, 0};
    dll_names needed = {0};
    add_imports(pe, &needed, -1);
    for (int f = 0; f < FUNCTION_COUNT; ++f)
        if (found[f].kind == BCTRL_NAME_UNRELATED)
            missing[missing_count++] = functions[f].name;
    report_missing_functions(out, missing, missing_count);
    for (int f = 0; f < FUNCTION_COUNT; ++f) {
        const found_function *x = &found[f];
        if (x->kind == BCTRL_NAME_OTHER_BYTES) {
            ++unfit;
            report_other_bytes(out, x->export_name, x->bytes, functions[f].bytes);
        } else if (x->kind == BCTRL_NAME_FASTCALL) {
            ++unfit;
            report_fastcall(out, x->export_name);
        } else if (x->kind == BCTRL_NAME_ACCEPTED) {
            fit.decorated |= strcmp(x->export_name, functions[f].name) != 0;
            fit.stdcall_names |= strchr(x->export_name, '@') != NULL;
            if (x->forward[0]) {
                if (fit.forwarded++ == 0)
                    fit.first_forward = x->forward;
                broken_forwards += !forward_fits(o, pe->bits, x, &needed, out);
            }
        }
    }
    if (missing_count || unfit) {
        report_unfit_names(out, missing_count + unfit, FUNCTION_COUNT);
        return BOARD_DOES_NOT_FIT;
    }
    if (broken_forwards) {
        report_broken_forwards(out, broken_forwards);
        return BOARD_DOES_NOT_FIT;
    }
    int unloadable = 0;
    const int unfound = check_companions(o, &needed, &unloadable, out);
    if (unfound) {
        report_missing_dlls(out, unfound);
        return BOARD_DOES_NOT_FIT;
    }
    if (unloadable) {
        report_unloadable_dlls(out, unloadable);
        return BOARD_DOES_NOT_FIT;
    }
    fit.simulated = strncmp(description, simulated_mark, sizeof simulated_mark - 1) == 0;
    report_fits(out, &fit);
    return fit.simulated ? BOARD_FITS_SIMULATED : BOARD_FITS;
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
        report_unreadable(out, wrong);
        return BOARD_UNREADABLE;
    }
    return check(o, &pe, out);
}
