/*
 * The rules by which board-check tells whether a board-control DLL fits a
 * power monitor program (see board_check.c and dll_check.h).
 */
#include "dll_check.h"

#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifndef POWERMONITOR_VERSION
#  define POWERMONITOR_VERSION "0"
#endif

enum { MAX_CODE_BYTES = 4096, MAX_JUMPS = 16, MAX_TEXT = 256 };
enum { MACHINE_I386 = 0x14c, MACHINE_AMD64 = 0x8664, RT_VERSION_ID = 16 };
/* A stdcall function without arguments returns as a plain C one does. */
enum { NO_ARGUMENT_BYTES = 0 };
const char board_dll_name[] = "Orvane_boardcontrol_api.dll";
static const char simulated_mark[] = "SIMULATED";

typedef enum { RET_UNKNOWN = -1 } ret_bytes;

typedef struct
{
    const char *name;
    int bytes; /* what a __stdcall version removes from the stack: its @N */
} function_entry;

#define BCTRL_CHECK_ENTRY(name, shape, output) {#name, BCTRL_SHAPE_STACK_BYTES_##shape},
static const function_entry functions[] = {BCTRL_FOR_EACH_FUNCTION(BCTRL_CHECK_ENTRY)};
#undef BCTRL_CHECK_ENTRY
enum { FUNCTION_COUNT = sizeof functions / sizeof functions[0] };

typedef struct
{
    const unsigned char *data;
    size_t size;
    int bits;
    uint32_t sections_offset;
    unsigned section_count;
    uint32_t export_rva, export_size;
    uint32_t resource_rva;
} pe_file;

typedef struct
{
    char export_name[MAX_TEXT];
    uint32_t rva;
    int decorated;       /* exported as name@N, _name@N or _name */
    int decorated_bytes; /* N of name@N, or -1 */
    int ret_bytes;       /* from the code, or RET_UNKNOWN */
    int forwarded;
} found_function;

static uint32_t read16(const pe_file *pe, size_t at)
{
    return at + 2 <= pe->size ? (uint32_t)(pe->data[at] | pe->data[at + 1] << 8) : 0;
}

static uint32_t read32(const pe_file *pe, size_t at)
{
    return at + 4 <= pe->size ? read16(pe, at) | read16(pe, at + 2) << 16 : 0;
}

/* The file offset of an RVA, or 0 where no section holds it. */
static size_t rva_offset(const pe_file *pe, uint32_t rva)
{
    for (unsigned i = 0; i < pe->section_count; ++i) {
        const size_t header = pe->sections_offset + (size_t)i * 40;
        const uint32_t virtual_size = read32(pe, header + 8);
        const uint32_t address = read32(pe, header + 12);
        const uint32_t raw_size = read32(pe, header + 16);
        const uint32_t raw = read32(pe, header + 20);
        const uint32_t span = virtual_size > raw_size ? virtual_size : raw_size;
        if (rva >= address && rva - address < span && rva - address < raw_size) {
            const size_t offset = (size_t)raw + (rva - address);
            return offset < pe->size ? offset : 0;
        }
    }
    return 0;
}

static const char *pe_read(pe_file *pe)
{
    if (pe->size < 0x40 || pe->data[0] != 'M' || pe->data[1] != 'Z')
        return "it is not a Windows DLL (no MZ header)";
    const uint32_t nt = read32(pe, 0x3c);
    if (nt + 24 > pe->size || memcmp(pe->data + nt, "PE\0\0", 4) != 0)
        return "it is not a Windows DLL (no PE header)";
    const uint32_t machine = read16(pe, nt + 4);
    pe->section_count = read16(pe, nt + 6);
    const uint32_t optional_size = read16(pe, nt + 20);
    const uint32_t optional = nt + 24;
    pe->sections_offset = optional + optional_size;
    const uint32_t magic = read16(pe, optional);
    if (machine == MACHINE_I386 && magic == 0x10b)
        pe->bits = 32;
    else if (machine == MACHINE_AMD64 && magic == 0x20b)
        pe->bits = 64;
    else
        return "it is a Windows DLL for neither x86 nor x64";
    const uint32_t directories = optional + (pe->bits == 32 ? 92 : 108);
    const uint32_t count = read32(pe, directories);
    if (count > 0) {
        pe->export_rva = read32(pe, directories + 4);
        pe->export_size = read32(pe, directories + 8);
    }
    if (count > 2)
        pe->resource_rva = read32(pe, directories + 4 + 2 * 8);
    return NULL;
}

