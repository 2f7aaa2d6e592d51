// shahash_accel: the SHA-1 and SHA-256 block compressions on the
// processor's SHA instructions (x86 SHA extensions, ARMv8 SHA), and the
// run-time check that the running CPU has them.
//
// Only this file tests the processor and includes its intrinsics headers.
// Each compression carries its own target attribute, so the rest of the
// library stays built for the baseline processor and the instructions are
// only reached after the check found them.
#include "common/shahash_internal.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define SHAHASH_ACCEL_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

#include <array>
#include <utility>

#if SHAHASH_ACCEL_X86

#define SHAHASH_X86_TARGET __attribute__((target("sha,sse4.1,ssse3")))

namespace {

// ---- SHA-256 -----------------------------------------------------------------
//
// The state is kept as two vectors, ABEF and CDGH, the shape sha256rnds2
// works on; each group of four rounds adds the round constants to four
// message words and runs two double rounds. The message schedule lives in
// four vectors used in turn: group i reads m[i % 4] and, while its rounds
// run, prepares the words of later groups.

alignas(16) constexpr uint32_t kSha256K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

template <int I>
SHAHASH_X86_TARGET inline __attribute__((always_inline)) void
sha256_x86_group(__m128i &abef, __m128i &cdgh, __m128i (&m)[4], const uint8_t *block,
                 __m128i byte_swap) {
    if constexpr (I < 4)
        m[I] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 16 * I)),
                                byte_swap);
    __m128i kw = _mm_add_epi32(m[I % 4],
                               _mm_load_si128(reinterpret_cast<const __m128i *>(kSha256K + 4 * I)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, kw);
    if constexpr (I >= 3 && I <= 14) {
        constexpr int next = (I + 1) % 4, cur = I % 4, prev = (I + 3) % 4;
        m[next] = _mm_add_epi32(m[next], _mm_alignr_epi8(m[cur], m[prev], 4));
        m[next] = _mm_sha256msg2_epu32(m[next], m[cur]);
    }
    abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(kw, 0x0e));
    if constexpr (I >= 1 && I <= 12)
        m[(I + 3) % 4] = _mm_sha256msg1_epu32(m[(I + 3) % 4], m[I % 4]);
}

template <int... I>
SHAHASH_X86_TARGET inline __attribute__((always_inline)) void
sha256_x86_block(__m128i &abef, __m128i &cdgh, const uint8_t *block, __m128i byte_swap,
                 std::integer_sequence<int, I...>) {
    __m128i m[4];
    (sha256_x86_group<I>(abef, cdgh, m, block, byte_swap), ...);
}

SHAHASH_X86_TARGET void sha256_x86(uint32_t state[8], const uint8_t *blocks, size_t count) {
    const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i *>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i *>(state + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xf0);
    for (; count > 0; --count, blocks += 64) {
        __m128i abef_before = abef, cdgh_before = cdgh;
        sha256_x86_block(abef, cdgh, blocks, byte_swap, std::make_integer_sequence<int, 16>());
        abef = _mm_add_epi32(abef, abef_before);
        cdgh = _mm_add_epi32(cdgh, cdgh_before);
    }
    __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state), _mm_blend_epi16(feba, dchg, 0xf0));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

// ---- SHA-1 -------------------------------------------------------------------
//
// ABCD is one vector; E rides in the top lane of a second one, which
// sha1nexte derives from the ABCD of four rounds earlier. Group i (four
// rounds) reads m[i % 4] and prepares the words of later groups: msg1,
// the xor with the words eight back, and msg2 each at the first group
// where their inputs exist.

template <int I>
SHAHASH_X86_TARGET inline __attribute__((always_inline)) void
sha1_x86_group(__m128i &abcd, __m128i &e, __m128i (&m)[4], const uint8_t *block,
               __m128i byte_swap) {
    if constexpr (I < 4)
        m[I] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 16 * I)),
                                byte_swap);
    __m128i e_plus_w = I == 0 ? _mm_add_epi32(e, m[0]) : _mm_sha1nexte_epu32(e, m[I % 4]);
    e = abcd;
    if constexpr (I >= 3 && I <= 18)
        m[(I + 1) % 4] = _mm_sha1msg2_epu32(m[(I + 1) % 4], m[I % 4]);
    abcd = _mm_sha1rnds4_epu32(abcd, e_plus_w, I / 5);
    if constexpr (I >= 1 && I <= 16)
        m[(I + 3) % 4] = _mm_sha1msg1_epu32(m[(I + 3) % 4], m[I % 4]);
    if constexpr (I >= 2 && I <= 17)
        m[(I + 2) % 4] = _mm_xor_si128(m[(I + 2) % 4], m[I % 4]);
}

template <int... I>
SHAHASH_X86_TARGET inline __attribute__((always_inline)) void
sha1_x86_block(__m128i &abcd, __m128i &e, const uint8_t *block, __m128i byte_swap,
               std::integer_sequence<int, I...>) {
    __m128i m[4];
    (sha1_x86_group<I>(abcd, e, m, block, byte_swap), ...);
}

SHAHASH_X86_TARGET void sha1_x86(uint32_t state[5], const uint8_t *blocks, size_t count) {
    const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607ULL, 0x08090a0b0c0d0e0fULL);
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(state)), 0x1b);
    __m128i e = _mm_set_epi32(int(state[4]), 0, 0, 0);
    for (; count > 0; --count, blocks += 64) {
        __m128i abcd_before = abcd, e_before = e;
        sha1_x86_block(abcd, e, blocks, byte_swap, std::make_integer_sequence<int, 20>());
        e = _mm_sha1nexte_epu32(e, e_before);
        abcd = _mm_add_epi32(abcd, abcd_before);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state), _mm_shuffle_epi32(abcd, 0x1b));
    state[4] = uint32_t(_mm_extract_epi32(e, 3));
}

// The SHA extensions (leaf 7, EBX bit 29) with SSSE3 and SSE4.1 (leaf 1,
// ECX bits 9 and 19), which the compressions also use.
bool cpu_has_sha() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    bool vectors = (ecx & (1u << 9)) != 0 && (ecx & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return false;
    return vectors && (ebx & (1u << 29)) != 0;
}

constexpr shahash_compressors kAccel = {sha1_x86, sha256_x86, "x86 SHA extensions"};

} // namespace

const shahash_compressors *shahash_accel_compressors() {
    static const bool present = cpu_has_sha();
    return present ? &kAccel : nullptr;
}

#else

const shahash_compressors *shahash_accel_compressors() {
    return nullptr;
}

#endif
