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
#elif defined(__aarch64__) &&                                                                      \
    (defined(__ARM_FEATURE_SHA2) || (defined(__clang__) && __clang_major__ >= 17) ||               \
     (defined(__GNUC__) && !defined(__clang__)))
// Older clang declares the SHA intrinsics only when the whole build targets
// them; there the portable code serves.
#define SHAHASH_ACCEL_ARM 1
#include "platform/platform.h"
#include <arm_neon.h>
#endif

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

// The four message vectors of one block, each word turned big-endian; for
// SHA-1 the words of a vector also stand in reverse order.
template <bool ReverseWords>
SHAHASH_X86_TARGET inline __attribute__((always_inline)) void load_block(__m128i (&m)[4],
                                                                         const uint8_t *block) {
    const __m128i byte_swap = ReverseWords
                                  ? _mm_set_epi64x(0x0001020304050607ULL, 0x08090a0b0c0d0e0fULL)
                                  : _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    for (int i = 0; i < 4; ++i)
        m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 16 * i)),
                                byte_swap);
}

template <int I>
SHAHASH_X86_TARGET inline __attribute__((always_inline)) void
sha256_x86_group(__m128i &abef, __m128i &cdgh, __m128i (&m)[4]) {
    __m128i kw = _mm_add_epi32(
        m[I % 4], _mm_load_si128(reinterpret_cast<const __m128i *>(kSha256RoundConstants + 4 * I)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, kw);
    if constexpr (I >= 3 && I <= 14) {
        constexpr int next = (I + 1) % 4, cur = I % 4, prev = (I + 3) % 4;
        m[next] = _mm_add_epi32(m[next], _mm_alignr_epi8(m[cur], m[prev], 4));
        m[next] = _mm_sha256msg2_epu32(m[next], m[cur]);
    }
    abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(kw, 0x0e));
    if constexpr (I >= 1 && I <= 12)
        m[(I + 3) % 4] = _mm_sha256msg1_epu32(m[(I + 3) % 4], m[I % 4]);
    if constexpr (I < 15)
        sha256_x86_group<I + 1>(abef, cdgh, m);
}