/*
 * How many bytes of arguments the x86 function at offset removes on return:
 * its instructions decoded one by one, unconditional jumps followed, until the
 * first ret. RET_UNKNOWN where the code is not decoded with certainty.
 */
static int modrm_length(const unsigned char *code, size_t left, int address16)
{
    if (left < 1)
        return -1;
    const int mod = code[0] >> 6, rm = code[0] & 7;
    if (mod == 3)
        return 1;
    if (address16)
        return 1 + (mod == 1 ? 1 : mod == 2 || (mod == 0 && rm == 6) ? 2 : 0);
    int length = 1;
    if (rm == 4) {
        if (left < 2)
            return -1;
        ++length;
        if (mod == 0 && (code[1] & 7) == 5)
            length += 4;
    }
    if ((mod == 0 && rm == 5) || mod == 2)
        length += 4;
    else if (mod == 1)
        length += 1;
    return length;
}

static int x86_ret_bytes(const pe_file *pe, uint32_t rva)
{
    int jumps = 0;
    size_t at = rva_offset(pe, rva);
    size_t decoded = 0;
    while (at != 0 && at < pe->size && decoded < MAX_CODE_BYTES) {
        const unsigned char *code = pe->data + at;
        const size_t left = pe->size - at;
        size_t i = 0;
        int operand16 = 0, address16 = 0;
        while (i < left && i < 15) {
            const unsigned char b = code[i];
            if (b == 0x66)
                operand16 = 1;
            else if (b == 0x67)
                address16 = 1;
            else if (!(b == 0xf0 || b == 0xf2 || b == 0xf3 || b == 0x26 || b == 0x2e || b == 0x36 || b == 0x3e
                         || b == 0x64 || b == 0x65))
                break;
            ++i;
        }
        if (i >= left)
            return RET_UNKNOWN;
        const unsigned char op = code[i++];
        const int immz = operand16 ? 2 : 4;
        int modrm = 0, immediate = 0;
        long jump = 0;
        int jumps_here = 0;
        if (op == 0xc3)
            return 0;
        if (op == 0xc2)
            return i + 2 <= left ? (int)(code[i] | code[i + 1] << 8) : RET_UNKNOWN;
        if (op < 0x40 && (op & 7) < 6 && op != 0x0f) {
            const int low = op & 7;
            modrm = low < 4;
            immediate = low == 4 ? 1 : low == 5 ? immz : 0;
        } else if (op == 0x0f) {
            if (i >= left)
                return RET_UNKNOWN;
            const unsigned char op2 = code[i++];
            if (op2 == 0x38) {
                ++i;
                modrm = 1;
            } else if (op2 == 0x3a || op2 == 0x0f) {
                i += op2 == 0x3a;
                modrm = 1;
                immediate = 1;
            } else if (op2 >= 0x80 && op2 <= 0x8f) {
                immediate = immz;
            } else if ((op2 >= 0x70 && op2 <= 0x73) || op2 == 0xa4 || op2 == 0xac || op2 == 0xba
                || op2 == 0xc2 || (op2 >= 0xc4 && op2 <= 0xc6)) {
                modrm = 1;
                immediate = 1;
            } else if (op2 == 0x05 || op2 == 0x06 || op2 == 0x07 || op2 == 0x08 || op2 == 0x09 || op2 == 0x0b
                || op2 == 0x0e || (op2 >= 0x30 && op2 <= 0x37) || op2 == 0x77 || op2 == 0xa0 || op2 == 0xa1
                || op2 == 0xa2 || op2 == 0xa8 || op2 == 0xa9 || op2 == 0xaa || (op2 >= 0xc8 && op2 <= 0xcf)) {
                /* no operands */
            } else {
                modrm = 1;
            }
        } else if (op < 0x40 || (op >= 0x40 && op <= 0x61) || (op >= 0x6c && op <= 0x6f)
            || (op >= 0x90 && op <= 0x99) || (op >= 0x9b && op <= 0x9f) || (op >= 0xa4 && op <= 0xa7)
            || (op >= 0xaa && op <= 0xaf) || op == 0xc9 || op == 0xcb || op == 0xcc || op == 0xce
            || op == 0xcf || op == 0xd6 || op == 0xd7 || (op >= 0xec && op <= 0xef) || op == 0xf1
            || op == 0xf4 || op == 0xf5 || (op >= 0xf8 && op <= 0xfd)) {
            /* no operands (0x27, 0x2f, 0x37, 0x3f, 0x06, 0x07, ... and one-byte forms) */
        } else if (op == 0x62 || op == 0x63 || (op >= 0x84 && op <= 0x8f) || (op >= 0xd0 && op <= 0xd3)
            || (op >= 0xd8 && op <= 0xdf) || op == 0xfe) {
            modrm = 1;
        } else if (op == 0xc4 || op == 0xc5) {
            if (i < left && code[i] >= 0xc0)
                return RET_UNKNOWN; /* VEX: not in the code this reads */
            modrm = 1;
        } else if (op == 0x68 || op == 0xa9 || (op >= 0xb8 && op <= 0xbf) || op == 0xe8) {
            immediate = immz;
        } else if (op == 0x6a || op == 0xa8 || (op >= 0xb0 && op <= 0xb7) || op == 0xcd || op == 0xd4
            || op == 0xd5 || (op >= 0xe0 && op <= 0xe7) || (op >= 0x70 && op <= 0x7f)) {
            immediate = 1; /* conditional jumps among them: the code goes on below them too */
        } else if (op == 0x69 || op == 0x81 || op == 0xc7) {
            modrm = 1;
            immediate = immz;
        } else if (op == 0x6b || op == 0x80 || op == 0x82 || op == 0x83 || op == 0xc0 || op == 0xc1
            || op == 0xc6) {
            modrm = 1;
            immediate = 1;
        } else if (op >= 0xa0 && op <= 0xa3) {
            immediate = address16 ? 2 : 4;
        } else if (op == 0xc8) {
            immediate = 3;
        } else if (op == 0xca) {
            immediate = 2;
        } else if (op == 0x9a || op == 0xea) {
            immediate = immz + 2;
        } else if (op == 0xe9 || op == 0xeb) {
            immediate = op == 0xe9 ? immz : 1;
            jumps_here = 1;
        } else if (op == 0xf6 || op == 0xf7) {
            if (i >= left)
                return RET_UNKNOWN;
            modrm = 1;
            if (((code[i] >> 3) & 7) < 2)
                immediate = op == 0xf6 ? 1 : immz;
        } else if (op == 0xff) {
            if (i >= left)
                return RET_UNKNOWN;
            const int reg = (code[i] >> 3) & 7;
            if (reg == 4 || reg == 5)
                return RET_UNKNOWN; /* an indirect jump: a thunk to somewhere else */
            modrm = 1;
        } else {
            return RET_UNKNOWN;
        }
        if (modrm) {
            const int length = modrm_length(code + i, left - i, address16);
            if (length < 0)
                return RET_UNKNOWN;
            i += (size_t)length;
        }
        if (i + (size_t)immediate > left)
            return RET_UNKNOWN;
        if (jumps_here) {
            jump = immediate == 1 ? (signed char)code[i]
                                  : (long)(int32_t)(code[i] | code[i + 1] << 8 | code[i + 2] << 16
                                      | (uint32_t)code[i + 3] << 24);
            if (immediate == 2 || ++jumps > MAX_JUMPS)
                return RET_UNKNOWN;
            const uint32_t next = rva + (uint32_t)(i + (size_t)immediate);
            rva = next + (uint32_t)jump;
            at = rva_offset(pe, rva);
            decoded += i + (size_t)immediate;
            continue;
        }
        i += (size_t)immediate;
        at += i;
        rva += (uint32_t)i;
        decoded += i;
    }
    return RET_UNKNOWN;
}

