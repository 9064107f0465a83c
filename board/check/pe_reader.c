#include "pe_reader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { SECTION_HEADER_BYTES = 40, IMPORT_DESCRIPTOR_BYTES = 20 };
/* No DLL a loader accepts has more: they bound the work a crafted file can ask for. */
enum {
    MAX_IMPORT_DESCRIPTORS = 4096,
    MAX_RESOURCE_ENTRIES = 4096,
    MAX_EXPORT_NAMES = 65536 /* an export's ordinal index is 16 bits */
};
enum { MACHINE_I386 = 0x14c, MACHINE_AMD64 = 0x8664, RT_VERSION_ID = 16 };

uint32_t pe_read16(const pe_file *pe, pe_offset at)
{
    return at <= pe->size && pe->size - at >= 2 ? (uint32_t)(pe->data[at] | pe->data[at + 1] << 8) : 0;
}

uint32_t pe_read32(const pe_file *pe, pe_offset at)
{
    return at <= pe->size && pe->size - at >= 4 ? pe_read16(pe, at) | pe_read16(pe, at + 2) << 16 : 0;
}

static uint32_t section_address(const pe_file *pe, uint32_t i)
{
    return pe_read32(pe, pe->sections_offset + (pe_offset)i * SECTION_HEADER_BYTES + 12);
}

/*
 * The file offset of an RVA, or 0 where no section holds it. The sections
 * are in ascending order (pe_read refuses others, as Windows does; two share
 * an address only where the first is empty), so the one that may hold it is
 * the last at or below it, found by halving.
 */
static pe_offset rva_offset(const pe_file *pe, uint32_t rva)
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
    const pe_offset header = pe->sections_offset + (pe_offset)low * SECTION_HEADER_BYTES;
    const uint32_t virtual_size = pe_read32(pe, header + 8);
    const uint32_t address = pe_read32(pe, header + 12);
    const uint32_t raw_size = pe_read32(pe, header + 16);
    const uint32_t raw = pe_read32(pe, header + 20);
    const uint32_t span = virtual_size > raw_size ? virtual_size : raw_size;
    if (rva >= address && rva - address < span && rva - address < raw_size) {
        const pe_offset at = (pe_offset)raw + (rva - address);
        return at < pe->size ? at : 0;
    }
    return 0;
}

/* A NUL-terminated string shorter than PE_MAX_TEXT at offset, else NULL. */
static const char *string_at(const pe_file *pe, pe_offset at)
{
    if (at == 0 || at >= pe->size)
        return NULL;
    const pe_offset room = pe->size - at < PE_MAX_TEXT ? pe->size - at : PE_MAX_TEXT;
    if (!memchr(pe->data + at, '\0', (size_t)room))
        return NULL;
    return (const char *)pe->data + at;
}

const char *pe_read(pe_file *pe, const unsigned char *data, size_t size)
{
    memset(pe, 0, sizeof *pe);
    pe->data = data;
    pe->size = size;
    if (pe->size < 0x40 || pe->data[0] != 'M' || pe->data[1] != 'Z')
        return "it is not a Windows DLL (no MZ header)";
    const pe_offset nt = pe_read32(pe, 0x3c);
    if (nt > pe->size || pe->size - nt < 24 || memcmp(pe->data + nt, "PE\0\0", 4) != 0)
        return "it is not a Windows DLL (no PE header)";
    const uint32_t machine = pe_read16(pe, nt + 4);
    const pe_offset optional = nt + 24;
    const uint32_t magic = pe_read16(pe, optional);
    if (machine == MACHINE_I386 && magic == 0x10b)
        pe->bits = 32;
    else if (machine == MACHINE_AMD64 && magic == 0x20b)
        pe->bits = 64;
    else
        return "it is a Windows DLL for neither x86 nor x64";
    pe->sections_offset = optional + pe_read16(pe, nt + 20);
    pe->section_count = pe_read16(pe, nt + 6);
    const pe_offset room
        = pe->sections_offset < pe->size ? (pe->size - pe->sections_offset) / SECTION_HEADER_BYTES : 0;
    if (pe->section_count > room)
        return "it is cut short (its section table runs past its end)";
    for (uint32_t i = 1; i < pe->section_count; ++i)
        if (section_address(pe, i) < section_address(pe, i - 1))
            return "it is no DLL that Windows would load (its sections are out of order)";
    const pe_offset directories = optional + (pe->bits == 32 ? 92 : 108);
    const uint32_t count = pe_read32(pe, directories);
    /* Each entry 8 bytes, its RVA and its size: exports, imports, resources. */
    const pe_offset entries = directories + 4;
    if (count > 0) {
        pe->export_rva = pe_read32(pe, entries);
        pe->export_size = pe_read32(pe, entries + 4);
    }
    if (count > 1)
        pe->import_rva = pe_read32(pe, entries + 8);
    if (count > 2)
        pe->resource_rva = pe_read32(pe, entries + 16);
    return NULL;
}