SHAHASH_X86_TARGET void sha256_x86(uint32_t state[8], const uint8_t *blocks, size_t count) {
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i *>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i *>(state + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xf0);
    for (const uint8_t *end = blocks + 64 * count; blocks != end; blocks += 64) {
        __m128i m[4];
        load_block<false>(m, blocks);
        __m128i abef_before = abef, cdgh_before = cdgh;
        sha256_x86_group<0>(abef, cdgh, m);
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
sha1_x86_group(__m128i &abcd, __m128i &e, __m128i (&m)[4]) {
    __m128i e_plus_w = I == 0 ? _mm_add_epi32(e, m[0]) : _mm_sha1nexte_epu32(e, m[I % 4]);
    e = abcd;
    if constexpr (I >= 3 && I <= 18)
        m[(I + 1) % 4] = _mm_sha1msg2_epu32(m[(I + 1) % 4], m[I % 4]);
    if constexpr (I >= 1 && I <= 16)
        m[(I + 3) % 4] = _mm_sha1msg1_epu32(m[(I + 3) % 4], m[I % 4]);
    if constexpr (I >= 2 && I <= 17)
        m[(I + 2) % 4] = _mm_xor_si128(m[(I + 2) % 4], m[I % 4]);
    abcd = _mm_sha1rnds4_epu32(abcd, e_plus_w, I / 5);
    if constexpr (I < 19)
        sha1_x86_group<I + 1>(abcd, e, m);
}

SHAHASH_X86_TARGET void sha1_x86(uint32_t state[5], const uint8_t *blocks, size_t count) {
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(state)), 0x1b);
    __m128i e = _mm_set_epi32(int(state[4]), 0, 0, 0);
    for (; count > 0; --count, blocks += 64) {
        __m128i abcd_before = abcd, e_before = e, m[4];
        load_block<true>(m, blocks);
        sha1_x86_group<0>(abcd, e, m);
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

#elif SHAHASH_ACCEL_ARM

#if defined(__clang__)
#define SHAHASH_ARM_TARGET __attribute__((target("crypto")))
#else
#define SHAHASH_ARM_TARGET __attribute__((target("+crypto")))
#endif

namespace {

// The four message vectors of one block, each word turned big-endian.
SHAHASH_ARM_TARGET inline __attribute__((always_inline)) void load_block(uint32x4_t (&m)[4],
                                                                         const uint8_t *block) {
    for (int i = 0; i < 4; ++i)
        m[i] = vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(block + 16 * i)));
}

// ---- SHA-256: group i (four rounds) reads m[i % 4], then turns it into the
// words of group i + 4 while those remain to be made.

template <int I>
SHAHASH_ARM_TARGET inline __attribute__((always_inline)) void
sha256_arm_group(uint32x4_t &abcd, uint32x4_t &efgh, uint32x4_t (&m)[4]) {
    uint32x4_t kw = vaddq_u32(m[I % 4], vld1q_u32(kSha256RoundConstants + 4 * I));
    if constexpr (I < 12)
        m[I % 4] = vsha256su0q_u32(m[I % 4], m[(I + 1) % 4]);
    uint32x4_t abcd_in = abcd;
    abcd = vsha256hq_u32(abcd, efgh, kw);
    efgh = vsha256h2q_u32(efgh, abcd_in, kw);
    if constexpr (I < 12)
        m[I % 4] = vsha256su1q_u32(m[I % 4], m[(I + 2) % 4], m[(I + 3) % 4]);
    if constexpr (I < 15)
        sha256_arm_group<I + 1>(abcd, efgh, m);
}

SHAHASH_ARM_TARGET void sha256_arm(uint32_t state[8], const uint8_t *blocks, size_t count) {
    uint32x4_t abcd = vld1q_u32(state), efgh = vld1q_u32(state + 4);
    for (; count > 0; --count, blocks += 64) {
        uint32x4_t abcd_before = abcd, efgh_before = efgh, m[4];
        load_block(m, blocks);
        sha256_arm_group<0>(abcd, efgh, m);
        abcd = vaddq_u32(abcd, abcd_before);
        efgh = vaddq_u32(efgh, efgh_before);
    }
    vst1q_u32(state, abcd);
    vst1q_u32(state + 4, efgh);
}

// ---- SHA-1: group i reads m[i % 4] (choice, parity, majority, parity by
// twenties); E for the next group is A before this one, rotated.

template <int I>
SHAHASH_ARM_TARGET inline __attribute__((always_inline)) void
sha1_arm_group(uint32x4_t &abcd, uint32_t &e, uint32x4_t (&m)[4]) {
    uint32x4_t kw = vaddq_u32(m[I % 4], vdupq_n_u32(kSha1RoundConstants[I / 5]));
    uint32_t next_e = vsha1h_u32(vgetq_lane_u32(abcd, 0));
    if constexpr (I < 5)
        abcd = vsha1cq_u32(abcd, e, kw);
    else if constexpr (I >= 10 && I < 15)
        abcd = vsha1mq_u32(abcd, e, kw);
    else
        abcd = vsha1pq_u32(abcd, e, kw);
    e = next_e;
    if constexpr (I < 16)
        m[I % 4] =
            vsha1su1q_u32(vsha1su0q_u32(m[I % 4], m[(I + 1) % 4], m[(I + 2) % 4]), m[(I + 3) % 4]);
    if constexpr (I < 19)
        sha1_arm_group<I + 1>(abcd, e, m);
}

SHAHASH_ARM_TARGET void sha1_arm(uint32_t state[5], const uint8_t *blocks, size_t count) {
    uint32x4_t abcd = vld1q_u32(state);
    uint32_t e = state[4];
    for (; count > 0; --count, blocks += 64) {
        uint32x4_t abcd_before = abcd, m[4];
        uint32_t e_before = e;
        load_block(m, blocks);
        sha1_arm_group<0>(abcd, e, m);
        abcd = vaddq_u32(abcd, abcd_before);
        e += e_before;
    }
    vst1q_u32(state, abcd);
    state[4] = e;
}

constexpr shahash_compressors kAccel = {sha1_arm, sha256_arm, "ARMv8 SHA"};

} // namespace

const shahash_compressors *shahash_accel_compressors() {
    static const bool present =
        plat_IsProcessorFeaturePresent(PLAT_PF_ARM_V8_CRYPTO_INSTRUCTIONS_AVAILABLE) != 0;
    return present ? &kAccel : nullptr;
}

#else

const shahash_compressors *shahash_accel_compressors() {
    return nullptr;
}

#endif