/* The export's name, its RVA and whether it is forwarded; 0 where not exported. */
static int find_export(const pe_file *pe, const char *function, found_function *found)
{
    const size_t dir = rva_offset(pe, pe->export_rva);
    if (pe->export_rva == 0 || dir == 0)
        return 0;
    uint32_t names = read32(pe, dir + 24);
    if (names > pe->size / 4)
        names = (uint32_t)(pe->size / 4); /* no more names than the file could list */
    const size_t functions_at = rva_offset(pe, read32(pe, dir + 28));
    const size_t names_at = rva_offset(pe, read32(pe, dir + 32));
    const size_t ordinals_at = rva_offset(pe, read32(pe, dir + 36));
    const size_t length = strlen(function);
    for (uint32_t n = 0; n < names && names_at && ordinals_at && functions_at; ++n) {
        const size_t name_at = rva_offset(pe, read32(pe, names_at + 4 * (size_t)n));
        if (name_at == 0)
            continue;
        const char *name = (const char *)pe->data + name_at;
        if (!memchr(name, '\0', pe->size - name_at))
            continue;
        const char *plain = name[0] == '_' && strncmp(name + 1, function, length) == 0 ? name + 1 : name;
        if (strncmp(plain, function, length) != 0)
            continue;
        const char *rest = plain + length;
        int bytes = -1;
        if (*rest == '@') {
            char *end = NULL;
            const long value = strtol(rest + 1, &end, 10);
            if (end == rest + 1 || *end != '\0' || value < 0 || value > 0xffff)
                continue;
            bytes = (int)value;
        } else if (*rest != '\0') {
            continue; /* another function's name */
        }
        found->decorated = plain != name || bytes >= 0;
        found->decorated_bytes = bytes;
        snprintf(found->export_name, sizeof found->export_name, "%s", name);
        const uint32_t index = read16(pe, ordinals_at + 2 * (size_t)n);
        found->rva = read32(pe, functions_at + 4 * (size_t)index);
        found->forwarded = found->rva >= pe->export_rva && found->rva - pe->export_rva < pe->export_size;
        return 1;
    }
    return 0;
}

