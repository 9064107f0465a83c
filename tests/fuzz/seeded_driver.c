/*
 * Drives the stand-in fuzz target without libFuzzer: feeds it pseudo-random
 * inputs from a fixed seed until the given number of calls has been made.
 *   standin_fuzz_seeded CALLS SEED
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern unsigned long long standin_fuzz_calls;

static uint64_t state;

static uint64_t next(void)
{
    /* xorshift64* */
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545f4914f6cdd1dull;
}

int main(int argc, char **argv)
{
    char *end = NULL;
    const unsigned long long calls = argc == 3 ? strtoull(argv[1], &end, 10) : 0;
    if (argc != 3 || !end || *end || calls == 0) {
        fprintf(stderr, "usage: %s CALLS SEED\n", argv[0]);
        return 2;
    }
    state = strtoull(argv[2], &end, 10);
    if (!end || *end || state == 0) {
        fprintf(stderr, "%s: the seed must be a non-zero number\n", argv[0]);
        return 2;
    }

    uint8_t buffer[512];
    unsigned long long inputs = 0;
    while (standin_fuzz_calls < calls) {
        const size_t size = (size_t)(next() % sizeof buffer) + 1;
        for (size_t i = 0; i < size; ++i)
            buffer[i] = (uint8_t)next();
        LLVMFuzzerTestOneInput(buffer, size);
        ++inputs;
    }
    printf("%llu calls from %llu inputs: no crash, every check held\n", standin_fuzz_calls, inputs);
    return 0;
}
