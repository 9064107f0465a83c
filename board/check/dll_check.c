/*
 * The rules by which board-check tells whether a board-control DLL fits a
 * power monitor program (see board_check.c and dll_check.h). It decides only
 * what a file shows soundly: the architecture, and every function of the
 * interface exported under a name the program's binding looks for. Which
 * calling convention a function has cannot be read soundly from its code,
 * and the program calls either correctly.
 */
#include "dll_check.h"

#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"
#include "boardcontrol_names.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifndef POWERMONITOR_VERSION
#  define POWERMONITOR_VERSION "0"
#endif

enum { MAX_TEXT = 256, SECTION_HEADER_BYTES = 40 };
/* No DLL a loader accepts has more: they bound the work a crafted file can ask for. */
enum {
    IMPORT_DESCRIPTOR_BYTES = 20,
    MAX_DLLS = 64,
    MAX_IMPORT_DESCRIPTORS = 4096,
    MAX_RESOURCE_ENTRIES = 4096,
    MAX_EXPORT_NAMES = 65536, /* an export's ordinal index is 16 bits */
    MAX_FORWARDS = 16         /* a chain of forwarded exports, loops included */
};
enum { MACHINE_I386 = 0x14c, MACHINE_AMD64 = 0x8664, RT_VERSION_ID = 16 };
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

/*
 * Offsets into the file are 64-bit whatever the build's size_t: a sum of two
 * 32-bit fields never wraps into the buffer. Every read is checked against
 * the file's size.
 */
typedef uint64_t offset;

typedef struct
{
    const unsigned char *data;
    offset size;
    int bits;
    offset sections_offset;
    uint32_t section_count;
    uint32_t export_rva, export_size;
    uint32_t import_rva;
    uint32_t resource_rva;
} pe_file;

/* How a function of the interface is exported: under which name, of which kind. */
typedef struct
{
    bctrl_name_kind kind;
    char export_name[MAX_TEXT];
    int bytes;              /* the M of BCTRL_NAME_OTHER_BYTES */
    char forward[MAX_TEXT]; /* "MODULE.name" of a forwarded export, else "" */
} found_function;

static uint32_t read16(const pe_file *pe, offset at)
{
    return at <= pe->size && pe->size - at >= 2 ? (uint32_t)(pe->data[at] | pe->data[at + 1] << 8) : 0;
}

static uint32_t read32(const pe_file *pe, offset at)
{
    return at <= pe->size && pe->size - at >= 4 ? read16(pe, at) | read16(pe, at + 2) << 16 : 0;
}

static uint32_t section_address(const pe_file *pe, uint32_t i)
{
    return read32(pe, pe->sections_offset + (offset)i * SECTION_HEADER_BYTES + 12);
}

/*
 * The file offset of an RVA, or 0 where no section holds it. The sections
 * are in ascending order (pe_read refuses others, as Windows does; two share
 * an address only where the first is empty), so the one that may hold it is
 * the last at or below it, found by halving.
 */
static offset rva_offset(const pe_file *pe, uint32_t rva)
{
    if (pe->section_count == 0)
        return 0;
    uint32_t low = 0, high = pe->section_count;
    while (high - low > 1) {
        const uint32_t middle = low + (high - low) / 2;
        if (section_address(pe, middle) <= rva)
            low = middle;
        else
            high = middle;
    }
    const offset header = pe->sections_offset + (offset)low * SECTION_HEADER_BYTES;
    const uint32_t virtual_size = read32(pe, header + 8);
    const uint32_t address = read32(pe, header + 12);
    const uint32_t raw_size = read32(pe, header + 16);
    const uint32_t raw = read32(pe, header + 20);
    const uint32_t span = virtual_size > raw_size ? virtual_size : raw_size;
    if (rva >= address && rva - address < span && rva - address < raw_size) {
        const offset at = (offset)raw + (rva - address);
        return at < pe->size ? at : 0;
    }
    return 0;
}

/* A NUL-terminated string shorter than MAX_TEXT at offset, else NULL. */
static const char *string_at(const pe_file *pe, offset at)
{
    if (at == 0 || at >= pe->size)
        return NULL;
    const offset room = pe->size - at < MAX_TEXT ? pe->size - at : MAX_TEXT;
    if (!memchr(pe->data + at, '\0', (size_t)room))
        return NULL;
    return (const char *)pe->data + at;
}

