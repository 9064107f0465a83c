/*
 * Fuzz target for board-check's rules: the input is a DLL image, checked as
 * both architectures' programs would check it, with the same bytes lying
 * beside it under every companion name it asks for, so that forwarded
 * exports and imports are followed too. Any read outside the image is a
 * finding for AddressSanitizer; a check that does not end, for libFuzzer's
 * time-out.
 */
#include "dll_check.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef struct
{
    const uint8_t *data;
    size_t size;
} fuzz_input;

static board_file same_bytes(const char *name, void *context)
{
    const fuzz_input *input = context;
    board_file file = {NULL, 0};
    /* Half the names lie beside it, so that both answers are taken. */
    if (strlen(name) % 2 == 0) {
        file.data = input->data;
        file.size = input->size;
    }
    return file;
}

static int windows_has(const char *name, void *context)
{
    (void)context;
    return name[0] != '\0' && (name[0] & 1) == 0;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FILE *out;
    if (!out)
        out = fopen("/dev/null", "w");
    fuzz_input input = {data, size};
    board_check_options o = {0};
    o.companion = same_bytes;
    o.windows_has = windows_has;
    o.context = &input;
    for (int bits = 32; bits <= 64; bits += 32) {
        o.bits = bits;
        const int status = board_check_dll(&o, data, size, out);
        if (status != BOARD_FITS && status != BOARD_DOES_NOT_FIT && status != BOARD_UNREADABLE
            && status != BOARD_FITS_SIMULATED)
            __builtin_trap();
    }
    return 0;
}
