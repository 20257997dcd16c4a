#include "container/sample_kernels.h"

#include <algorithm>

#include "container/le_codec.h"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define QRD_VECTOR_KERNELS 1
#include <immintrin.h>
#else
#define QRD_VECTOR_KERNELS 0
#endif

namespace qrd {

void ConvertSamplesPortable(const uint16_t* raw, size_t count, uint16_t zero, double step, double* out) {
    const int32_t z = zero;
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<double>(static_cast<int32_t>(raw[i]) - z) * step;
}

void SplitChannelsPortable(const uint8_t* payload, size_t instants, uint32_t channels, uint16_t* columns,
                           size_t stride) {
    // A tile of instants at a time, so the rows being read stay in the
    // first-level cache while every column receives a short run.
    constexpr size_t kTile = 16;
    for (size_t i0 = 0; i0 < instants; i0 += kTile) {
        const size_t i1 = std::min(instants, i0 + kTile);
        for (uint32_t c = 0; c < channels; ++c) {
            uint16_t* column = columns + c * stride;
            for (size_t i = i0; i < i1; ++i) column[i] = GetU16(payload, 2 * (i * channels + c));
        }
    }
}

#if QRD_VECTOR_KERNELS

// GCC's own AVX-512 headers start some vectors from deliberately undefined
// values, which its uninitialised-use check reports inside those headers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

__attribute__((target("avx512f,avx512bw"))) void ConvertSamplesAvx512(const uint16_t* raw, size_t count,
                                                                       uint16_t zero, double step, double* out) {
    const __m512i z = _mm512_set1_epi32(zero);
    const __m512d q = _mm512_set1_pd(step);
    // The first few samples one by one, so that the stores below fill whole
    // cache lines of the host's buffer instead of straddling two.
    size_t i = std::min(count, (64 - reinterpret_cast<uintptr_t>(out) % 64) % 64 / sizeof(double));
    if (reinterpret_cast<uintptr_t>(out) % sizeof(double) != 0) i = 0;
    ConvertSamplesPortable(raw, i, zero, step, out);
    for (; i + 16 <= count; i += 16) {
        const __m512i v = _mm512_sub_epi32(
            _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(raw + i))), z);
        _mm512_storeu_pd(out + i, _mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(v)), q));
        _mm512_storeu_pd(out + i + 8, _mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(v, 1)), q));
    }
    ConvertSamplesPortable(raw + i, count - i, zero, step, out + i);
}

// Word permutations of the 32 x 32 transposition below: stage b pairs rows
// i and i + b and swaps their off-diagonal b x b blocks.
struct TransposeIndexes {
    alignas(64) uint16_t low[5][32];
    alignas(64) uint16_t high[5][32];
    TransposeIndexes() {
        for (int s = 0; s < 5; ++s) {
            const int b = 16 >> s;
            for (int k = 0; k < 32; ++k) {
                const bool upper = (k & b) != 0;
                low[s][k] = static_cast<uint16_t>(upper ? 32 + k - b : k);
                high[s][k] = static_cast<uint16_t>(upper ? 32 + k : k + b);
            }
        }
    }
};

const TransposeIndexes& Indexes() {
    static const TransposeIndexes indexes;
    return indexes;
}

// Tiles of 32 instants x 32 channels: 32 rows are loaded (masked at the
// last channels and instants, which also keeps every load inside the
// payload), transposed in registers and stored as 32 runs of 32 samples.
__attribute__((target("avx512f,avx512bw"))) void SplitChannelsAvx512(const uint8_t* payload, size_t instants,
                                                                      uint32_t channels, uint16_t* columns,
                                                                      size_t stride) {
    const TransposeIndexes& ix = Indexes();
    __m512i low[5], high[5];
    for (int s = 0; s < 5; ++s) {
        low[s] = _mm512_load_si512(ix.low[s]);
        high[s] = _mm512_load_si512(ix.high[s]);
    }
    const uint16_t* rows = reinterpret_cast<const uint16_t*>(payload);
    for (size_t i0 = 0; i0 < instants; i0 += 32) {
        const size_t n = std::min<size_t>(32, instants - i0);
        const __mmask32 instantMask = n == 32 ? ~__mmask32{0} : static_cast<__mmask32>((1u << n) - 1);
        for (uint32_t c0 = 0; c0 < channels; c0 += 32) {
            const uint32_t m = std::min<uint32_t>(32, channels - c0);
            const __mmask32 channelMask = m == 32 ? ~__mmask32{0} : static_cast<__mmask32>((1u << m) - 1);
            __m512i r[32];
#pragma GCC unroll 32
            for (size_t i = 0; i < 32; ++i) {
                r[i] = i < n ? _mm512_maskz_loadu_epi16(channelMask, rows + (i0 + i) * channels + c0)
                             : _mm512_setzero_si512();
            }
#pragma GCC unroll 5
            for (int s = 0; s < 5; ++s) {
                const int b = 16 >> s;
#pragma GCC unroll 32
                for (int i = 0; i < 32; ++i) {
                    if (i & b) continue;
                    const __m512i a = r[i], d = r[i + b];
                    r[i] = _mm512_permutex2var_epi16(a, low[s], d);
                    r[i + b] = _mm512_permutex2var_epi16(a, high[s], d);
                }
            }
#pragma GCC unroll 32
            for (uint32_t k = 0; k < 32; ++k)
                if (k < m) _mm512_mask_storeu_epi16(columns + (c0 + k) * stride + i0, instantMask, r[k]);
        }
    }
}

bool HasAvx512() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return has;
}

}  // namespace

bool VectorSampleKernels() { return HasAvx512(); }

void ConvertSamples(const uint16_t* raw, size_t count, uint16_t zero, double step, double* out) {
    if (HasAvx512()) return ConvertSamplesAvx512(raw, count, zero, step, out);
    ConvertSamplesPortable(raw, count, zero, step, out);
}

void SplitChannels(const uint8_t* payload, size_t instants, uint32_t channels, uint16_t* columns, size_t stride) {
    if (HasAvx512()) return SplitChannelsAvx512(payload, instants, channels, columns, stride);
    SplitChannelsPortable(payload, instants, channels, columns, stride);
}

#else

bool VectorSampleKernels() { return false; }

void ConvertSamples(const uint16_t* raw, size_t count, uint16_t zero, double step, double* out) {
    ConvertSamplesPortable(raw, count, zero, step, out);
}

void SplitChannels(const uint8_t* payload, size_t instants, uint32_t channels, uint16_t* columns, size_t stride) {
    SplitChannelsPortable(payload, instants, channels, columns, stride);
}

#endif

}  // namespace qrd