static const char *pe_read(pe_file *pe)
{
    if (pe->size < 0x40 || pe->data[0] != 'M' || pe->data[1] != 'Z')
        return "it is not a Windows DLL (no MZ header)";
    const offset nt = read32(pe, 0x3c);
    if (nt > pe->size || pe->size - nt < 24 || memcmp(pe->data + nt, "PE\0\0", 4) != 0)
        return "it is not a Windows DLL (no PE header)";
    const uint32_t machine = read16(pe, nt + 4);
    const offset optional = nt + 24;
    const uint32_t magic = read16(pe, optional);
    if (machine == MACHINE_I386 && magic == 0x10b)
        pe->bits = 32;
    else if (machine == MACHINE_AMD64 && magic == 0x20b)
        pe->bits = 64;
    else
        return "it is a Windows DLL for neither x86 nor x64";
    pe->sections_offset = optional + read16(pe, nt + 20);
    pe->section_count = read16(pe, nt + 6);
    const offset room
        = pe->sections_offset < pe->size ? (pe->size - pe->sections_offset) / SECTION_HEADER_BYTES : 0;
    if (pe->section_count > room)
        return "it is cut short (its section table runs past its end)";
    for (uint32_t i = 1; i < pe->section_count; ++i)
        if (section_address(pe, i) < section_address(pe, i - 1))
            return "it is no DLL that Windows would load (its sections are out of order)";
    const offset directories = optional + (pe->bits == 32 ? 92 : 108);
    const uint32_t count = read32(pe, directories);
    /* Each entry 8 bytes, its RVA and its size: exports, imports, resources. */
    const offset entries = directories + 4;
    if (count > 0) {
        pe->export_rva = read32(pe, entries);
        pe->export_size = read32(pe, entries + 4);
    }
    if (count > 1)
        pe->import_rva = read32(pe, entries + 8);
    if (count > 2)
        pe->resource_rva = read32(pe, entries + 16);
    return NULL;
}

/*
 * Reads the export table once and fills found[] for every function of the
 * interface: the first name the binding would take, else a name that shows
 * why it cannot.
 */
static void find_exports(const pe_file *pe, found_function *found)
{
    memset(found, 0, sizeof(found_function) * FUNCTION_COUNT);
    const offset dir = rva_offset(pe, pe->export_rva);
    if (pe->export_rva == 0 || dir == 0)
        return;
    const uint32_t addresses = read32(pe, dir + 20);
    const offset functions_at = rva_offset(pe, read32(pe, dir + 28));
    const offset names_at = rva_offset(pe, read32(pe, dir + 32));
    const offset ordinals_at = rva_offset(pe, read32(pe, dir + 36));
    if (!functions_at || !names_at || !ordinals_at)
        return;
    /* No more names than the file holds entries for. */
    offset names = read32(pe, dir + 24);
    if (names > (pe->size - names_at) / 4)
        names = (pe->size - names_at) / 4;
    for (offset n = 0; n < names; ++n) {
        const char *name = string_at(pe, rva_offset(pe, read32(pe, names_at + 4 * n)));
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
            const uint32_t index = read16(pe, ordinals_at + 2 * n);
            if (kind != BCTRL_NAME_ACCEPTED || index >= addresses)
                continue;
            const uint32_t rva = read32(pe, functions_at + 4 * (offset)index);
            if (rva >= pe->export_rva && rva - pe->export_rva < pe->export_size) {
                const char *forward = string_at(pe, rva_offset(pe, rva));
                snprintf(x->forward, sizeof x->forward, "%s", forward ? forward : "?");
            }
        }
    }
}

