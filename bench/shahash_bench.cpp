// SHA-256 and SHA-1 of 16 KiB blocks (the size the file digests read)
// side by side with OpenSSL's EVP digests on the same data:
//   - the accelerated compression (the processor's SHA instructions): target
//     at least 0.9x OpenSSL's throughput on a CPU that has them;
//   - the portable compression: a figure, no target.
// The accelerated rows are skipped on a CPU without SHA instructions.
#include "common/shahash.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr size_t kBlock = 16384;

const std::vector<uint8_t> &data() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> out(kBlock);
        std::mt19937 random(42);
        for (auto &b : out)
            b = uint8_t(random());
        return out;
    }();
    return bytes;
}

template <typename Ctx, size_t Size>
void ours(benchmark::State &state, shahash_impl impl, void (*init)(Ctx *),
          void (*update)(Ctx *, const void *, uint64_t), void (*final)(Ctx *, uint8_t *)) {
    if (!shahash_select(impl)) {
        state.SkipWithError("this CPU has no SHA instructions");
        return;
    }
    state.SetLabel(shahash_impl_name());
    uint8_t digest[Size];
    for (auto _ : state) {
        Ctx ctx;
        init(&ctx);
        update(&ctx, data().data(), data().size());
        final(&ctx, digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlock));
    shahash_select(SHAHASH_IMPL_AUTO);
}

void openssl(benchmark::State &state, const EVP_MD *md) {
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, md, nullptr);
        EVP_DigestUpdate(ctx, data().data(), data().size());
        EVP_DigestFinal_ex(ctx, digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(ctx);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlock));
}

void BM_Sha256Accel(benchmark::State &state) {
    ours<sha256_ctx, SHA256_DIGEST_SIZE>(state, SHAHASH_IMPL_ACCEL, sha256_init, sha256_update,
                                         sha256_final);
}
void BM_Sha256Portable(benchmark::State &state) {
    ours<sha256_ctx, SHA256_DIGEST_SIZE>(state, SHAHASH_IMPL_PORTABLE, sha256_init, sha256_update,
                                         sha256_final);
}
void BM_Sha256OpenSSL(benchmark::State &state) {
    openssl(state, EVP_sha256());
}
void BM_Sha1Accel(benchmark::State &state) {
    ours<sha1_ctx, SHA1_DIGEST_SIZE>(state, SHAHASH_IMPL_ACCEL, sha1_init, sha1_update, sha1_final);
}
void BM_Sha1Portable(benchmark::State &state) {
    ours<sha1_ctx, SHA1_DIGEST_SIZE>(state, SHAHASH_IMPL_PORTABLE, sha1_init, sha1_update,
                                     sha1_final);
}
void BM_Sha1OpenSSL(benchmark::State &state) {
    openssl(state, EVP_sha1());
}

BENCHMARK(BM_Sha256Accel);
BENCHMARK(BM_Sha256OpenSSL);
BENCHMARK(BM_Sha256Portable);
BENCHMARK(BM_Sha1Accel);
BENCHMARK(BM_Sha1OpenSSL);
BENCHMARK(BM_Sha1Portable);

} // namespace
