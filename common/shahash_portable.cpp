// shahash_portable: the SHA-1 and SHA-256 block compressions in plain C++,
// for every processor. The accelerated sources must give the same states.
#include "common/shahash_internal.h"

#include <bit>

namespace {

constexpr uint32_t kSha1K[4] = {0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xca62c1d6};

constexpr uint32_t kSha256K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t load_be32(const uint8_t *p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// ---- SHA-1 -------------------------------------------------------------------

inline uint32_t sha1_f(int round, uint32_t b, uint32_t c, uint32_t d) {
    if (round < 20)
        return (b & c) | (~b & d);
    if (round < 40 || round >= 60)
        return b ^ c ^ d;
    return (b & c) | (b & d) | (c & d);
}

// One round; the caller rotates the five names instead of moving values.
inline void sha1_round(int round, uint32_t a, uint32_t &b, uint32_t c, uint32_t d, uint32_t &e,
                       uint32_t w) {
    e += std::rotl(a, 5) + sha1_f(round, b, c, d) + kSha1K[round / 20] + w;
    b = std::rotl(b, 30);
}

void sha1_portable(uint32_t state[5], const uint8_t *blocks, size_t count) {
    for (; count > 0; --count, blocks += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i)
            w[i] = load_be32(blocks + 4 * i);
        for (int i = 16; i < 80; ++i)
            w[i] = std::rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        for (int i = 0; i < 80; i += 5) {
            sha1_round(i, a, b, c, d, e, w[i]);
            sha1_round(i + 1, e, a, b, c, d, w[i + 1]);
            sha1_round(i + 2, d, e, a, b, c, w[i + 2]);
            sha1_round(i + 3, c, d, e, a, b, w[i + 3]);
            sha1_round(i + 4, b, c, d, e, a, w[i + 4]);
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
}

// ---- SHA-256 -----------------------------------------------------------------

inline uint32_t small_sigma0(uint32_t x) {
    return std::rotr(x, 7) ^ std::rotr(x, 18) ^ (x >> 3);
}
inline uint32_t small_sigma1(uint32_t x) {
    return std::rotr(x, 17) ^ std::rotr(x, 19) ^ (x >> 10);
}

// One round; the caller rotates the eight names instead of moving values.
inline void sha256_round(uint32_t a, uint32_t b, uint32_t c, uint32_t &d, uint32_t e, uint32_t f,
                         uint32_t g, uint32_t &h, uint32_t k_plus_w) {
    uint32_t t1 = h + (std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25)) +
                  ((e & f) ^ (~e & g)) + k_plus_w;
    uint32_t t2 =
        (std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    d += t1;
    h = t1 + t2;
}

void sha256_portable(uint32_t state[8], const uint8_t *blocks, size_t count) {
    for (; count > 0; --count, blocks += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = load_be32(blocks + 4 * i);
        for (int i = 16; i < 64; ++i)
            w[i] = small_sigma1(w[i - 2]) + w[i - 7] + small_sigma0(w[i - 15]) + w[i - 16];
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; i += 8) {
            sha256_round(a, b, c, d, e, f, g, h, kSha256K[i] + w[i]);
            sha256_round(h, a, b, c, d, e, f, g, kSha256K[i + 1] + w[i + 1]);
            sha256_round(g, h, a, b, c, d, e, f, kSha256K[i + 2] + w[i + 2]);
            sha256_round(f, g, h, a, b, c, d, e, kSha256K[i + 3] + w[i + 3]);
            sha256_round(e, f, g, h, a, b, c, d, kSha256K[i + 4] + w[i + 4]);
            sha256_round(d, e, f, g, h, a, b, c, kSha256K[i + 5] + w[i + 5]);
            sha256_round(c, d, e, f, g, h, a, b, kSha256K[i + 6] + w[i + 6]);
            sha256_round(b, c, d, e, f, g, h, a, kSha256K[i + 7] + w[i + 7]);
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

constexpr shahash_compressors kPortable = {sha1_portable, sha256_portable, "portable"};

} // namespace

const shahash_compressors *shahash_portable_compressors() {
    return &kPortable;
}
