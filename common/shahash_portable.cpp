// shahash_portable: the SHA-1 and SHA-256 block compressions in plain C++,
// for every processor. The accelerated sources must give the same states.
#include "common/shahash_internal.h"

#include <bit>

namespace {

inline uint32_t load_be32(const uint8_t *p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The first sixteen message words of a block.
void load_words(uint32_t w[16], const uint8_t *block) {
    for (int i = 0; i < 16; ++i)
        w[i] = load_be32(block + 4 * i);
}

// Adds a block's working variables into the chaining state.
template <size_t N> void add_into(uint32_t *state, const uint32_t (&working)[N]) {
    for (size_t i = 0; i < N; ++i)
        state[i] += working[i];
}

// ---- SHA-1 -------------------------------------------------------------------

// The round function of one stage of twenty rounds.
template <int Stage> inline uint32_t sha1_f(uint32_t b, uint32_t c, uint32_t d) {
    if constexpr (Stage == 0)
        return (b & c) | (~b & d);
    else if constexpr (Stage == 2)
        return (b & c) | (b & d) | (c & d);
    else
        return b ^ c ^ d;
}

// One round; the caller rotates the five names instead of moving values.
template <int Stage>
inline void sha1_round(uint32_t a, uint32_t &b, uint32_t c, uint32_t d, uint32_t &e, uint32_t w) {
    e += std::rotl(a, 5) + sha1_f<Stage>(b, c, d) + kSha1RoundConstants[Stage] + w;
    b = std::rotl(b, 30);
}

// The twenty rounds of one stage, five at a time.
template <int Stage>
inline void sha1_stage(uint32_t &a, uint32_t &b, uint32_t &c, uint32_t &d, uint32_t &e,
                       const uint32_t *w) {
    for (int i = 20 * Stage; i < 20 * Stage + 20; i += 5) {
        sha1_round<Stage>(a, b, c, d, e, w[i]);
        sha1_round<Stage>(e, a, b, c, d, w[i + 1]);
        sha1_round<Stage>(d, e, a, b, c, w[i + 2]);
        sha1_round<Stage>(c, d, e, a, b, w[i + 3]);
        sha1_round<Stage>(b, c, d, e, a, w[i + 4]);
    }
}

void sha1_portable(uint32_t state[5], const uint8_t *blocks, size_t count) {
    for (; count > 0; --count, blocks += 64) {
        uint32_t w[80];
        load_words(w, blocks);
        for (int i = 16; i < 80; ++i)
            w[i] = std::rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        sha1_stage<0>(a, b, c, d, e, w);
        sha1_stage<1>(a, b, c, d, e, w);
        sha1_stage<2>(a, b, c, d, e, w);
        sha1_stage<3>(a, b, c, d, e, w);
        add_into(state, {a, b, c, d, e});
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
        load_words(w, blocks);
        for (int i = 16; i < 64; ++i)
            w[i] = small_sigma1(w[i - 2]) + w[i - 7] + small_sigma0(w[i - 15]) + w[i - 16];
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; i += 8) {
            sha256_round(a, b, c, d, e, f, g, h, kSha256RoundConstants[i] + w[i]);
            sha256_round(h, a, b, c, d, e, f, g, kSha256RoundConstants[i + 1] + w[i + 1]);
            sha256_round(g, h, a, b, c, d, e, f, kSha256RoundConstants[i + 2] + w[i + 2]);
            sha256_round(f, g, h, a, b, c, d, e, kSha256RoundConstants[i + 3] + w[i + 3]);
            sha256_round(e, f, g, h, a, b, c, d, kSha256RoundConstants[i + 4] + w[i + 4]);
            sha256_round(d, e, f, g, h, a, b, c, kSha256RoundConstants[i + 5] + w[i + 5]);
            sha256_round(c, d, e, f, g, h, a, b, kSha256RoundConstants[i + 6] + w[i + 6]);
            sha256_round(b, c, d, e, f, g, h, a, kSha256RoundConstants[i + 7] + w[i + 7]);
        }
        add_into(state, {a, b, c, d, e, f, g, h});
    }
}

constexpr shahash_compressors kPortable = {sha1_portable, sha256_portable, "portable"};

} // namespace

const shahash_compressors *shahash_portable_compressors() {
    return &kPortable;
}