/* The FileDescription of the version resource, in ASCII; "" where there is none. */
static void file_description(const pe_file *pe, char *text, size_t room)
{
    text[0] = '\0';
    const offset base = rva_offset(pe, pe->resource_rva);
    if (pe->resource_rva == 0 || base == 0)
        return;
    /* Type RT_VERSION, then its first name, then its first language. */
    uint32_t entry_dir = 0;
    for (int level = 0; level < 3; ++level) {
        const offset dir = base + entry_dir;
        const unsigned entries = read16(pe, dir + 12) + read16(pe, dir + 14);
        uint32_t next = 0;
        for (unsigned e = 0; e < entries && e < MAX_RESOURCE_ENTRIES; ++e) {
            const uint32_t id = read32(pe, dir + 16 + 8 * (offset)e);
            if (level > 0 || id == RT_VERSION_ID) {
                next = read32(pe, dir + 16 + 8 * (offset)e + 4);
                break;
            }
        }
        if (next == 0 || (level < 2) != ((next & 0x80000000u) != 0))
            return;
        entry_dir = next & 0x7fffffffu;
    }
    const offset data = rva_offset(pe, read32(pe, base + entry_dir));
    const uint32_t size = read32(pe, base + entry_dir + 4);
    if (data == 0 || size > pe->size - data)
        return;
    static const char key[] = "FileDescription";
    const offset key_bytes = sizeof key * 2; /* UTF-16LE with its terminator */
    for (offset at = data; at + key_bytes <= data + size; at += 2) {
        size_t k = 0;
        while (
            k < sizeof key && pe->data[at + 2 * k] == (unsigned char)key[k] && pe->data[at + 2 * k + 1] == 0)
            ++k;
        if (k != sizeof key)
            continue;
        offset value = at + key_bytes;
        value += (4 - (value - data) % 4) % 4;
        size_t out = 0;
        while (value + 1 < data + size && out + 1 < room) {
            const unsigned c = read16(pe, value);
            if (c == 0)
                break;
            text[out++] = c < 0x80 ? (char)c : '?';
            value += 2;
        }
        text[out] = '\0';
        return;
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
 * Export "name" or "#ordinal" of pe, as the loader finds it: 1 where pe
 * exports it, with forward set to where it is forwarded on ("MODULE.name"),
 * or to "" where it is code of pe's own; 0 where pe does not export it.
 */
static int find_export(const pe_file *pe, const char *wanted, char *forward, size_t room)
{
    forward[0] = '\0';
    const offset dir = rva_offset(pe, pe->export_rva);
    if (pe->export_rva == 0 || dir == 0)
        return 0;
    const uint32_t base = read32(pe, dir + 16);
    const uint32_t addresses = read32(pe, dir + 20);
    const offset functions_at = rva_offset(pe, read32(pe, dir + 28));
    if (!functions_at)
        return 0;
    uint32_t index = addresses;
    if (wanted[0] == '#') {
        char *end = NULL;
        const unsigned long ordinal = strtoul(wanted + 1, &end, 10);
        if (end != wanted + 1 && *end == '\0' && ordinal >= base && ordinal - base < addresses)
            index = (uint32_t)(ordinal - base);
    } else {
        const offset names_at = rva_offset(pe, read32(pe, dir + 32));
        const offset ordinals_at = rva_offset(pe, read32(pe, dir + 36));
        if (!names_at || !ordinals_at)
            return 0;
        offset names = read32(pe, dir + 24);
        if (names > (pe->size - names_at) / 4)
            names = (pe->size - names_at) / 4;
        if (names > MAX_EXPORT_NAMES)
            names = MAX_EXPORT_NAMES;
        for (offset n = 0; n < names; ++n) {
            const char *name = string_at(pe, rva_offset(pe, read32(pe, names_at + 4 * n)));
            if (name && strcmp(name, wanted) == 0) {
                index = read16(pe, ordinals_at + 2 * n);
                break;
            }
        }
    }
    if (index >= addresses)
        return 0;
    const uint32_t rva = read32(pe, functions_at + 4 * (offset)index);
    if (rva == 0)
        return 0;
    if (rva >= pe->export_rva && rva - pe->export_rva < pe->export_size) {
        const char *to = string_at(pe, rva_offset(pe, rva));
        snprintf(forward, room, "%s", to ? to : "?");
    }
    return 1;
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
        pe_file pe = {0};
        pe.data = file.data;
        pe.size = file.size;
        int found = 0;
        if (pe_read(&pe) != NULL || pe.bits != bits)
            fprintf(out, "%s is forwarded to %s, which is no %d-bit DLL\n", x->export_name, module, bits);
        else if (!(found = find_export(&pe, target, next, sizeof next)))
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
    const offset at = rva_offset(pe, pe->import_rva);
    if (pe->import_rva == 0 || at == 0)
        return;
    for (offset d = at, n = 0;
         n < MAX_IMPORT_DESCRIPTORS && d + IMPORT_DESCRIPTOR_BYTES <= pe->size && dlls->count < MAX_DLLS;
         ++n, d += IMPORT_DESCRIPTOR_BYTES) {
        const uint32_t name_rva = read32(pe, d + 12);
        if (name_rva == 0)
            return; /* the table's end */
        const char *name = string_at(pe, rva_offset(pe, name_rva));
        if (name)
            add_name(dlls, name, by);
    }
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
            pe_file pe = {0};
            pe.data = file.data;
            pe.size = file.size;
            if (pe_read(&pe) == NULL)
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
    file_description(pe, description, sizeof description);
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
    pe_file pe = {0};
    pe.data = data;
    pe.size = size;
    return pe_read(&pe) == NULL ? pe.bits : 0;
}

int board_check_dll(const board_check_options *o, const unsigned char *data, size_t size, FILE *out)
{
    pe_file pe = {0};
    pe.data = data;
    pe.size = size;
    const char *wrong = pe_read(&pe);
    if (wrong) {
        fprintf(out, "does not fit: %s\n", wrong);
        return BOARD_UNREADABLE;
    }
    return check(o, &pe, out);
}