/* The FileDescription of the version resource, in ASCII; "" where there is none. */
static void file_description(const pe_file *pe, char *text, size_t room)
{
    text[0] = '\0';
    const size_t base = rva_offset(pe, pe->resource_rva);
    if (pe->resource_rva == 0 || base == 0)
        return;
    /* Type RT_VERSION, then its first name, then its first language. */
    uint32_t entry_dir = 0;
    for (int level = 0; level < 3; ++level) {
        const size_t dir = base + entry_dir;
        const unsigned entries = read16(pe, dir + 12) + read16(pe, dir + 14);
        uint32_t next = 0;
        for (unsigned e = 0; e < entries && e < 4096; ++e) {
            const uint32_t id = read32(pe, dir + 16 + 8 * (size_t)e);
            if (level > 0 || id == RT_VERSION_ID) {
                next = read32(pe, dir + 16 + 8 * (size_t)e + 4);
                break;
            }
        }
        if (next == 0 || (level < 2) != ((next & 0x80000000u) != 0))
            return;
        entry_dir = next & 0x7fffffffu;
    }
    const size_t data = rva_offset(pe, read32(pe, base + entry_dir));
    const uint32_t size = read32(pe, base + entry_dir + 4);
    if (data == 0 || size > pe->size - data)
        return;
    static const char key[] = "FileDescription";
    const size_t key_bytes = sizeof key * 2; /* UTF-16LE with its terminator */
    for (size_t at = data; at + key_bytes <= data + size; at += 2) {
        size_t k = 0;
        while (
            k < sizeof key && pe->data[at + 2 * k] == (unsigned char)key[k] && pe->data[at + 2 * k + 1] == 0)
            ++k;
        if (k != sizeof key)
            continue;
        size_t value = at + key_bytes;
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

int board_check_write_def(const char *path, const char *library, int with_stdcall, const char *const *exports)
{
    FILE *def = fopen(path, "w");
    if (!def) {
        fprintf(stderr, "board-check: cannot write %s\n", path);
        return BOARD_UNREADABLE;
    }
    fprintf(def, "LIBRARY \"%s\"\nEXPORTS\n", library);
    for (int f = 0; f < FUNCTION_COUNT; ++f) {
        const char *export_name = exports ? exports[f] : functions[f].name;
        if (with_stdcall)
            fprintf(def, "%s@%d == %s\n", functions[f].name, functions[f].bytes, export_name);
        else
            fprintf(def, "%s == %s\n", functions[f].name, export_name);
    }
    if (fclose(def) != 0) {
        fprintf(stderr, "board-check: cannot write %s\n", path);
        return BOARD_UNREADABLE;
    }
    return BOARD_FITS;
}

static const char *convention_name(board_convention c)
{
    return c == CONV_STDCALL ? "__stdcall" : c == CONV_CDECL ? "plain C (__cdecl)" : "either convention";
}

static int check(const board_check_options *o, const pe_file *pe, FILE *out)
{
    const char *arch = o->bits == 32 ? "x86" : "x64";
    const char *other_arch = o->bits == 32 ? "x64" : "x86";
    const char *other_installer = o->bits == 32 ? "win64" : "win32";
    const char *installer = o->bits == 32 ? "win32" : "win64";
    if (pe->bits != o->bits) {
        fprintf(out,
            "does not fit: it is a %d-bit DLL, and this is the %d-bit program (%s): a %d-bit program "
            "cannot load it. Operators install powermonitor-%s-%s.exe instead; builders use "
            "WINDOWS_ARCH=%s (make windows WINDOWS_ARCH=%s, or cmake --preset windows-%s).\n",
            pe->bits, o->bits, arch, o->bits, POWERMONITOR_VERSION, other_installer, other_arch, other_arch,
            other_arch);
        return BOARD_DOES_NOT_FIT;
    }

    found_function found[FUNCTION_COUNT];
    int missing = 0, decorated = 0, with_stdcall = 0, plain_c = 0, unknown = 0, mismatched = 0;
    for (int f = 0; f < FUNCTION_COUNT; ++f) {
        found_function *x = &found[f];
        memset(x, 0, sizeof *x);
        if (!find_export(pe, functions[f].name, x)) {
            if (missing++ == 0)
                fprintf(out, "missing functions:");
            fprintf(out, " %s", functions[f].name);
            continue;
        }
        x->ret_bytes = RET_UNKNOWN;
        if (x->decorated)
            ++decorated;
        if (pe->bits == 64)
            continue;
        if (x->decorated_bytes >= 0)
            x->ret_bytes = x->decorated_bytes;
        else if (!x->forwarded)
            x->ret_bytes = x86_ret_bytes(pe, x->rva);
        if (functions[f].bytes == NO_ARGUMENT_BYTES && x->ret_bytes <= 0)
            continue; /* returns alike in both conventions */
        if (x->ret_bytes == RET_UNKNOWN)
            ++unknown;
        else if (x->ret_bytes == 0)
            ++plain_c;
        else if (x->ret_bytes == functions[f].bytes)
            ++with_stdcall;
        else
            ++mismatched;
    }
    if (missing) {
        fprintf(out,
            "\ndoes not fit: it does not export %d of the %d functions that the program calls; the program "
            "would not start with it (\"The procedure entry point ... could not be located\").\n",
            missing, FUNCTION_COUNT);
        return BOARD_DOES_NOT_FIT;
    }
    if (mismatched) {
        for (int f = 0; f < FUNCTION_COUNT; ++f)
            if (found[f].ret_bytes > 0 && found[f].ret_bytes != functions[f].bytes)
                fprintf(out, "%s removes %d bytes of arguments, the interface passes %d\n",
                    found[f].export_name, found[f].ret_bytes, functions[f].bytes);
        fprintf(out, "does not fit: its functions do not take the board-control interface's arguments.\n");
        return BOARD_DOES_NOT_FIT;
    }

    board_convention dll = CONV_NONE;
    if (pe->bits == 32) {
        if (with_stdcall && plain_c) {
            fprintf(out, "does not fit: it mixes calling conventions (%d functions __stdcall, %d plain C).\n",
                with_stdcall, plain_c);
            return BOARD_DOES_NOT_FIT;
        }
        dll = with_stdcall ? CONV_STDCALL : plain_c ? CONV_CDECL : CONV_NONE;
        if (unknown && dll == CONV_NONE && !(o->assume && o->convention != CONV_EITHER)) {
            fprintf(out,
                "does not fit: its code does not show its calling convention (__stdcall or plain C), and a "
                "call in the wrong one corrupts the stack. Build the program against it with "
                "BOARDCONTROL_STDCALL set (ON or OFF) as its maker documents.\n");
            return BOARD_DOES_NOT_FIT;
        }
        if (dll == CONV_NONE)
            dll = o->convention == CONV_STDCALL ? CONV_STDCALL : CONV_CDECL;
    }
    fprintf(out, "a %d-bit (%s) DLL exporting all %d board functions", pe->bits, arch, FUNCTION_COUNT);
    if (pe->bits == 32)
        fprintf(out, ", %s, with %s names (%s)", convention_name(dll), decorated ? "decorated" : "plain",
            found[1].export_name);
    fprintf(out, "\n");

    const int names_fit = o->any_names || decorated == 0;
    const int convention_fits = pe->bits == 64 || o->convention == CONV_EITHER || o->convention == dll;
    if (!convention_fits || !names_fit) {
        fprintf(out, "does not fit this program (%s, %s, importing plain names): ", arch,
            convention_name(o->convention));
        if (!convention_fits)
            fprintf(out, "its functions are %s, and a call in the other convention corrupts the stack. ",
                convention_name(dll));
        else
            fprintf(out, "it exports its functions decorated (%s), and the program asks for %s. ",
                found[1].export_name, functions[1].name);
        if (dll == CONV_STDCALL && decorated == 0)
            fprintf(out,
                "Install it with powermonitor-%s-%s.exe, which puts the program built for __stdcall in "
                "place, or build",
                POWERMONITOR_VERSION, installer);
        else
            fprintf(out, "Build");
        fprintf(out,
            " the program against it: make windows WINDOWS_ARCH=%s "
            "CMAKE_FLAGS=\"-DBOARDCONTROL_RUNTIME=<path "
            "of %s>\"\n",
            arch, board_dll_name);
        return BOARD_DOES_NOT_FIT;
    }

    if (o->def_file) {
        const char *base = strrchr(o->dll, '/');
        const char *base2 = strrchr(o->dll, '\\');
        base = base2 > base ? base2 : base;
        const char *exports[FUNCTION_COUNT];
        for (int f = 0; f < FUNCTION_COUNT; ++f)
            exports[f] = found[f].export_name;
        const int written
            = board_check_write_def(o->def_file, base ? base + 1 : o->dll, dll == CONV_STDCALL, exports);
        if (written != BOARD_FITS)
            return written;
    }

    char description[MAX_TEXT];
    file_description(pe, description, sizeof description);
    if (description[0])
        fprintf(out, "its version information: \"%s\"\n", description);
    if (strncmp(description, simulated_mark, sizeof simulated_mark - 1) == 0) {
        fprintf(out,
            "fits this program: it is the power monitor's SIMULATED board, not the board maker's library\n");
        return BOARD_FITS_SIMULATED;
    }
    fprintf(out, "fits this program (%s, %s)\n", arch, convention_name(dll));
    return dll == CONV_STDCALL ? BOARD_FITS_STDCALL : BOARD_FITS;
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
