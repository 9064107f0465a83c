/*
 * Reading a Windows DLL's PE image from its bytes, as Windows' loader reads
 * it, for board-check: its architecture, its exports and forwards, the DLLs
 * it imports from, its version information. Every read is checked against
 * the image's size, and every count read from it is bounded, so a crafted
 * file costs no more than a real one (the fuzz target, tests/fuzz).
 */
#ifndef PE_READER_H
#define PE_READER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The longest name or text read from an image, its NUL included. */
enum { PE_MAX_TEXT = 256 };

/* Offsets into the image are 64-bit whatever the build's size_t: a sum of two
 * 32-bit fields never wraps into the buffer. */
typedef uint64_t pe_offset;

typedef struct
{
    const unsigned char *data;
    pe_offset size;
    int bits; /* 32 or 64 */
    pe_offset sections_offset;
    uint32_t section_count;
    uint32_t export_rva, export_size;
    uint32_t import_rva;
    uint32_t resource_rva;
} pe_file;

/* Reads the headers of the image data: NULL where it is a DLL for x86 or x64,
 * else why it is not one Windows would load. */
const char *pe_read(pe_file *pe, const unsigned char *data, size_t size);

uint32_t pe_read16(const pe_file *pe, pe_offset at);
uint32_t pe_read32(const pe_file *pe, pe_offset at);

/* The export directory's tables, as file offsets; names no more than the
 * image holds. */
typedef struct
{
    uint32_t base;      /* the first ordinal */
    uint32_t addresses; /* how many functions */
    pe_offset functions_at, names_at, ordinals_at;
    pe_offset names;
} pe_exports;

/* 1 where the image has a readable export directory. */
int pe_exports_read(const pe_file *pe, pe_exports *exports);

/* The n-th exported name (NULL where it cannot be read), and in index its
 * place among the functions. */
const char *pe_export_name(const pe_file *pe, const pe_exports *exports, pe_offset n, uint32_t *index);

/* The function at index: 1 where there is one, with forward set to
 * "MODULE.name" or "MODULE.#ordinal" where it is forwarded, else to "". */
int pe_export_at(const pe_file *pe, const pe_exports *exports, uint32_t index, char *forward, size_t room);

/* Export "name" or "#ordinal", as the loader finds it: as pe_export_at, 0
 * where the image does not export it. */
int pe_find_export(const pe_file *pe, const char *wanted, char *forward, size_t room);

/* 0 past the last DLL it imports from; else 1, with name set to the n-th's
 * name, or to NULL where that cannot be read. */
int pe_import_name(const pe_file *pe, pe_offset n, const char **name);

/* The FileDescription of the version resource, in ASCII; "" where there is none. */
void pe_file_description(const pe_file *pe, char *text, size_t room);

#ifdef __cplusplus
}
#endif

#endif /* PE_READER_H */
