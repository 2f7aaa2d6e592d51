// shahash_internal: the block compression functions behind the shahash
// module's digests, shared by its portable and accelerated sources.
#pragma once

#include <cstddef>
#include <cstdint>

// Compresses count 64-byte blocks at blocks into the chaining state.
using sha1_compress_fn = void (*)(uint32_t state[5], const uint8_t *blocks, size_t count);
using sha256_compress_fn = void (*)(uint32_t state[8], const uint8_t *blocks, size_t count);

// One implementation of both compressions.
struct shahash_compressors {
    sha1_compress_fn sha1;
    sha256_compress_fn sha256;
    const char *name;
};

// The portable implementation; runs everywhere.
const shahash_compressors *shahash_portable_compressors();
// The processor's SHA instructions, or null when the running CPU lacks them
// (or this build has none for its processor). Asks the CPU once.
const shahash_compressors *shahash_accel_compressors();