int pe_exports_read(const pe_file *pe, pe_exports *exports)
{
    memset(exports, 0, sizeof *exports);
    const pe_offset dir = rva_offset(pe, pe->export_rva);
    if (pe->export_rva == 0 || dir == 0)
        return 0;
    exports->base = pe_read32(pe, dir + 16);
    exports->addresses = pe_read32(pe, dir + 20);
    exports->functions_at = rva_offset(pe, pe_read32(pe, dir + 28));
    exports->names_at = rva_offset(pe, pe_read32(pe, dir + 32));
    exports->ordinals_at = rva_offset(pe, pe_read32(pe, dir + 36));
    if (!exports->functions_at)
        return 0;
    if (exports->names_at && exports->ordinals_at) {
        exports->names = pe_read32(pe, dir + 24);
        if (exports->names > (pe->size - exports->names_at) / 4)
            exports->names = (pe->size - exports->names_at) / 4;
        if (exports->names > MAX_EXPORT_NAMES)
            exports->names = MAX_EXPORT_NAMES;
    }
    return 1;
}

const char *pe_export_name(const pe_file *pe, const pe_exports *exports, pe_offset n, uint32_t *index)
{
    *index = pe_read16(pe, exports->ordinals_at + 2 * n);
    return string_at(pe, rva_offset(pe, pe_read32(pe, exports->names_at + 4 * n)));
}

int pe_export_at(const pe_file *pe, const pe_exports *exports, uint32_t index, char *forward, size_t room)
{
    forward[0] = '\0';
    if (index >= exports->addresses)
        return 0;
    const uint32_t rva = pe_read32(pe, exports->functions_at + 4 * (pe_offset)index);
    if (rva == 0)
        return 0;
    if (rva >= pe->export_rva && rva - pe->export_rva < pe->export_size) {
        const char *to = string_at(pe, rva_offset(pe, rva));
        snprintf(forward, room, "%s", to ? to : "?");
    }
    return 1;
}

int pe_find_export(const pe_file *pe, const char *wanted, char *forward, size_t room)
{
    forward[0] = '\0';
    pe_exports exports;
    if (!pe_exports_read(pe, &exports))
        return 0;
    uint32_t index = exports.addresses;
    if (wanted[0] == '#') {
        char *end = NULL;
        const unsigned long ordinal = strtoul(wanted + 1, &end, 10);
        if (end != wanted + 1 && *end == '\0' && ordinal >= exports.base
            && ordinal - exports.base < exports.addresses)
            index = (uint32_t)(ordinal - exports.base);
    } else {
        for (pe_offset n = 0; n < exports.names; ++n) {
            uint32_t at = 0;
            const char *name = pe_export_name(pe, &exports, n, &at);
            if (name && strcmp(name, wanted) == 0) {
                index = at;
                break;
            }
        }
    }
    return pe_export_at(pe, &exports, index, forward, room);
}

int pe_import_name(const pe_file *pe, pe_offset n, const char **name)
{
    *name = NULL;
    const pe_offset at = rva_offset(pe, pe->import_rva);
    if (pe->import_rva == 0 || at == 0 || n >= MAX_IMPORT_DESCRIPTORS)
        return 0;
    const pe_offset d = at + n * IMPORT_DESCRIPTOR_BYTES;
    if (d + IMPORT_DESCRIPTOR_BYTES > pe->size)
        return 0;
    const uint32_t name_rva = pe_read32(pe, d + 12);
    if (name_rva == 0)
        return 0; /* the table's end */
    *name = string_at(pe, rva_offset(pe, name_rva));
    return 1;
}

void pe_file_description(const pe_file *pe, char *text, size_t room)
{
    text[0] = '\0';
    const pe_offset base = rva_offset(pe, pe->resource_rva);
    if (pe->resource_rva == 0 || base == 0)
        return;
    /* Type RT_VERSION, then its first name, then its first language. */
    uint32_t entry_dir = 0;
    for (int level = 0; level < 3; ++level) {
        const pe_offset dir = base + entry_dir;
        const unsigned entries = pe_read16(pe, dir + 12) + pe_read16(pe, dir + 14);
        uint32_t next = 0;
        for (unsigned e = 0; e < entries && e < MAX_RESOURCE_ENTRIES; ++e) {
            const uint32_t id = pe_read32(pe, dir + 16 + 8 * (pe_offset)e);
            if (level > 0 || id == RT_VERSION_ID) {
                next = pe_read32(pe, dir + 16 + 8 * (pe_offset)e + 4);
                break;
            }
        }
        if (next == 0 || (level < 2) != ((next & 0x80000000u) != 0))
            return;
        entry_dir = next & 0x7fffffffu;
    }
    const pe_offset data = rva_offset(pe, pe_read32(pe, base + entry_dir));
    const uint32_t size = pe_read32(pe, base + entry_dir + 4);
    if (data == 0 || size > pe->size - data)
        return;
    static const char key[] = "FileDescription";
    const pe_offset key_bytes = sizeof key * 2; /* UTF-16LE with its terminator */
    for (pe_offset at = data; at + key_bytes <= data + size; at += 2) {
        size_t k = 0;
        while (
            k < sizeof key && pe->data[at + 2 * k] == (unsigned char)key[k] && pe->data[at + 2 * k + 1] == 0)
            ++k;
        if (k != sizeof key)
            continue;
        pe_offset value = at + key_bytes;
        value += (4 - (value - data) % 4) % 4;
        size_t out = 0;
        while (value + 1 < data + size && out + 1 < room) {
            const unsigned c = pe_read16(pe, value);
            if (c == 0)
                break;
            text[out++] = c < 0x80 ? (char)c : '?';
            value += 2;
        }
        text[out] = '\0';
        return;
    }
}
